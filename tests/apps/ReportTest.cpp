// `batchplant report`, `gantt`, `plan`, `compare`, `utilisation`, `profile`,
// `summary` and `query` on the generated sample, compared with what the
// library reads from it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "SampleDatabase.h"
#include "TestSupport.h"
#include "Xml.h"
#include "batchplant/db/Dao.h"
#include "batchplant/foundation/Array.h"
#include "batchplant/foundation/Hash.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/StepInfo.h"
#include "batchplant/model/Vessel.h"
#include "db/Sqlite.h"

namespace batchplant {
namespace {

using test::Element;
using test::find;
namespace fs = std::filesystem;

test::CommandResult cli(const std::string& args) { return test::runCommand(std::string(BATCHPLANT_CLI) + " " + args); }
std::string quoted(const fs::path& p) { return "\"" + p.string() + "\""; }
const std::string kSample = quoted(test::SampleDatabasePath()) + " ";

Element parse(const fs::path& file)
{
    Element root;
    EXPECT_NO_THROW(root = test::ParseXml(test::ReadFile(file))) << file;
    return root;
}

std::size_t countOf(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

std::vector<std::vector<std::string>> csvRows(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream cells(line);
        auto& fields = rows.emplace_back();
        for (std::string cell; std::getline(cells, cell, ',');)
            fields.push_back(cell);
    }
    return rows;
}

std::unique_ptr<GanttFacility> loadSchedule()
{
    auto f = std::make_unique<GanttFacility>();
    EXPECT_TRUE(f->ReadGanttDatabase(CString(test::SampleDatabasePath().string())));
    return f;
}

// In each row of a chart of the whole run, in document order, a bar is the
// row's next operation by start (vessel, step, operation and batch in its
// tooltip, its batch's palette colour unless the vessel is empty) and a span
// the next "N operations"; together they are every one.
void expectBarsMatchSchedule(const Element& gantt, const GanttFacility& f)
{
    const std::vector<const Element*> rows = find(gantt, "g", "row");
    ASSERT_EQ(rows.size(), static_cast<size_t>(f.GetNumSchedVessels()));
    size_t bars = 0, all = 0;
    for (int v = 0; v < f.GetNumSchedVessels(); ++v) {
        struct Block {
            CString step, op;
            long start = 0;
            short batch = 0;
            bool empty = false;
        };
        std::vector<Block> blocks;
        for (int b = 0; b < f.GetNumTimeBlocks(v); ++b) {
            CString version, rec;
            long stepID = 0, opID = 0, end = 0;
            Block k;
            if (f.GetScheduleInfo(v, b, k.step, version, k.op, stepID, opID, rec, k.start, end, k.batch, k.empty))
                blocks.push_back(k);
        }
        std::stable_sort(blocks.begin(), blocks.end(),
                         [](const Block& x, const Block& y) { return x.start < y.start; });
        all += blocks.size();
        size_t next = 0;
        for (const Element& rect : rows[v]->children) {
            const std::string cls = rect.attributes.count("class") ? rect.attributes.at("class") : "";
            const auto title = std::find_if(rect.children.begin(), rect.children.end(),
                                            [](const Element& c) { return c.name == "title"; });
            const std::string tip = title == rect.children.end() ? "" : title->text;
            if (cls == "span") next += std::stoul(tip.substr(tip.find('\n') + 1));
            if (cls != "bar") continue;
            ASSERT_LT(next, blocks.size()) << tip;
            const Block& block = blocks[next++];
            ++bars;
            for (const std::string& part :
                 {f.GetVesselName(v).str(), "Step: " + block.step.str(), "Operation: " + block.op.str(),
                  "Batch: " + std::to_string(block.batch) + "\n"})
                EXPECT_NE(tip.find(part), std::string::npos) << next << ": " << tip;
            if (block.batch <= 0 || block.empty) continue;
            const unsigned char* c = kBatchPalette[(block.batch - 1) % 9];
            char hex[8];
            std::snprintf(hex, sizeof hex, "#%02X%02X%02X", c[0], c[1], c[2]);
            EXPECT_EQ(rect.attributes.at("fill"), hex) << tip;
        }
        EXPECT_EQ(next, blocks.size()) << "row " << v;
    }
    EXPECT_GT(bars, 0u);
    EXPECT_GT(all, bars) << "the whole run at 1300 px merges the shortest operations";
}

TEST(ReportCommand, WritesOneSelfContainedReproduciblePageOfEveryOperation)
{
    test::TempDir dir;
    const auto page = dir.file("report") / "index.html";
    const auto r = cli("report " + kSample + "-o " + quoted(dir.file("report")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(page.string()), std::string::npos) << r.out;
    const std::string text = test::ReadFile(page);
    const Element root = parse(page);
    EXPECT_EQ(root.name, "html");
    // Nothing the page needs comes from elsewhere.
    EXPECT_FALSE(std::regex_search(text, std::regex("\\s(src|href)\\s*=")));
    EXPECT_TRUE(find(root, "script").empty() && find(root, "link").empty());
    EXPECT_EQ(find(root, "style").size(), 1u);
    // The whole run, then its busiest week at full detail.
    const auto f = loadSchedule();
    const auto charts = find(root, "svg", "gantt");
    ASSERT_EQ(charts.size(), 2u);
    expectBarsMatchSchedule(*charts[0], *f);
    EXPECT_EQ(find(*charts[1], "rect", "span").size(), 0u);
    cli("report " + kSample + "-o " + quoted(dir.file("again")));
    EXPECT_EQ(test::ReadFile(dir.file("again") / "index.html"), text);
    for (int i = 0; i < f->GetNumSteps(); ++i)
        EXPECT_NE(text.find(f->GetStepByIndex(i).GetStepName().str()), std::string::npos);
    // Five profiles on each chart's axis; top views of every floor at three instants.
    EXPECT_EQ(find(root, "svg", "profile").size(), 10u);
    EXPECT_FALSE(find(root, "path", "series").empty());
    const auto sections = find(root, "section");
    const auto plan = std::find_if(sections.begin(), sections.end(), [](const Element* e) {
        return e->attributes.count("id") && e->attributes.at("id") == "plan";
    });
    ASSERT_NE(plan, sections.end());
    EXPECT_EQ(find(**plan, "svg").size(), 3u * static_cast<size_t>(f->GetNumFloors()));

    ASSERT_EQ(cli("gantt " + kSample + "-o " + quoted(dir.file("g.svg"))).exitCode, 0);
    Element gantt = parse(dir.file("g.svg"));
    EXPECT_EQ(gantt.attributes["xmlns"], "http://www.w3.org/2000/svg");
    expectBarsMatchSchedule(gantt, *f);
}

TEST(PlanCommand, DrawsEveryFloorAndVesselAndTheRunAtATime)
{
    test::TempDir dir;
    auto plan = [&](const std::string& args) {
        EXPECT_EQ(cli("plan " + kSample + "-o " + quoted(dir.file("p.svg")) + " " + args).exitCode, 0) << args;
        const std::string text = test::ReadFile(dir.file("p.svg"));
        EXPECT_NO_THROW(test::ParseXml(text)) << args;
        EXPECT_EQ(text.find("nan") + text.find("inf"), 2 * std::string::npos) << args;
        return text;
    };
    const std::string still = plan(""), at = plan("--at 36h");
    // Two plants of one floor each.
    EXPECT_EQ(countOf(still, "<rect class=\"floor\""), 2u);
    EXPECT_NE(still.find("Building 1 - Synthesis"), std::string::npos);
    EXPECT_GE(countOf(still, "<g class=\"vessel"), 20u);
    EXPECT_EQ(countOf(still, "<g class=\"vessel"), countOf(still, "<circle class=\"shell\""));
    EXPECT_NE(still.find(">R-101</text>"), std::string::npos);
    EXPECT_GE(countOf(still, "<polyline class=\"pipe"), 10u);
    // Nothing runs before a time is given; at one, material and transfers show.
    EXPECT_EQ(countOf(still, "pipe flowing") + countOf(still, "class=\"contents\""), 0u);
    EXPECT_NE(at.find("At 1d 12:00:00 into the run"), std::string::npos);
    EXPECT_GT(countOf(at, "class=\"contents\""), 0u);
    EXPECT_GT(countOf(at, "pipe flowing"), 0u);
    // Force iterations move the wizard's layout, none leave it.
    const std::string wizard = plan("--layout wizard"), force = plan("--layout force:30");
    EXPECT_EQ(plan("--layout force:0"), wizard);
    EXPECT_NE(force, wizard);
    EXPECT_EQ(countOf(force, "<g class=\"vessel"), countOf(wizard, "<g class=\"vessel"));
}

TEST(CompareCommand, MatchesEquipmentByTagAndTheReportEscapesNames)
{
    test::TempDir dir;
    const auto odd = test::CopySampleDatabase(dir.file("b.db"));
    sqlite::Connection(odd.string(), SQLITE_OPEN_READWRITE)
        .exec("UPDATE PPlan SET PlanName = 'Plan <A> & \"B\"';"
              "UPDATE EquipmentSummary SET QLTag = 'R<1>&''x' WHERE QLTag = 'R-101';");
    const auto r = cli("compare " + kSample + quoted(odd));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* line :
         {"R-101 ", "only in A", "R<1>&'x ", "only in B", "R-102 ", "running 0.", "Labor (operators)"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    EXPECT_EQ(cli("compare " + kSample + kSample).out.find("only in"), std::string::npos);
    // A line per value; a value only one run has leaves the other empty.
    const auto csv = csvRows(cli("compare " + kSample + quoted(odd) + " --format csv").out);
    ASSERT_GT(csv.size(), 10u);
    for (size_t i = 1; i < csv.size(); ++i) {
        EXPECT_TRUE(csv[i][0] == "steps" || csv[i][0] == "equipment" || csv[i][0] == "profiles") << csv[i][0];
        EXPECT_GE(csv[i].size(), 4u) << csv[i][1];
    }
    // The report of the odd run shows the comparison with both runs' utilisation.
    ASSERT_EQ(cli("report " + quoted(odd) + " -o " + quoted(dir.file("out")) + " --compare " + kSample).exitCode, 0);
    const Element root = parse(dir.file("out") / "index.html");
    EXPECT_EQ(find(root, "svg", "utilisation").size(), 3u); // own, A and B
    EXPECT_NE(test::ReadFile(dir.file("out") / "index.html").find("only in B"), std::string::npos);
    ASSERT_FALSE(find(root, "title").empty());
    EXPECT_NE(find(root, "title").front()->text.find("Plan <A> & \"B\""), std::string::npos);
    const auto texts = find(root, "text");
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const Element* t) { return t->text == "R<1>&'x"; }));
}

TEST(UtilisationCommand, SharesAddUpTheBottleneckRunsTheMostAndStepsAreMeasured)
{
    const auto f = loadSchedule();
    const auto rows = csvRows(cli("utilisation " + kSample + "--format csv").out);
    ASSERT_EQ(rows.size(), static_cast<size_t>(f->GetNumSchedVessels()) + 1);
    int working = 0;
    std::string busiest;
    double most = 0;
    for (size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 7u) << i;
        const double running = std::stod(rows[i][1]);
        EXPECT_NEAR(running + std::stod(rows[i][2]) + std::stod(rows[i][3]) + std::stod(rows[i][4]), 1.0, 1e-5)
            << rows[i][0];
        working += std::stoi(rows[i][5]) > 0;
        if (running > most) most = running, busiest = rows[i][0].substr(1, rows[i][0].size() - 2);
    }
    EXPECT_GT(working, 0);
    // Holding material is no work: the bottleneck is the vessel running the largest share.
    const auto r = cli("utilisation " + kSample);
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\n" + busiest + " [^\n]*<- bottleneck\n"))) << busiest << r.out;
    for (int i = 0; i < f->GetNumSteps(); ++i) {
        const StepInfo step = f->GetStepByIndex(i);
        const std::string batches = std::to_string(step.GetNumberOfBatches());
        EXPECT_NE(r.out.find(step.GetStepName().str() + " "), std::string::npos) << step.GetStepName().str();
        EXPECT_NE(r.out.find(batches + " / " + batches), std::string::npos) << r.out;
    }
}

TEST(ProfileCommand, LaborCsvIsTheSumOfEveryGradeInItsUnits)
{
    const auto r = cli("profile " + kSample + "--type labor --format csv");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto rows = csvRows(r.out);
    ASSERT_GE(rows.size(), 2u) << r.out;
    EXPECT_EQ(rows[0].size(), 2u);
    EXPECT_EQ(rows[0][1], "value (operators)");
    auto f = loadSchedule();
    Array<long> groups, comps;
    Array<CString> groupNames, compNames;
    f->GetCompositeVessels(groups, groupNames, Labor);
    ASSERT_EQ(groups.GetSize(), 1);
    f->GetCompositeComponents(static_cast<int>(groups[0]), comps, compNames, Labor);
    ASSERT_GT(comps.GetSize(), 0);
    Hash<long, double> sum;
    for (int c = 0; c < comps.GetSize(); ++c)
        f->GetCompositeList(sum, groups[0], comps[c], Labor, Operators);
    CString timeUnit, valueUnit;
    double timeFactor = 0, valueFactor = 0, valueOffset = 0;
    f->GetCompositeUnits(Labor, groups[0], comps[0], Operators, timeUnit, timeFactor, valueUnit, valueFactor,
                         valueOffset);
    EXPECT_EQ(rows[0][0], "time (" + timeUnit.str() + ")");
    ASSERT_EQ(static_cast<int>(rows.size()) - 1, sum.GetCount());
    bool someoneWorks = false;
    for (int i = 0; i < sum.GetCount(); ++i) {
        ASSERT_EQ(rows[i + 1].size(), 2u);
        const double t = std::stod(rows[i + 1][0]), v = std::stod(rows[i + 1][1]);
        EXPECT_NEAR(t, sum.GetKeyAt(i) / timeFactor, 1e-6 * std::max(1.0, std::fabs(t)));
        EXPECT_NEAR(v, sum.GetAt(i), 1e-9);
        EXPECT_TRUE(v == std::floor(v) && v >= 0) << "whole operators: " << v;
        someoneWorks = someoneWorks || v > 0;
    }
    EXPECT_TRUE(someoneWorks);
}

TEST(ProfileCommand, RateKindsShowValuesPerTimeLevelsAndPropertiesDoNot)
{
    // A rate is held per second of the run but always shown per time unit.
    const auto plain = csvRows(cli("profile " + kSample + "--type Inventory --setting mass --format csv").out);
    ASSERT_GE(plain.size(), 2u);
    EXPECT_EQ(csvRows(cli("profile " + kSample + "--type Inventory --setting mass --per-time").out), plain);
    const std::string timeUnit = plain[0][0].substr(6, plain[0][0].size() - 7); // "time (h)" -> "h"
    EXPECT_NE(plain[0][1].find("/" + timeUnit + ")"), std::string::npos) << plain[0][1];
    EXPECT_EQ(csvRows(cli("profile " + kSample + "--type BufferTanks --setting mass").out)[0][1].find('/'),
              std::string::npos);
    // Properties: the hottest vessel at each time, never a sum.
    const auto hot = csvRows(cli("profile " + kSample + "--type Properties").out);
    ASSERT_GE(hot.size(), 2u);
    EXPECT_EQ(hot[0][1], "value (C)");
    double hottest = -1e300;
    for (std::size_t i = 1; i < hot.size(); ++i)
        hottest = std::max(hottest, std::stod(hot[i][1]));
    EXPECT_TRUE(hottest > 20.0 && hottest < 250.0) << hottest;
    test::TempDir dir;
    ASSERT_EQ(cli("profile " + kSample + "--type Utilities --format svg -o " + quoted(dir.file("p.svg"))).exitCode, 0);
    EXPECT_EQ(find(parse(dir.file("p.svg")), "path", "series").size(), 1u);
}

TEST(SummaryCommand, ListsPlanStepsFloorsAndStreams)
{
    const auto r = cli("summary " + kSample);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Facility f;
    CDaoDatabase db;
    db.Open(CString(test::SampleDatabasePath().string()), false, true);
    f.ReadVisioDatabase(&db);
    std::vector<std::string> lines = {"Plan: " + f.GetPlanName().str() + "\n",
                                      "Streams: " + std::to_string(f.GetNumConnectingStreams()) + " connecting",
                                      std::to_string(f.GetNumUtilStreams()) + " utility, " +
                                          std::to_string(f.GetNumVaporStreams()) + " vapor"};
    for (int i = 0; i < f.GetNumSteps(); ++i)
        lines.push_back("  " + f.GetStepByIndex(i).GetStepName().str());
    for (int i = 0; i < f.GetNumVessels(); ++i)
        lines.push_back("    " + f.GetVesselName(i).str());
    for (const std::string& line : lines)
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
}

// Without an ORDER BY, SQLite's plan would set the order of vessels, floors
// and schedule rows: the PlantID index gives plant order, a full scan id order.
TEST(QueryCommand, NoAnswerDependsOnTheIndexesOrTheQueryPlan)
{
    test::TempDir dir;
    const fs::path a = test::CopySampleDatabase(dir.file("a.db")), b = dir.file("b.db"), c = dir.file("c.db");
    auto exec = [](const fs::path& file, const std::string& sql) {
        sqlite::Connection(file.string(), SQLITE_OPEN_READWRITE).exec(sql);
    };
    exec(a, "UPDATE EquipmentSummary SET PlantID = 2 WHERE EquipmentID = 1;"); // plant order is no longer id order
    fs::copy_file(a, b);
    fs::copy_file(a, c);
    exec(b, "ANALYZE;");
    std::vector<std::string> indexes;
    {
        const sqlite::Connection h(c.string(), SQLITE_OPEN_READWRITE);
        for (sqlite::Statement list(h, "SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL");
             list.step();)
            indexes.push_back(list.text(0));
    }
    for (const std::string& name : indexes)
        exec(c, "DROP INDEX " + sqlite::quoteName(name));
    exec(c, "ANALYZE;");
    ASSERT_GT(indexes.size(), 10u);
    std::vector<std::string> commands = {"summary %s", "animate %s --at 20000", "procedure %s R-101 --at 20000"};
    for (const auto& line : csvRows(cli("query --list").out))
        commands.push_back("query %s " + line[0].substr(0, line[0].find(' ')));
    for (const std::string& command : commands) {
        const auto at = command.find("%s");
        auto run = [&](const fs::path& db) { return cli(command.substr(0, at) + quoted(db) + command.substr(at + 2)); };
        const auto base = run(a);
        EXPECT_EQ(base.exitCode, 0) << command << base.err;
        EXPECT_EQ(run(b).out, base.out) << command << " after ANALYZE";
        EXPECT_EQ(run(c).out, base.out) << command << " without indexes";
    }
}

} // namespace
} // namespace batchplant

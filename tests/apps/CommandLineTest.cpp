// The command line as a separate process. A table of invocations, each
// row with its exit code and what stdout and stderr must contain, in a fresh
// directory holding a file that is no database, a taken name and a database
// without the results tables; a refused command prints nothing on stdout and
// leaves that directory alone. Then what each command prints or writes for
// the generated sample, compared with what the library reads from it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "SampleDatabase.h"
#include "TestSupport.h"
#include "Xml.h"
#include "batchplant/db/Dao.h"
#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/foundation/Array.h"
#include "batchplant/foundation/Hash.h"
#include "batchplant/foundation/Units.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/StepInfo.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"
#include "db/RecordsetCatalog.h"
#include "db/Sqlite.h"
#include "render/UnitQuantity.h"

namespace batchplant::test {
namespace {

namespace fs = std::filesystem;

// "EXIT ARGS|PATTERN": the pattern (ECMAScript) is searched for in stdout
// when the command succeeds, in stderr when it fails; the other stream must
// be empty. In ARGS {db} is the sample, {dir} the row's directory, {jet} the
// shared Jet files.
const std::vector<std::string>& rows()
{
    static const std::vector<std::string> table = [] {
        std::vector<std::string> r = {
            "0 units 100 F C|^37\\.778 C\n$", "0 units 1 'Cubic ft' liter|^28\\.317 liter\n$",
            "0 units 1.5 h min --digits 5|^90\\.00000 min\n$",
            "2 units 1 kg C|cannot convert kg \\(mass\\) to C \\(temperature\\)",
            "2 units 1 kg/h kg|kg/h \\(mass flow\\) to kg \\(mass\\)",
            "2 units 1 furlong m|^batchplant units: unknown source unit \"furlong\" [^\n]*\n$",
            "2 units 1 m furlong|unknown target unit \"furlong\" [^\n]*\n$",
            "2 units 1 ' C' K|^batchplant units: unknown source unit \" C\" [^\n]*\n$",
            "2 units 1 C|give VALUE FROM TO", "2 units abc C F|value = abc",
            "2 units --list 1 C F|--list excludes value", "2 units 1 C F extra|not expected: extra",
            "2 units 1 C F --digits 99|--digits: Value 99 not in range",
            // procedure: a time in units and in plain seconds name the same instant
            "0 procedure {db} R-101 --at 5h|\nRunning at 0d  5:00:00:\n",
            "0 procedure {db} R-101 --at '18000 s'|\nRunning at 0d  5:00:00:\n",
            "0 procedure {db} R-101 --at 18000|\nRunning at 0d  5:00:00:\n",
            "0 procedure {db} R-101 --at 0|\\(nothing\\)\nVolume: 0\\.000 liter\n$",
            "2 procedure {db} NO-SUCH-TAG|no equipment tagged \"NO-SUCH-TAG\"",
            "2 procedure {dir}/none.db R-101|cannot open [^\n]*none\\.db: no such file",
            "2 procedure {db} R-101 --at 5parsec|bad time \"5parsec\"",
            "2 procedure {db} R-101 --at 1e300h|bad time \"1e300h\"",
            // animate: the run's last instant belongs to it, the next second does not
            "0 animate {db} --at 1.5d|^Time 129600 s \\(1d 12:00:00\\)",
            "0 animate {db} --at 2024-05-05T02:00|^Time 2923200 s \\(33d 20:00:00\\)",
            "0 animate {db} --frame 0|^Frame 0\nTime 0 s",
            "0 animate {db} --frame 100000000 --frames-per-op 1|^Frame [0-9]+ \\(the end of the run was "
            "reached[^\n]*\nTime 5850180 s [^\n]* of 5850180 s",
            "2 animate {db} --at abc|bad time \"[^\"]*\": give seconds, a number with a time unit",
            "0 animate {db} --at 5850180|^Time 5850180 s \\(67d 17:03:00\\) of 5850180",
            "2 animate {db} --at 5850181|\\(5850181 s\\) is outside the run: give 0 to ",
            "2 animate {db} --at -1s|\\(-1 s\\) is outside the run",
            "2 animate {db}|exactly one of --at TIME and --frame N", "2 animate {db} --frame -3|bad frame -3",
            "2 animate {db} --frame 1 --frames-per-op 0|bad frames per operation 0",
            "2 animate {dir}/results.db --at 1h|results\\.db: no such file",
            "2 animate {dir} --at 1h|cannot open [^\n]*: it is a directory",
            // Beyond double's range: a bad time, not an exception out of the parser.
            "2 plan {db} -o {dir}/p.svg --at 1e999h|bad time \"1e999h\"",
            "2 plan {db} -o {dir}/p.svg --layout spring|bad layout \"spring\"",
            "2 plan {db} -o {dir}/p.svg --layout force:-3|bad layout \"force:-3\"",
            "2 plan {dir}/missing.db -o {dir}/p.svg|: no such file",
            "1 plan {db} -o {dir}/no/such/dir/plan.svg|cannot write [^\n]*plan\\.svg",
            "2 query {dir}/missing.db CDaoStreamSet|cannot open [^\n]*missing\\.db",
            "2 query {dir}/bare.db CDaoStreamSet|no such table: StreamSummary",
            "2 query {dir}/bare.db CDaoNoSuchSet|unknown recordset 'CDaoNoSuchSet'",
            "2 query {dir}/bare.db|give a database and a recordset name",
            "2 query {db} CDaoPhaseComponents --param pid=ten|not 'ten'",
            "2 query {db} CDaoPhaseComponents --param phase=1|no parameter \\[phase\\]",
            "2 query {db} CDaoPhaseComponents --param pid|needs name=value, not 'pid'",
            "0 query {db} CDaoPhaseComponents --param pid=1|^PhaseID,ComponentID,[^\n]*\n(1,[^\n]*\n)+$",
            "0 query {db} CDaoThermodynamicPhase --param CompositeID=1 --param "
            "sid=0|^PhaseID,[^\n]*\n[0-9]+,1,[^\n]*\n$",
            "2 report {dir}/missing.db -o {dir}/out|cannot open [^\n]*missing\\.db",
            "2 report {dir}/notdb -o {dir}/out|notdb: [^\n]*file is not a database",
            "1 report {db} -o {dir}/taken|cannot create the directory [^\n]*taken",
            "1 gantt {db} -o {dir}/no/such/dir/g.svg|cannot write [^\n]*g\\.svg",
            "2 compare {db} {dir}/none.db|cannot open [^\n]*none\\.db",
            "2 utilisation {db} --to 0|the span from 0 s to 0 s is empty",
            "2 utilisation {db} --from 9999d|\"9999d\" [^\n]* is outside the run",
            "2 utilisation {db} --format xml|unknown format \"xml\"",
            // Rates are per time unit; a property is no rate.
            "0 profile {db} --type Inventory --setting mass|^time \\(([^)]+)\\),value \\([^)]*/\\1\\)\n",
            "0 profile {db} --type BufferTanks --setting mass|^time \\([^)]+\\),value \\([^/)]*\\)\n",
            "2 profile {db} --type Lavor|unknown type \"Lavor\"",
            "2 profile {db} --type Labor --group 987654|no Labor group with id 987654",
            "2 profile {db} --type Labor --component 987654|component with id 987654",
            "2 profile {db} --type Labor --setting weight|unknown setting \"weight\"",
            "2 profile {db} --type Labor --format pdf|unknown format \"pdf\"",
            // import: a refused import leaves no partial output behind
            "2 import --any-file {dir}/notdb {dir}/out.db|error: cannot read '[^']*notdb': not a Jet/Access database",
            "2 import {dir}/absent.mdb {dir}/out.db|absent\\.mdb",
            "2 import --any-file --force {dir}/notdb {dir}/notdb|input file itself",
            "2 import --from-sqlite {dir}/notdb {dir}/out.db|cannot read '[^']*notdb': file is not a database",
            "2 import {jet}/DateTestDatabase.mdb {dir}/taken|exists; use --force",
            "2 import {jet}/DateTestDatabase.mdb {dir}/absent/out.db|directory '[^']*absent' does not exist",
            "1 import {jet}/nwind.mdb {dir}/out.db|holds none of the results tables \\(EquipmentSummary[^\n]*nothing "
            "was written",
            "2 sample {dir}/zero.db --scale 0|--scale: Value 0 not in range",
            "2 sample {dir}/taken --seed 3|taken already exists \\(use --force"};
#ifdef BATCHPLANT_HAVE_VIEWER
        r.insert(r.end(), {"2 serve {dir}/none.db --port 0|cannot open [^\n]*none\\.db",
                           "2 serve {db} --port 70000|--port: Value 70000 not in range",
                           "1 serve {db} --host 203.0.113.300|cannot listen on 203\\.0\\.113\\.300:8080"});
#endif
        return r;
    }();
    return table;
}

const std::string kJetDir = BATCHPLANT_SHARED_DIR "/data/jet";

CommandResult cli(const std::string& args) { return runCommand(std::string(BATCHPLANT_CLI) + " " + args); }
const std::string kSample = " '" + SampleDatabasePath().string() + "' ";
std::string quoted(const fs::path& p) { return "\"" + p.string() + "\""; }

// Every file under `dir` with its bytes.
std::map<std::string, std::string> contents(const fs::path& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        files[fs::relative(entry.path(), dir).string()] = entry.is_regular_file() ? ReadFile(entry.path()) : "/";
    return files;
}

std::string argsOf(const std::string& row) { return row.substr(2, row.find('|') - 2); }

class CommandLine : public ::testing::TestWithParam<std::string> {};

TEST_P(CommandLine, ExitCodeAndOutputs)
{
    std::string args = argsOf(GetParam());
    const int code = GetParam()[0] - '0';
    if (args.rfind("import", 0) == 0 && cli("import").err.find("without Jet") != std::string::npos)
        GTEST_SKIP() << "batchplant was built without Jet/Access support";
    if (args.find("{jet}") != std::string::npos && !fs::exists(kJetDir))
        GTEST_SKIP() << "the Jet test files are expected in " << kJetDir;
    TempDir dir;
    std::ofstream(dir.file("notdb")) << "hello";
    std::ofstream(dir.file("taken")) << "keep me";
    sqlite::Connection(dir.file("bare.db").string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
        .exec("CREATE TABLE other(x)");
    const auto before = contents(dir.path());
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"{db}", SampleDatabasePath().string()},
                                     {"{dir}", dir.path().string()},
                                     {"{jet}", kJetDir}})
        for (auto at = args.find(key); at != std::string::npos; at = args.find(key, at + value.size()))
            args.replace(at, key.size(), value);
    const CommandResult r = cli(args);
    EXPECT_EQ(r.exitCode, code) << args << "\n" << r.err;
    const std::regex pattern(GetParam().substr(GetParam().find('|') + 1));
    EXPECT_TRUE(std::regex_search(code ? r.err : r.out, pattern))
        << args << "\nstdout: " << r.out.substr(0, 2000) << "\nstderr: " << r.err;
    EXPECT_EQ(code ? r.out : r.err, "") << args;
    EXPECT_TRUE(code == 0 || contents(dir.path()) == before) << args << ": a refused command leaves its files alone";
}

INSTANTIATE_TEST_SUITE_P(Table, CommandLine, ::testing::ValuesIn(rows()), [](const auto& info) {
    std::string name = std::to_string(info.index) + "_" + argsOf(info.param);
    for (char& c : name)
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

std::vector<std::string> split(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, sep);)
        parts.push_back(part);
    return parts;
}

TEST(UnitsCommand, ListPrintsEveryRowLosslessly)
{
    const auto r = cli("units --list");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = split(r.out, '\n');
    ASSERT_EQ(lines.size(), 582u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto f = split(lines[i], '\t');
        const UnitRow& row = GetUnitRow(static_cast<int>(i));
        ASSERT_EQ(f.size(), 5u) << lines[i];
        EXPECT_EQ(f[0] + " " + f[1] + " " + f[2], std::to_string(i) + " " + row.name + " " + std::to_string(row.kind));
        // Read back, the printed numbers are the table's exactly.
        EXPECT_EQ(std::strtod(f[3].c_str(), nullptr), row.factor) << lines[i];
        EXPECT_EQ(std::strtod(f[4].c_str(), nullptr), row.offset) << lines[i];
        EXPECT_TRUE(cli::UnitDimension(row.name)) << row.name;
    }
}

TEST(ProcedureCommand, PrintsEveryOperationWhatRunsAndTheVolumeAsTheLibraryReadsThem)
{
    CDaoDatabase db;
    db.Open(CString(SampleDatabasePath().string()), false, true);
    CProcedure proc;
    CDaoEquipConts rows(&db);
    rows.Open();
    const long id = rows.m_EquipmentID;
    for (; !rows.IsEOF(); rows.MoveNext())
        if (rows.m_EquipmentID == id) proc.AddNewProc(rows);
    CDaoEquipmentSet eq(&db);
    for (eq.Open(); !eq.IsEOF() && eq.m_EquipmentID != id;)
        eq.MoveNext();
    ASSERT_FALSE(eq.IsEOF());
    const CProcUnit& unit = proc.GetProcUnit(proc.GetNumProcs() / 2);
    const long t = unit.GetStart() + 1;
    const auto r = cli("procedure" + kSample + "'" + eq.m_QLTag.str() + "' --at " + std::to_string(t));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find('\r'), std::string::npos) << "terminal line ends";
    const std::string running = "\nRunning at " + CProcedure::FormatTime(t).str() + ":\n";
    const std::size_t at = r.out.find(running);
    ASSERT_NE(at, std::string::npos) << r.out;
    // Batch and real dates, then the library's line of the operation.
    const auto lines = split(r.out.substr(0, at), '\n');
    ASSERT_EQ(static_cast<int>(lines.size()), proc.GetNumProcs());
    const std::regex line(
        R"(^batch \d+ +\d{4}-\d\d-\d\d \d\d:\d\d to \d{4}-\d\d-\d\d \d\d:\d\d  \(\d+d [ \d]\d:\d\d:\d\d\) - \(\d+d [ \d]\d:\d\d:\d\d\)   .+ \(.*\) $)");
    for (int i = 0; i < proc.GetNumProcs(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], line) && lines[i].find(proc.GetOpNameAt(i).str()) != std::string::npos &&
                    lines[i].rfind("batch " + std::to_string(proc.GetProcUnit(i).GetBatchNum()) + " ", 0) == 0)
            << lines[i];
    const std::string tail = r.out.substr(at + running.size());
    for (const std::string& part :
         {unit.GetOp().str() + "\n", "Volume: " + FormatQuantity(proc.GetVolume(t), eq.m_CapacityUOM).str() + "\n"})
        EXPECT_NE(tail.find(part), std::string::npos) << tail;
}

TEST(AnimateCommand, EachVesselShowsWhatTheLibrarySetsAndFramesStepItsClock)
{
    MessageRecorder messages;
    CDaoDatabase database;
    database.Open(CString(SampleDatabasePath().string()), false, true);
    Facility f;
    f.ReadVisioDatabase(&database);
    f.InitAnim();
    const long t = 812 * 3600; // a whole hour around the middle of the run
    const auto r = cli("animate" + kSample + "--at 812h");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Time " + std::to_string(t) + " s"), std::string::npos) << r.out;
    // Each vessel's block: a "TAG (...)" line, then indented lines.
    std::map<std::string, std::vector<std::string>> shown;
    std::string current;
    for (const std::string& line : split(r.out, '\n'))
        if (line.empty())
            current.clear();
        else if (line.rfind("  ", 0) == 0 && !current.empty())
            shown[current].push_back(line.substr(2));
        else if (line.find(" (") != std::string::npos && line.back() == ')' && line.rfind("Time ", 0) != 0)
            current = line.substr(0, line.find(" ("));
    f.SetAnimationTime(t);
    ASSERT_EQ(static_cast<int>(shown.size()), f.GetNumVessels()) << r.out;
    int active = 0, flowing = 0, expectedFlowing = 0;
    for (int i = 0; i < f.GetNumVessels(); ++i) {
        Vessel* v = f.GetVesselByIndex(i);
        const std::vector<std::string>& lines = shown[v->GetName().str()];
        ASSERT_GE(lines.size(), 5u) << v->GetName().str();
        const CString op = v->GetProc()->GetCurrentOp(t), type = v->GetProc()->GetCurrentOpType(t);
        const long batch = v->GetProc()->GetCurrentBatchNum(t);
        const unsigned char* c = kBatchPalette[(std::max(batch, 1L) - 1) % 9];
        const std::string expected[] = {
            op.IsEmpty() && type.IsEmpty() ? std::string("operation: -")
                                           : "operation: " + op.str() + " [" + type.str() + "]",
            CString::Formatted("volume: %.3f%s", v->GetVolume(), v->IsOverflowing() ? " (overflowing)" : "").str(),
            CString::Formatted("heat %d  cool %d  react %d  active %d", v->IsHeating(), v->IsCooling(),
                               type == "React" ? 1 : 0, v->IsActive())
                .str(),
            batch > 0 ? CString::Formatted("contents: batch %ld #%02X%02X%02X", batch, c[0], c[1], c[2]).str()
                      : "contents: no batch running"}; // then what the idle vessel held last
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(lines[k].substr(0, k < 3 || batch > 0 ? std::string::npos : expected[k].size()), expected[k])
                << v->GetName().str();
        active += v->IsActive();
        for (std::size_t k = 4; k < lines.size(); ++k)
            flowing += lines[k] != "flowing: -";
    }
    EXPECT_GT(active, 0);
    // A flowing connecting stream shows under both its vessels.
    for (int i = 0; i < f.GetNumConnectingStreams(); ++i)
        expectedFlowing += 2 * f.GetStreamByIndex(i)->IsInUse();
    for (int i = 0; i < f.GetNumUniStreams(); ++i)
        expectedFlowing += f.GetUniStreamByIndex(i)->IsInUse();
    for (int i = 0; i < f.GetNumUtilStreams(); ++i)
        expectedFlowing += f.GetUtilStreamByIndex(i)->IsInUse();
    for (int i = 0; i < f.GetNumVaporStreams(); ++i)
        expectedFlowing += (f.GetVaporStreamByIndex(i)->IsConnecting() ? 2 : 1) * f.GetVaporStreamByIndex(i)->IsInUse();
    EXPECT_EQ(flowing, expectedFlowing);

    // Frames step the library's clock and stop at the end of the run.
    f.SetFramesPerOp(3);
    f.ResetTime();
    long time = 0;
    CString ops;
    f.SetCurrentAnimationParams(time, ops);
    for (int i = 0, now = 0, last = 0; i < 9; ++i)
        f.Animate(now, last);
    f.SetCurrentAnimationParams(time, ops);
    ASSERT_GT(time, 0);
    const auto nine = cli("animate" + kSample + "--frame 9 --frames-per-op 3");
    EXPECT_NE(nine.out.find("Frame 9\nTime " + std::to_string(time) + " s"), std::string::npos)
        << nine.out.substr(0, 200);
}

Element parse(const fs::path& file)
{
    Element root;
    EXPECT_NO_THROW(root = ParseXml(ReadFile(file))) << file;
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
    for (const std::string& line : split(text, '\n'))
        rows.push_back(split(line, ','));
    return rows;
}

std::unique_ptr<GanttFacility> loadSchedule()
{
    auto f = std::make_unique<GanttFacility>();
    EXPECT_TRUE(f->ReadGanttDatabase(CString(SampleDatabasePath().string())));
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
        std::vector<ScheduleBlock> blocks;
        for (int b = 0; b < f.GetNumTimeBlocks(v); ++b)
            if (auto block = f.GetScheduleBlock(v, b)) blocks.push_back(*block);
        std::stable_sort(blocks.begin(), blocks.end(), [](const auto& x, const auto& y) { return x.start < y.start; });
        all += blocks.size();
        size_t next = 0;
        for (const Element& rect : rows[v]->children) {
            const std::string cls = rect.attributes.count("class") ? rect.attributes.at("class") : "";
            const std::string tip = rect.children.empty() ? "" : rect.children.back().text;
            if (cls == "span") next += std::stoul(tip.substr(tip.find('\n') + 1));
            if (cls != "bar") continue;
            ASSERT_LT(next, blocks.size()) << tip;
            const ScheduleBlock& block = blocks[next++];
            ++bars;
            for (const std::string& part :
                 {f.GetVesselName(v).str(), "Step: " + block.stepName.str(), "Operation: " + block.op.str(),
                  "Batch: " + std::to_string(block.batch) + "\n"})
                EXPECT_NE(tip.find(part), std::string::npos) << next << ": " << tip;
            const unsigned char* c = kBatchPalette[(std::max<short>(block.batch, 1) - 1) % 9];
            const std::string hex = CString::Formatted("#%02X%02X%02X", c[0], c[1], c[2]).str();
            EXPECT_TRUE(block.batch <= 0 || block.empty || rect.attributes.at("fill") == hex) << tip;
        }
        EXPECT_EQ(next, blocks.size()) << "row " << v;
    }
    EXPECT_TRUE(bars > 0 && all > bars) << "the whole run at 1300 px merges the shortest operations";
}

TEST(ReportCommand, WritesOneSelfContainedReproduciblePageOfEveryOperation)
{
    TempDir dir;
    const auto page = dir.file("report") / "index.html";
    const auto r = cli("report " + kSample + "-o " + quoted(dir.file("report")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(page.string()), std::string::npos) << r.out;
    const std::string text = ReadFile(page);
    const Element root = parse(page);
    // Nothing the page needs comes from elsewhere.
    EXPECT_FALSE(std::regex_search(text, std::regex("\\s(src|href)\\s*=")));
    EXPECT_TRUE(root.name == "html" && find(root, "script").empty() && find(root, "link").empty());
    cli("report " + kSample + "-o " + quoted(dir.file("again")));
    EXPECT_EQ(ReadFile(dir.file("again") / "index.html"), text);
    // The whole run, then its busiest week at full detail, each over five
    // profiles; top views of every floor at three instants.
    const auto f = loadSchedule();
    const auto charts = find(root, "svg", "gantt");
    ASSERT_EQ(charts.size(), 2u);
    expectBarsMatchSchedule(*charts[0], *f);
    EXPECT_EQ(find(*charts[1], "rect", "span").size(), 0u);
    for (int i = 0; i < f->GetNumSteps(); ++i)
        EXPECT_NE(text.find(f->GetStepByIndex(i).GetStepName().str()), std::string::npos);
    EXPECT_EQ(find(root, "svg", "profile").size(), 10u);
    EXPECT_FALSE(find(root, "path", "series").empty());
    EXPECT_EQ(countOf(text.substr(text.find("<section id=\"plan\"")), "<svg"), 3u * f->GetNumFloors());

    ASSERT_EQ(cli("gantt " + kSample + "-o " + quoted(dir.file("g.svg"))).exitCode, 0);
    Element gantt = parse(dir.file("g.svg"));
    EXPECT_EQ(gantt.attributes["xmlns"], "http://www.w3.org/2000/svg");
    expectBarsMatchSchedule(gantt, *f);
}

TEST(PlanCommand, DrawsEveryFloorAndVesselAndTheRunAtATime)
{
    TempDir dir;
    auto plan = [&](const std::string& args) {
        EXPECT_EQ(cli("plan " + kSample + "-o " + quoted(dir.file("p.svg")) + " " + args).exitCode, 0) << args;
        const std::string text = ReadFile(dir.file("p.svg"));
        EXPECT_NO_THROW(ParseXml(text)) << args;
        EXPECT_EQ(text.find("nan") + text.find("inf"), 2 * std::string::npos) << args;
        return text;
    };
    const std::string still = plan(""), at = plan("--at 36h");
    // Two plants of one floor each; nothing runs before a time is given, at
    // one material and transfers show.
    EXPECT_EQ(countOf(still, "<rect class=\"floor\""), 2u);
    EXPECT_NE(still.find("Building 1 - Synthesis"), std::string::npos);
    EXPECT_GE(countOf(still, "<g class=\"vessel"), 20u);
    EXPECT_EQ(countOf(still, "<g class=\"vessel"), countOf(still, "<circle class=\"shell\""));
    EXPECT_NE(still.find(">R-101</text>"), std::string::npos);
    EXPECT_GE(countOf(still, "<polyline class=\"pipe"), 10u);
    EXPECT_EQ(countOf(still, "pipe flowing") + countOf(still, "class=\"contents\""), 0u);
    EXPECT_NE(at.find("At 1d 12:00:00 into the run"), std::string::npos);
    EXPECT_TRUE(countOf(at, "class=\"contents\"") > 0 && countOf(at, "pipe flowing") > 0);
    // Force iterations move the wizard's layout, none leave it.
    const std::string wizard = plan("--layout wizard");
    EXPECT_EQ(plan("--layout force:0"), wizard);
    EXPECT_NE(plan("--layout force:30"), wizard);
}

TEST(CompareCommand, MatchesEquipmentByTagAndTheReportEscapesNames)
{
    TempDir dir;
    const auto odd = CopySampleDatabase(dir.file("b.db"));
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
    for (size_t i = 1; i < csv.size(); ++i)
        EXPECT_TRUE(std::regex_match(csv[i][0], std::regex("steps|equipment|profiles")) && csv[i].size() >= 4u)
            << csv[i][0];
    // The report of the odd run shows the comparison with both runs' utilisation.
    ASSERT_EQ(cli("report " + quoted(odd) + " -o " + quoted(dir.file("out")) + " --compare " + kSample).exitCode, 0);
    const Element root = parse(dir.file("out") / "index.html");
    EXPECT_EQ(find(root, "svg", "utilisation").size(), 3u); // own, A and B
    EXPECT_NE(ReadFile(dir.file("out") / "index.html").find("only in B"), std::string::npos);
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
        if (running > most) {
            most = running;
            busiest = rows[i][0].substr(1, rows[i][0].size() - 2);
        }
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

TEST(ProfileCommand, LaborIsTheSumOfEveryGradeRatesArePerTimeAndPropertiesTheHighest)
{
    const auto rows = csvRows(cli("profile " + kSample + "--type labor --format csv").out);
    ASSERT_GE(rows.size(), 2u);
    auto f = loadSchedule();
    Array<long> groups, comps;
    Array<CString> groupNames, compNames;
    f->GetCompositeVessels(groups, groupNames, Labor);
    ASSERT_EQ(groups.GetSize(), 1);
    f->GetCompositeComponents(static_cast<int>(groups[0]), comps, compNames, Labor);
    Hash<long, double> sum;
    for (int c = 0; c < comps.GetSize(); ++c)
        f->GetCompositeList(sum, groups[0], comps[c], Labor, Operators);
    CString timeUnit, valueUnit;
    double timeFactor = 0, valueFactor = 0, valueOffset = 0;
    f->GetCompositeUnits(Labor, groups[0], comps[0], Operators, timeUnit, timeFactor, valueUnit, valueFactor,
                         valueOffset);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"time (" + timeUnit.str() + ")", "value (operators)"}));
    ASSERT_EQ(static_cast<int>(rows.size()) - 1, sum.GetCount());
    bool someoneWorks = false;
    for (int i = 0; i < sum.GetCount(); ++i) {
        const double t = std::stod(rows[i + 1].at(0)), v = std::stod(rows[i + 1].at(1));
        EXPECT_NEAR(t, sum.GetKeyAt(i) / timeFactor, 1e-6 * std::max(1.0, std::fabs(t)));
        EXPECT_TRUE(v == sum.GetAt(i) && v == std::floor(v) && v >= 0) << "whole operators: " << v;
        someoneWorks = someoneWorks || v > 0;
    }
    EXPECT_TRUE(someoneWorks);
    // A rate is held per second of the run but always shown per time unit;
    // properties are the hottest vessel at each time, never a sum.
    EXPECT_EQ(cli("profile " + kSample + "--type Inventory --setting mass --per-time").out,
              cli("profile " + kSample + "--type Inventory --setting mass --format csv").out);
    double hottest = -1e300;
    for (const auto& row : csvRows(cli("profile " + kSample + "--type Properties").out))
        hottest = std::max(hottest, row.at(1).rfind("value", 0) == 0 ? hottest : std::stod(row.at(1)));
    EXPECT_TRUE(hottest > 20.0 && hottest < 250.0) << hottest;
    TempDir dir;
    ASSERT_EQ(cli("profile " + kSample + "--type Utilities --format svg -o " + quoted(dir.file("p.svg"))).exitCode, 0);
    EXPECT_EQ(find(parse(dir.file("p.svg")), "path", "series").size(), 1u);
}

// Without an ORDER BY, SQLite's plan would set the order of vessels, floors
// and schedule rows: the PlantID index gives plant order, a full scan id order.
TEST(QueryCommand, NoAnswerDependsOnTheIndexesOrThePlanAndEachIsTheLibrarys)
{
    TempDir dir;
    const fs::path a = CopySampleDatabase(dir.file("a.db")), b = dir.file("b.db"), c = dir.file("c.db");
    auto exec = [](const fs::path& file, const std::string& sql) {
        sqlite::Connection(file.string(), SQLITE_OPEN_READWRITE).exec(sql);
    };
    // Plant order is no longer id order; a label needs quoting in CSV.
    exec(a, "UPDATE EquipmentSummary SET PlantID = 2 WHERE EquipmentID = 1;"
            "UPDATE StreamSummary SET UserLabel = 'say \"hi\", twice' WHERE StreamID = 3");
    fs::copy_file(a, b);
    fs::copy_file(a, c);
    exec(b, "ANALYZE;");
    std::string drop;
    {
        const sqlite::Connection h(c.string(), SQLITE_OPEN_READWRITE);
        for (sqlite::Statement list(h, "SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL");
             list.step();)
            drop += "DROP INDEX " + sqlite::quoteName(list.text(0)) + ";";
    }
    exec(c, drop + "ANALYZE;");
    ASSERT_GT(std::count(drop.begin(), drop.end(), ';'), 10);
    std::vector<std::string> commands = {"summary %s", "animate %s --at 20000", "procedure %s R-101 --at 20000"};
    // Every recordset of the catalog, with a few words on its rows.
    std::istringstream list(cli("query --list").out);
    std::size_t n = 0;
    for (std::string line; std::getline(list, line); ++n) {
        commands.push_back("query %s " + line.substr(0, line.find(' ')));
        ASSERT_LT(n, RecordsetCatalog().size()) << line;
        EXPECT_EQ(line.substr(0, line.find(' ')), RecordsetCatalog()[n].name);
        EXPECT_GT(line.size(), 24u + 10u) << line;
    }
    EXPECT_EQ(n, RecordsetCatalog().size());
    // The summary names the plan, every step and vessel, and counts the streams as the library reads them.
    Facility f;
    CDaoDatabase db;
    db.Open(CString(SampleDatabasePath().string()), false, true);
    f.ReadVisioDatabase(&db);
    std::vector<std::string> summary = {
        "Plan: " + f.GetPlanName().str() + "\n",
        "Streams: " + std::to_string(f.GetNumConnectingStreams()) + " connecting",
        CString::Formatted("%d utility, %d vapor", f.GetNumUtilStreams(), f.GetNumVaporStreams()).str()};
    for (int i = 0; i < f.GetNumSteps(); ++i)
        summary.push_back("  " + f.GetStepByIndex(i).GetStepName().str());
    for (int i = 0; i < f.GetNumVessels(); ++i)
        summary.push_back("    " + f.GetVesselName(i).str());
    // A comma and quotes are quoted; the stream from outside has an empty FromEquipmentID.
    const std::vector<std::string> streams = {"\n3,1,Inert,\"say \"\"hi\"\", twice\",P-2 / R-101 "
                                              "Amidation,102,1,10202,Inert,Nitrogen,54,min,68,min,,1,20,C,"};
    for (const std::string& command : commands) {
        const auto at = command.find("%s");
        auto run = [&](const fs::path& db) { return cli(command.substr(0, at) + quoted(db) + command.substr(at + 2)); };
        const auto base = run(a);
        EXPECT_EQ(base.exitCode, 0) << command << base.err;
        EXPECT_EQ(run(b).out, base.out) << command << " after ANALYZE";
        EXPECT_EQ(run(c).out, base.out) << command << " without indexes";
        for (const std::string& line : command == "summary %s"               ? summary
                                       : command == "query %s CDaoStreamSet" ? streams
                                                                             : std::vector<std::string>())
            EXPECT_NE(base.out.find(line), std::string::npos) << line << "\n" << base.out.substr(0, 2000);
    }
}

} // namespace
} // namespace batchplant::test

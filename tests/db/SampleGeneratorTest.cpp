// The sample results database: schema, the queries the recordsets run on it,
// determinism, and the physical consistency of the simulated campaign.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "SampleDatabase.h"
#include "ResultsDb.h"
#include "TestSupport.h"
#include "batchplant/db/ResultsSchema.h"
#include "db/Sqlite.h"
#include "sample/SampleGenerator.h"
#include "batchplant/platform/COleDateTime.h"

namespace batchplant {
namespace {

namespace fs = std::filesystem;

// Capacity in liters, from the units the sample uses.
constexpr const char* kCapacityLiters =
    "(e.Capacity * CASE e.CapacityUOM WHEN 'liter' THEN 1.0 WHEN 'gal' THEN 3.785411 WHEN 'Cubic m' THEN 1000.0 END)";

TEST(SampleDatabase, OpensReadOnlyAndPassesTheIntegrityCheck)
{
    test::Sql db(test::SampleDatabasePath(), true);
    EXPECT_EQ(db.text("PRAGMA integrity_check"), "ok");
    int dangling = 0;
    db.each("PRAGMA foreign_key_check", [&](const sqlite::Statement&) { ++dangling; });
    EXPECT_EQ(dangling, 0);
    for (const char* table : {"EquipmentSummary",
                              "FacilitySummary",
                              "PPlan",
                              "ProductionPlanSummary",
                              "StepSummary",
                              "PureComponents",
                              "EquipmentSchedule",
                              "TextRecipe",
                              "EquipmentContents",
                              "ThermodynamicPhase",
                              "PhaseComponents",
                              "StreamSummary",
                              "UtilitySummary",
                              "AirEmissionSummary",
                              "CompositeContents",
                              "LaborSummary",
                              "LaborCategory",
                              "SavedQueries",
                              "Calendars",
                              "CalendarWeekShifts",
                              "CalendarExceptions",
                              "CalendarExceptionShifts"}) {
        EXPECT_GT(db.count(std::string("SELECT count(*) FROM ") + table), 0) << table;
    }
}

// ---- the saved queries --------------------------------------------------

std::string savedQuery(const test::Sql& db, const char* name)
{
    std::string sql = db.text(std::string("SELECT SqlText FROM SavedQueries WHERE Name = '") + name + "'");
    for (const char* p : {"pid", "sid", "CompositeID", "aid"}) {
        const std::string from = std::string("[") + p + "]";
        for (std::size_t at; (at = sql.find(from)) != std::string::npos;)
            sql.replace(at, from.size(), std::string(":") + p);
    }
    if (!sql.empty() && sql.back() == ';') sql.pop_back();
    return sql;
}

TEST(SampleDatabase, SavedQueriesDeliverThePhasesAndComponentsAskedFor)
{
    test::Sql db(test::SampleDatabasePath(), true);
    EXPECT_EQ(db.text("SELECT Parameters FROM SavedQueries WHERE Name = 'QryPhaseComponents'"), "pid Long");
    EXPECT_EQ(db.text("SELECT Parameters FROM SavedQueries WHERE Name = 'qrythermodynamicphase1'"),
              "sid Long, CompositeID Long, aid Long")
        << "names are looked up without regard to case";

    auto run = [&](const std::string& sql, std::map<std::string, long long> params) {
        std::vector<std::vector<long long>> rows;
        sqlite::Statement stmt(db, sql);
        for (const auto& [name, value] : params) {
            const int i = stmt.parameterIndex(":" + name);
            EXPECT_GT(i, 0) << name;
            stmt.bind(i, value);
        }
        while (stmt.step())
            rows.push_back({stmt.integer(0), stmt.integer(1)});
        return rows;
    };
    const std::string phases = savedQuery(db, "QryThermodynamicPhase1");
    // (An empty tank's record has no phases; take one that holds material.)
    const long long composite = db.count("SELECT max(CompositeContentsID) FROM ThermodynamicPhase");
    const auto byComposite = run(phases, {{"sid", 0}, {"CompositeID", composite}, {"aid", 0}});
    ASSERT_FALSE(byComposite.empty());
    EXPECT_EQ(
        static_cast<long long>(byComposite.size()),
        db.count("SELECT count(*) FROM ThermodynamicPhase WHERE CompositeContentsID = " + std::to_string(composite)));
    for (const auto& row : byComposite)
        EXPECT_EQ(row[1], composite);

    const long long stream = db.count("SELECT min(StreamID) FROM ThermodynamicPhase");
    const auto byStream = run(phases, {{"sid", stream}, {"CompositeID", 0}, {"aid", 0}});
    EXPECT_EQ(static_cast<long long>(byStream.size()),
              db.count("SELECT count(*) FROM ThermodynamicPhase WHERE StreamID = " + std::to_string(stream)));
    EXPECT_TRUE(run(phases, {{"sid", 0}, {"CompositeID", 0}, {"aid", 0}}).empty())
        << "zero parameters select nothing, not the phases whose owner column is unset";

    const long long phase = byComposite.front()[0];
    const auto components = run(savedQuery(db, "QryPhaseComponents"), {{"pid", phase}});
    ASSERT_FALSE(components.empty());
    EXPECT_EQ(static_cast<long long>(components.size()),
              db.count("SELECT count(*) FROM PhaseComponents WHERE PhaseID = " + std::to_string(phase)));
    for (const auto& row : components)
        EXPECT_EQ(row[0], phase);
}

// ---- generation ------------------------------------------------------------

// A digest of every table: row count and a hash of all values in stored order.
std::map<std::string, std::pair<long long, std::uint64_t>> digest(const fs::path& path)
{
    test::Sql db(path, true);
    std::vector<std::string> tables;
    db.each("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' ORDER BY name",
            [&](const sqlite::Statement& s) { tables.emplace_back(s.text(0)); });
    std::map<std::string, std::pair<long long, std::uint64_t>> out;
    for (const std::string& table : tables) {
        long long rows = 0;
        std::uint64_t h = 1469598103934665603ull;
        auto mix = [&](const void* data, std::size_t n) {
            const auto* p = static_cast<const unsigned char*>(data);
            for (std::size_t i = 0; i < n; ++i)
                h = (h ^ p[i]) * 1099511628211ull;
        };
        db.each("SELECT * FROM \"" + table + "\"", [&](const sqlite::Statement& s) {
            ++rows;
            for (int c = 0; c < s.columnCount(); ++c) {
                const int type = s.type(c);
                mix(&type, sizeof type);
                if (type == SQLITE_FLOAT) {
                    const double d = s.real(c);
                    mix(&d, sizeof d);
                } else if (type != SQLITE_NULL) {
                    const std::string_view text = s.textView(c);
                    mix(text.data(), text.size());
                }
            }
        });
        out[table] = {rows, h};
    }
    return out;
}

TEST(SampleGenerator, TheSameSeedGivesIdenticalTablesAndAnotherSeedDifferentOnes)
{
    test::TempDir dir;
    GenerateSampleDatabase(dir.file("again.db"), SampleOptions{});
    SampleOptions other;
    other.seed = 2;
    GenerateSampleDatabase(dir.file("other.db"), other);

    const auto shared = digest(test::SampleDatabasePath());
    EXPECT_EQ(digest(dir.file("again.db")), shared);
    const auto different = digest(dir.file("other.db"));
    // The plant is the same; the run is not.
    EXPECT_EQ(different.at("EquipmentSummary"), shared.at("EquipmentSummary"));
    EXPECT_EQ(different.at("TextRecipe"), shared.at("TextRecipe"));
    EXPECT_NE(different.at("EquipmentSchedule"), shared.at("EquipmentSchedule"));
    EXPECT_NE(different.at("StreamSummary"), shared.at("StreamSummary"));
    EXPECT_NE(different.at("EquipmentContents"), shared.at("EquipmentContents"));
}

TEST(SampleGenerator, BatchesAndStreamsGrowInProportionToTheScale)
{
    test::TempDir dir;
    SampleOptions two;
    two.scale = 2;
    const SampleSummary summary = GenerateSampleDatabase(dir.file("two.db"), two);
    test::Sql one(test::SampleDatabasePath(), true);
    test::Sql db(dir.file("two.db"), true);
    const long long streams = one.count("SELECT count(*) FROM StreamSummary");
    EXPECT_EQ(db.count("SELECT count(*) FROM StreamSummary"), 2 * streams);
    EXPECT_EQ(summary.streams, 2 * streams);
    EXPECT_EQ(db.count("SELECT min(NumberOfBatches) FROM ProductionPlanSummary"),
              2 * one.count("SELECT min(NumberOfBatches) FROM ProductionPlanSummary"));
    EXPECT_EQ(SampleBatchesPerStep(2), db.count("SELECT max(NumberOfBatches) FROM StepSummary"));
    EXPECT_GE(100 * streams, 1000000) << "--scale 100 must give a million stream rows";
    EXPECT_LE(SampleBatchesPerStep(SampleOptions::kMaxScale), 32767) << "NumberOfBatches is read as a short";
}

TEST(SampleGenerator, RefusesBadScalesAndExistingFiles)
{
    test::TempDir dir;
    for (int scale : {0, -1, SampleOptions::kMaxScale + 1}) {
        SampleOptions o;
        o.scale = scale;
        try {
            GenerateSampleDatabase(dir.file("bad.db"), o);
            ADD_FAILURE() << "scale " << scale << " accepted";
        } catch (const SampleGeneratorError& e) {
            EXPECT_NE(std::string(e.what()).find("scale"), std::string::npos) << e.what();
        }
        EXPECT_FALSE(fs::exists(dir.file("bad.db")));
    }
    {
        std::ofstream(dir.file("taken.db")) << "keep me";
    }
    try {
        GenerateSampleDatabase(dir.file("taken.db"));
        ADD_FAILURE() << "an existing file was overwritten";
    } catch (const SampleGeneratorError& e) {
        EXPECT_NE(std::string(e.what()).find("already exists"), std::string::npos) << e.what();
    }
    EXPECT_EQ(test::ReadFile(dir.file("taken.db")), "keep me");
}

TEST(SampleGenerator, ReportsProgressUpToCompletion)
{
    test::TempDir dir;
    std::vector<double> shares;
    SampleOptions o;
    o.progress = [&](double share) { shares.push_back(share); };
    GenerateSampleDatabase(dir.file("p.db"), o);
    ASSERT_GE(shares.size(), 3u);
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_GE(shares.front(), 0.0);
    EXPECT_EQ(shares.back(), 1.0);
}

// ---- consistency of the simulated run -----------------------------------------

struct ScheduleRow {
    long long equipment, step, batch, op;
    long long start, end; // seconds
    std::string type;
};

std::vector<ScheduleRow> scheduleRows(const test::Sql& db, const char* where = "")
{
    std::vector<ScheduleRow> rows;
    db.each(std::string("SELECT es.EquipmentID, es.StepID, es.BatchNumber, es.OperationID, es.StartTime, es.EndTime, "
                        "tr.OperationName FROM EquipmentSchedule es JOIN TextRecipe tr USING (OperationID) "
                        "JOIN EquipmentSummary e ON e.EquipmentID = es.EquipmentID ") +
                where,
            [&](const sqlite::Statement& s) {
                rows.push_back({s.integer(0), s.integer(1), s.integer(2), s.integer(3), std::llround(s.real(4) * 3600),
                                std::llround(s.real(5) * 3600), s.text(6)});
            });
    return rows;
}

TEST(SampleConsistency, OperationsInOneVesselDoNotOverlapExceptSamplesTakenDuringReactions)
{
    test::Sql db(test::SampleDatabasePath(), true);
    auto rows = scheduleRows(db, "WHERE e.EquipmentType <> 'Continuous'");
    ASSERT_FALSE(rows.empty());
    std::sort(rows.begin(), rows.end(), [](const ScheduleRow& a, const ScheduleRow& b) {
        return std::tie(a.equipment, a.start, a.end) < std::tie(b.equipment, b.start, b.end);
    });
    int designed = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_LT(rows[i].start, rows[i].end) << "operation " << rows[i].op;
        for (std::size_t j = i + 1;
             j < rows.size() && rows[j].equipment == rows[i].equipment && rows[j].start < rows[i].end; ++j) {
            const bool sampleInReaction = (rows[i].type == "React" && rows[j].type == "Sample" &&
                                           rows[i].batch == rows[j].batch && rows[j].end <= rows[i].end);
            EXPECT_TRUE(sampleInReaction) << "equipment " << rows[i].equipment << ": " << rows[i].type << " (op "
                                          << rows[i].op << ", batch " << rows[i].batch << ") overlaps " << rows[j].type
                                          << " (op " << rows[j].op << ", batch " << rows[j].batch << ")";
            designed += sampleInReaction;
        }
    }
    EXPECT_GT(designed, 0) << "the parallel sampling operations are part of the design";

    // The continuous condenser serves two reactors and may run for both at once.
    auto condenser = scheduleRows(db, "WHERE e.EquipmentType = 'Continuous' ORDER BY es.StartTime");
    int parallel = 0;
    for (std::size_t i = 1; i < condenser.size(); ++i)
        parallel += condenser[i].start < condenser[i - 1].end;
    EXPECT_GT(parallel, 0);
}

TEST(SampleConsistency, PhaseAndComponentFractionsSumToOne)
{
    test::Sql db(test::SampleDatabasePath(), true);
    for (const char* owner : {"ContentsID", "StreamID", "UtilityID", "AirEmissionID", "CompositeContentsID"}) {
        SCOPED_TRACE(owner);
        const std::string o = owner;
        EXPECT_GT(db.count("SELECT count(*) FROM ThermodynamicPhase WHERE " + o + " IS NOT NULL"), 0);
        EXPECT_EQ(db.count("SELECT count(*) FROM (SELECT " + o + " FROM ThermodynamicPhase WHERE " + o +
                           " IS NOT NULL GROUP BY " + o +
                           " HAVING abs(sum(MassPhaseFraction) - 1) > 1e-9 OR abs(sum(MolarPhaseFraction) - 1) > 1e-9"
                           " OR abs(sum(VolumePhaseFraction) - 1) > 1e-9)"),
                  0);
    }
    EXPECT_EQ(db.count("SELECT count(*) FROM ThermodynamicPhase WHERE (ContentsID IS NOT NULL) + (StreamID IS NOT NULL)"
                       " + (UtilityID IS NOT NULL) + (AirEmissionID IS NOT NULL) + (CompositeContentsID IS NOT NULL)"
                       " <> 1"),
              0)
        << "every phase has exactly one owner";
    EXPECT_EQ(db.count("SELECT count(*) FROM (SELECT PhaseID FROM PhaseComponents GROUP BY PhaseID HAVING "
                       "abs(sum(MassFraction) - 1) > 1e-9 OR abs(sum(MoleFraction) - 1) > 1e-9 OR "
                       "abs(sum(VolumeFraction) - 1) > 1e-9)"),
              0);
    EXPECT_EQ(db.count("SELECT count(*) FROM ThermodynamicPhase tp WHERE NOT EXISTS "
                       "(SELECT 1 FROM PhaseComponents pc WHERE pc.PhaseID = tp.PhaseID)"),
              0);
    EXPECT_EQ(db.count("SELECT count(*) FROM PhaseComponents WHERE MassFraction NOT BETWEEN 0 AND 1 OR MoleFraction "
                       "NOT BETWEEN 0 AND 1 OR VolumeFraction NOT BETWEEN 0 AND 1"),
              0);
}

TEST(SampleConsistency, VolumesStayWithinCapacityExceptTheOneOverflowBatch)
{
    test::Sql db(test::SampleDatabasePath(), true);
    const std::string over = std::string("FROM EquipmentContents c JOIN EquipmentSummary e USING (EquipmentID) "
                                         "WHERE c.Volume > ") +
                             kCapacityLiters;
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentSummary e WHERE " + std::string(kCapacityLiters) + " IS NULL"), 0)
        << "every capacity unit is one the check knows";
    ASSERT_EQ(db.count("SELECT count(*) " + over), 1);
    EXPECT_EQ(db.text("SELECT e.QLTag || ' step ' || c.StepID || ' batch ' || c.BatchNumber " + over),
              "R-103 step 2 batch 3");
    // Apart from that batch, vessels stay within their fill limits.
    EXPECT_EQ(db.count(std::string("SELECT count(*) FROM EquipmentContents c JOIN EquipmentSummary e USING "
                                   "(EquipmentID) WHERE c.Volume > e.MaxFillFactor * ") +
                       kCapacityLiters + " AND NOT (c.StepID = 2 AND c.BatchNumber = 3)"),
              0);
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentContents WHERE Volume < 0 OR Mass < 0 OR Moles < 0"), 0);
}

TEST(SampleConsistency, EveryEquipmentReferenceExistsOrIsNull)
{
    test::Sql db(test::SampleDatabasePath(), true);
    const std::vector<std::pair<std::string, std::string>> refs = {
        {"StreamSummary", "FromEquipmentID"},      {"StreamSummary", "ToEquipmentID"},
        {"AirEmissionSummary", "FromEquipmentID"}, {"AirEmissionSummary", "ToEquipmentID"},
        {"UtilitySummary", "EquipmentID"},         {"EquipmentSchedule", "EquipmentID"},
        {"EquipmentContents", "EquipmentID"},      {"CompositeContents", "EquipmentID"},
        {"LaborSummary", "EquipmentID"},           {"StepSummary", "TimeLimitingEquipmentID"}};
    for (const auto& [table, column] : refs) {
        EXPECT_EQ(db.count("SELECT count(*) FROM " + table + " t WHERE t." + column +
                           " IS NOT NULL AND NOT EXISTS (SELECT 1 FROM EquipmentSummary e WHERE e.EquipmentID = t." +
                           column + ")"),
                  0)
            << table << "." << column;
    }
    for (const char* rows :
         {// No stream comes from and goes to outside the plant.
          "StreamSummary WHERE FromEquipmentID IS NULL AND ToEquipmentID IS NULL",
          "StreamSummary ss WHERE NOT EXISTS (SELECT 1 FROM TextRecipe tr WHERE tr.OperationID = ss.OperationID "
          "AND tr.StepID = ss.StepID AND tr.UnitProcedureID = ss.UnitProcedureID)",
          "EquipmentSummary e WHERE CalendarID IS NOT NULL AND NOT EXISTS (SELECT 1 FROM Calendars c WHERE "
          "c.CalendarID = e.CalendarID)",
          "StepSummary s WHERE KeyOutputIntermediateID IS NOT NULL AND NOT EXISTS (SELECT 1 FROM PureComponents p "
          "WHERE p.MaterialID = s.KeyOutputIntermediateID)"}) {
        EXPECT_EQ(db.count(std::string("SELECT count(*) FROM ") + rows), 0) << rows;
    }
}

TEST(SampleConsistency, VesselContentsFollowWhatFlowsInAndOut)
{
    test::Sql db(test::SampleDatabasePath(), true);
    // Mass changes of every vessel: streams and vapor emissions, at the end of their interval.
    std::map<long long, std::vector<std::pair<long long, double>>> flows; // equipment → (second, kg)
    auto collect = [&](const std::string& table, double secondsPerUnit) {
        db.each("SELECT FromEquipmentID, ToEquipmentID, EndTime, Mass FROM " + table, [&](const sqlite::Statement& s) {
            const long long at = std::llround(s.real(2) * secondsPerUnit);
            const double kg = s.real(3);
            if (!s.isNull(0)) flows[s.integer(0)].emplace_back(at, -kg);
            if (!s.isNull(1)) flows[s.integer(1)].emplace_back(at, kg);
        });
    };
    collect("StreamSummary", 60.0);
    collect("AirEmissionSummary", 60.0);
    for (auto& [equipment, list] : flows)
        std::sort(list.begin(), list.end());

    auto check = [&](const std::string& sql, double secondsPerUnit) {
        long long checked = 0;
        std::map<long long, std::pair<std::size_t, double>> cursor; // equipment → (next flow, running mass)
        std::map<long long, double> throughput;
        db.each(sql, [&](const sqlite::Statement& s) {
            const long long e = s.integer(0);
            const long long at = std::llround(s.real(1) * secondsPerUnit);
            const double mass = s.real(2);
            auto& [next, running] = cursor[e];
            const auto& list = flows[e];
            for (; next < list.size() && list[next].first <= at; ++next) {
                running += list[next].second;
                throughput[e] += std::abs(list[next].second);
            }
            ASSERT_NEAR(mass, running, 1e-6 * (1.0 + throughput[e])) << "equipment " << e << " at " << at << " s";
            ++checked;
        });
        return checked;
    };
    EXPECT_GT(check("SELECT c.EquipmentID, c.Time, c.Mass FROM EquipmentContents c JOIN EquipmentSummary e USING "
                    "(EquipmentID) WHERE e.EquipmentType <> 'Continuous' ORDER BY c.EquipmentID, c.Time, c.ContentsID",
                    60.0),
              1000);
    // Buffer tanks, with or without operations of their own, through their composite records.
    EXPECT_GT(check("SELECT EquipmentID, Time, Mass FROM CompositeContents ORDER BY EquipmentID, Time, "
                    "CompositeContentsID",
                    3600.0),
              100);
    // The condenser holds nothing between operations: what comes in goes out.
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentContents c JOIN EquipmentSummary e USING (EquipmentID) WHERE "
                       "e.EquipmentType = 'Continuous' AND c.Mass <> 0"),
              0);
}

TEST(SampleConsistency, RowsOfOneOperationAgreeOnItsIntervalWhateverTheirTimeUnits)
{
    test::Sql db(test::SampleDatabasePath(), true);
    std::map<std::tuple<long long, long long, long long>, std::pair<long long, long long>> ops;
    for (const ScheduleRow& r : scheduleRows(db))
        ops[{r.op, r.batch, r.step}] = {r.start, r.end};
    auto check = [&](const std::string& table, const char* start, const char* end, const char* unit,
                     double secondsPerUnit, bool endOnly = false) {
        SCOPED_TRACE(table);
        long long rows = 0;
        db.each(std::string("SELECT OperationID, BatchNumber, StepID, ") + start + ", " + end + ", " + unit + " FROM " +
                    table,
                [&](const sqlite::Statement& s) {
                    ++rows;
                    const auto found = ops.find({s.integer(0), s.integer(1), s.integer(2)});
                    ASSERT_NE(found, ops.end()) << "row " << rows << " has no scheduled operation";
                    if (!endOnly) {
                        EXPECT_EQ(std::llround(s.real(3) * secondsPerUnit), found->second.first);
                    }
                    EXPECT_EQ(std::llround(s.real(4) * secondsPerUnit), found->second.second);
                    EXPECT_NE(s.text(5), "");
                });
        EXPECT_GT(rows, 0);
    };
    check("StreamSummary", "StartTime", "EndTime", "EndTimeUOM", 60.0);
    check("AirEmissionSummary", "StartTime", "EndTime", "EndTimeUOM", 60.0);
    check("UtilitySummary", "StartTime", "EndTime", "EndTimeUOM", 1.0);
    check("LaborSummary", "StartTime", "EndTime", "EndTimeUOM", 3600.0);
    check("EquipmentContents", "Time", "Time", "TimeUOM", 60.0, true); // contents are reported at the end
    for (const char* table : {"StreamSummary", "AirEmissionSummary", "UtilitySummary"}) {
        EXPECT_EQ(db.count(std::string("SELECT count(*) FROM ") + table + " WHERE StartTimeUOM <> EndTimeUOM"), 0)
            << table;
    }
    std::set<std::string> units;
    for (const char* sql : {"SELECT DISTINCT TimeUOM FROM EquipmentSchedule",
                            "SELECT DISTINCT EndTimeUOM FROM "
                            "StreamSummary",
                            "SELECT DISTINCT EndTimeUOM FROM UtilitySummary",
                            "SELECT DISTINCT EndTimeUOM FROM "
                            "LaborSummary"}) {
        db.each(sql, [&](const sqlite::Statement& s) { units.insert(s.text(0)); });
    }
    EXPECT_GE(units.size(), 3u) << "the tables use different time units";
}

TEST(SampleConsistency, PlanAndStepDatesParseAndStartWithThePlan)
{
    test::Sql db(test::SampleDatabasePath(), true);
    const COleDateTime start = COleDateTime::FromIso(CString(db.text("SELECT StartDateTime FROM PPlan").c_str()));
    ASSERT_EQ(start.GetStatus(), COleDateTime::valid);
    EXPECT_EQ(db.count("SELECT min(StartTime) FROM EquipmentSchedule"), 0) << "the first batch starts the plan";
    EXPECT_EQ(db.count("SELECT count(*) FROM StepSummary WHERE StartDateTime IS NULL"), 1);
    db.each("SELECT StartDateTime, SimulationDateTime, StepID FROM StepSummary", [&](const sqlite::Statement& s) {
        if (!s.isNull(0)) {
            const COleDateTime stepStart = COleDateTime::FromIso(CString(s.textView(0)));
            ASSERT_EQ(stepStart.GetStatus(), COleDateTime::valid);
            EXPECT_GE(stepStart, start);
            // The step's first operation begins at that moment.
            const double hours = (stepStart - start).GetTotalHours();
            const double first = 0.0 + db.count("SELECT round(min(StartTime) * 60) FROM EquipmentSchedule WHERE "
                                                "StepID = " +
                                                std::to_string(s.integer(2)));
            EXPECT_NEAR(hours * 60.0, first, 1e-3);
        }
        const COleDateTime simulated = COleDateTime::FromIso(CString(s.textView(1)));
        ASSERT_EQ(simulated.GetStatus(), COleDateTime::valid);
        EXPECT_LT(simulated, start) << "the simulation ran before the plan starts";
    });
}

// ---- what the sample contains ------------------------------------------------------------

TEST(SampleContents, HasTheEquipmentAndTheCasesTheViewsTreatApart)
{
    test::Sql db(test::SampleDatabasePath(), true);
    EXPECT_EQ(db.count("SELECT count(*) FROM FacilitySummary"), 2);
    db.each("SELECT PlantID, count(*) FROM EquipmentSummary GROUP BY PlantID", [](const sqlite::Statement& s) {
        EXPECT_GE(s.integer(1), 10);
        EXPECT_LE(s.integer(1), 20);
    });
    for (const char* category : {"Reactor", "Crystallizer", "Nutsche Filter", "Tray Dryer", "Storage Tank",
                                 "Blending Tank", "Inventory Location"}) {
        EXPECT_GT(db.count(std::string("SELECT count(*) FROM EquipmentSummary WHERE Category = '") + category + "'"), 0)
            << category;
    }
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentSummary WHERE Category = 'Inventory Location - Vapor'"), 1);
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentSummary WHERE EquipmentType = 'Continuous'"), 1);
    EXPECT_GT(db.count("SELECT count(*) FROM EquipmentContents c JOIN EquipmentSummary e USING (EquipmentID) "
                       "WHERE e.EquipmentType = 'Continuous'"),
              0)
        << "continuous equipment has contents rows for the queries to leave out";
    EXPECT_EQ(db.count("SELECT count(DISTINCT CapacityUOM) FROM EquipmentSummary WHERE CapacityUOM IN ('liter', "
                       "'gal', 'Cubic m')"),
              3);
    // Buffer tanks: one with operations of its own, one without; both have composite records.
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentSummary e WHERE Category = 'Buffer Tank' AND EXISTS (SELECT 1 "
                       "FROM EquipmentSchedule s WHERE s.EquipmentID = e.EquipmentID)"),
              1);
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentSummary e WHERE Category = 'Buffer Tank' AND NOT EXISTS "
                       "(SELECT 1 FROM EquipmentSchedule s WHERE s.EquipmentID = e.EquipmentID)"),
              1);
    EXPECT_EQ(db.count("SELECT count(DISTINCT c.EquipmentID) FROM CompositeContents c JOIN EquipmentSummary e USING "
                       "(EquipmentID) WHERE e.Category = 'Buffer Tank'"),
              2);

    const long long steps = db.count("SELECT count(*) FROM StepSummary");
    EXPECT_GE(steps, 3);
    EXPECT_LE(steps, 5);
    EXPECT_EQ(db.count("SELECT count(*) FROM StepSummary WHERE StepVersionName IS NULL OR StepVersionName = '' OR "
                       "KeyOutputIntermediateID IS NULL OR NumberOfBatches < 2"),
              0);
    EXPECT_EQ(db.count("SELECT count(*) FROM StepSummary s JOIN ProductionPlanSummary p USING (StepID) WHERE "
                       "p.NumberOfBatches = s.NumberOfBatches"),
              steps);
    for (const char* op : {"Charge", "Heat", "React", "Cool", "Transfer", "Filter", "Dry", "CIP"}) {
        EXPECT_GT(db.count(std::string("SELECT count(*) FROM TextRecipe WHERE OperationName = '") + op + "'"), 0) << op;
    }
    EXPECT_EQ(db.count("SELECT count(*) FROM TextRecipe WHERE RecipeText IS NULL OR RecipeText = ''"), 0);

    // Cases the views treat apart, each of which the sample must hold.
    for (const char* rows :
         {// Streams: between vessels, from outside, to outside, cleaning rows and without phase records.
          "StreamSummary ss JOIN EquipmentSummary f ON f.EquipmentID = ss.FromEquipmentID JOIN EquipmentSummary t "
          "ON t.EquipmentID = ss.ToEquipmentID WHERE f.EquipmentType = 'Batch' AND t.EquipmentType = 'Batch'",
          "StreamSummary WHERE FromEquipmentID IS NULL", "StreamSummary WHERE ToEquipmentID IS NULL",
          "StreamSummary WHERE StreamCategoryID = -5",
          "StreamSummary ss WHERE NOT EXISTS (SELECT 1 FROM ThermodynamicPhase tp WHERE tp.StreamID = ss.StreamID)",
          // Utilities with heat duty (both signs), some without equipment.
          "UtilitySummary WHERE UtilityName = 'Steam' AND HeatDuty > 0",
          "UtilitySummary WHERE UtilityName = 'Cooling Water' AND HeatDuty < 0",
          "UtilitySummary WHERE EquipmentID IS NULL",
          // Vapor: zero-mass rows, rows after the condenser and rows with another control.
          "AirEmissionSummary WHERE Mass = 0",
          "AirEmissionSummary WHERE AirEmissionControl = 'After Condenser' AND Mass > 0",
          "AirEmissionSummary WHERE AirEmissionControl <> 'After Condenser' AND Mass > 0",
          // Labor: fractional operator counts and a grade without a category row.
          "LaborSummary WHERE NumberOfOperators <> round(NumberOfOperators)",
          "LaborSummary l WHERE NOT EXISTS (SELECT 1 FROM LaborCategory c WHERE c.LaborGradeID = l.LaborGradeID)",
          // Operations without a contents record, and contents with a gas phase.
          "EquipmentSchedule s WHERE NOT EXISTS (SELECT 1 FROM EquipmentContents c WHERE c.EquipmentID = "
          "s.EquipmentID AND c.BatchNumber = s.BatchNumber AND c.OperationID = s.OperationID AND c.StepID = "
          "s.StepID)",
          "ThermodynamicPhase WHERE ContentsID IS NOT NULL AND Phase = 'gas'",
          "EquipmentContents WHERE Mass > 0 AND AverageDensity > 0"}) {
        EXPECT_GT(db.count(std::string("SELECT count(*) FROM ") + rows), 0) << rows;
    }
    // Zero-mass vapor has no phases; an empty vessel has no average properties.
    EXPECT_EQ(db.count("SELECT count(*) FROM AirEmissionSummary a JOIN ThermodynamicPhase tp USING (AirEmissionID) "
                       "WHERE a.Mass = 0"),
              0);
    EXPECT_EQ(db.count("SELECT count(*) FROM EquipmentContents WHERE Mass = 0 AND AverageMolecularWeight IS NOT NULL"),
              0);
}

TEST(SampleContents, CalendarsHaveWeeklyShiftsDatedExceptionsAndAnOvernightShift)
{
    test::Sql db(test::SampleDatabasePath(), true);
    EXPECT_GE(db.count("SELECT count(*) FROM Calendars"), 2);
    EXPECT_GT(db.count("SELECT count(*) FROM CalendarWeekShifts WHERE EndSecond <= StartSecond"), 0);
    EXPECT_GT(db.count("SELECT count(*) FROM CalendarExceptions x WHERE NOT EXISTS (SELECT 1 FROM "
                       "CalendarExceptionShifts s WHERE s.CalendarID = x.CalendarID AND s.ExceptionDate = "
                       "x.ExceptionDate)"),
              0)
        << "a day off";
    EXPECT_GT(db.count("SELECT count(DISTINCT ExceptionDate) FROM CalendarExceptionShifts"), 0) << "a changed day";
    EXPECT_GE(db.count("SELECT count(DISTINCT CalendarID) FROM EquipmentSummary"), 2);
    EXPECT_GT(db.count("SELECT count(*) FROM EquipmentSummary WHERE CalendarID IS NULL"), 0);
    // The exceptions fall within the campaign.
    const std::string first = db.text("SELECT substr(StartDateTime, 1, 10) FROM PPlan");
    EXPECT_EQ(db.count("SELECT count(*) FROM CalendarExceptions WHERE ExceptionDate < '" + first + "'"), 0);
    EXPECT_GT(db.count("SELECT max(EndTime) / 24 FROM EquipmentSchedule"), 50);
}

// ---- the command ------------------------------------------------------------

TEST(SampleCommand, WritesTheGeneratorsFileAndReplacesItWithForce)
{
    test::TempDir dir;
    const std::string cli = BATCHPLANT_CLI;
    const fs::path out = dir.file("run.db");
    auto r = test::runCommand(cli + " sample " + out.string());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("streams"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("100%"), std::string::npos) << "progress on stderr: " << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << "no in-place updates when stderr is not a terminal";
    EXPECT_EQ(digest(out), digest(test::SampleDatabasePath()));

    r = test::runCommand(cli + " sample " + out.string() + " --seed 3 --force");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(digest(out).at("StreamSummary"), digest(test::SampleDatabasePath()).at("StreamSummary"));
}

} // namespace
} // namespace batchplant

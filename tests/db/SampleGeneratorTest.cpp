// The sample results database: schema, saved queries, determinism, and the
// physical consistency of the simulated campaign.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "ResultsDb.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/platform/COleDateTime.h"
#include "db/Sqlite.h"
#include "sample/SampleGenerator.h"

namespace batchplant {
namespace {

namespace fs = std::filesystem;

const test::Sql& sample()
{
    static const test::Sql db(test::SampleDatabasePath(), true);
    return db;
}

// Capacity in liters, from the units the sample uses.
constexpr const char* kCapacityLiters =
    "(e.Capacity * CASE e.CapacityUOM WHEN 'liter' THEN 1.0 WHEN 'gal' THEN 3.785411 WHEN 'Cubic m' THEN 1000.0 END)";

TEST(SampleDatabase, PassesTheIntegrityChecksAndFillsEveryTable)
{
    const test::Sql& db = sample();
    EXPECT_EQ(db.text("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(db.text("PRAGMA foreign_key_check"), "");
    std::vector<std::string> tables;
    db.each("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%'",
            [&](const sqlite::Statement& s) { tables.push_back(s.text(0)); });
    EXPECT_GE(tables.size(), 22u);
    for (const std::string& table : tables)
        EXPECT_GT(db.count("SELECT count(*) FROM \"" + table + "\""), 0) << table;
}

// Each saved query run with its parameters bound gives exactly the rows of the owner asked for.
TEST(SampleDatabase, SavedQueriesDeliverThePhasesAndComponentsAskedFor)
{
    const test::Sql& db = sample();
    EXPECT_EQ(db.text("SELECT Parameters FROM SavedQueries WHERE Name = 'qrythermodynamicphase1'"),
              "sid Long, CompositeID Long, aid Long")
        << "names are looked up without regard to case";
    auto run = [&](const char* query, const std::map<std::string, long long>& params) {
        std::string sql = db.text(std::string("SELECT SqlText FROM SavedQueries WHERE Name = '") + query + "'");
        for (const auto& [name, value] : params)
            for (std::size_t at; (at = sql.find("[" + name + "]")) != std::string::npos;)
                sql.replace(at, name.size() + 2, std::to_string(value));
        std::vector<std::pair<long long, long long>> rows;
        db.each(sql.substr(0, sql.find_last_not_of(';') + 1),
                [&](const sqlite::Statement& s) { rows.emplace_back(s.integer(0), s.integer(1)); });
        return rows;
    };
    const std::map<std::string, long long> none = {{"sid", 0}, {"CompositeID", 0}, {"aid", 0}};
    EXPECT_TRUE(run("QryThermodynamicPhase1", none).empty())
        << "zero parameters select nothing, not the phases whose owner column is unset";
    for (const char* owner : {"CompositeContentsID", "StreamID", "AirEmissionID"}) {
        SCOPED_TRACE(owner);
        const std::string o = owner;
        const long long id = db.count("SELECT max(" + o + ") FROM ThermodynamicPhase");
        auto params = none;
        params[o == "StreamID" ? "sid" : o == "AirEmissionID" ? "aid" : "CompositeID"] = id;
        const auto phases = run("QryThermodynamicPhase1", params);
        EXPECT_EQ(static_cast<long long>(phases.size()),
                  db.count("SELECT count(*) FROM ThermodynamicPhase WHERE " + o + " = " + std::to_string(id)));
        ASSERT_FALSE(phases.empty());
        const long long phase = phases.front().first;
        const auto components = run("QryPhaseComponents", {{"pid", phase}});
        EXPECT_EQ(static_cast<long long>(components.size()),
                  db.count("SELECT count(*) FROM PhaseComponents WHERE PhaseID = " + std::to_string(phase)));
        for (const auto& row : components)
            EXPECT_EQ(row.first, phase);
    }
}

// ---- generation ------------------------------------------------------------

// A digest of every table: row count and a hash of all values in stored order.
std::map<std::string, std::pair<long long, std::uint64_t>> digest(const fs::path& path)
{
    test::Sql db(path, true);
    std::map<std::string, std::pair<long long, std::uint64_t>> out;
    db.each("SELECT name FROM sqlite_master WHERE type = 'table'", [&](const sqlite::Statement& t) {
        auto& [rows, h] = out[t.text(0)];
        h = 1469598103934665603ull;
        auto mix = [&h](const void* data, std::size_t n) {
            for (std::size_t i = 0; i < n; ++i)
                h = (h ^ static_cast<const unsigned char*>(data)[i]) * 1099511628211ull;
        };
        db.each("SELECT * FROM \"" + t.text(0) + "\"", [&](const sqlite::Statement& s) {
            ++rows;
            for (int c = 0; c < s.columnCount(); ++c) {
                const int type = s.type(c);
                const double d = type == SQLITE_FLOAT ? s.real(c) : 0.0;
                const std::string_view text = type == SQLITE_NULL ? std::string_view() : s.textView(c);
                mix(&type, sizeof type);
                type == SQLITE_FLOAT ? mix(&d, sizeof d) : mix(text.data(), text.size());
            }
        });
    });
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
    for (const char* same : {"EquipmentSummary", "TextRecipe"})
        EXPECT_EQ(different.at(same), shared.at(same)) << same;
    for (const char* changed : {"EquipmentSchedule", "StreamSummary", "EquipmentContents"})
        EXPECT_NE(different.at(changed), shared.at(changed)) << changed;
}

TEST(SampleGenerator, BatchesAndStreamsGrowInProportionToTheScaleAndProgressIsReported)
{
    test::TempDir dir;
    SampleOptions two;
    two.scale = 2;
    std::vector<double> shares;
    two.progress = [&](double share) { shares.push_back(share); };
    const SampleSummary summary = GenerateSampleDatabase(dir.file("two.db"), two);
    test::Sql db(dir.file("two.db"), true);
    const long long streams = sample().count("SELECT count(*) FROM StreamSummary");
    EXPECT_EQ(db.count("SELECT count(*) FROM StreamSummary"), 2 * streams);
    EXPECT_EQ(summary.streams, 2 * streams);
    EXPECT_EQ(db.count("SELECT min(NumberOfBatches) FROM ProductionPlanSummary"),
              2 * sample().count("SELECT min(NumberOfBatches) FROM ProductionPlanSummary"));
    EXPECT_EQ(SampleBatchesPerStep(2), db.count("SELECT max(NumberOfBatches) FROM StepSummary"));
    EXPECT_GE(100 * streams, 1000000) << "--scale 100 must give a million stream rows";
    EXPECT_LE(SampleBatchesPerStep(SampleOptions::kMaxScale), 32767) << "NumberOfBatches is read as a short";
    ASSERT_GE(shares.size(), 3u);
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_GE(shares.front(), 0.0);
    EXPECT_EQ(shares.back(), 1.0);
}

TEST(SampleGenerator, RefusesBadScalesAndExistingFiles)
{
    test::TempDir dir;
    std::ofstream(dir.file("taken.db")) << "keep me";
    for (const auto& [scale, file, why] :
         {std::tuple{0, "bad.db", "scale"}, std::tuple{-1, "bad.db", "scale"},
          std::tuple{SampleOptions::kMaxScale + 1, "bad.db", "scale"}, std::tuple{1, "taken.db", "already exists"}}) {
        SampleOptions o;
        o.scale = scale;
        try {
            GenerateSampleDatabase(dir.file(file), o);
            ADD_FAILURE() << "scale " << scale << " into " << file << " accepted";
        } catch (const SampleGeneratorError& e) {
            EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
        }
    }
    EXPECT_FALSE(fs::exists(dir.file("bad.db")));
    EXPECT_EQ(test::ReadFile(dir.file("taken.db")), "keep me");
}

// ---- consistency of the simulated run -----------------------------------------

// What the sample must hold: for each query, the range its number falls in. A
// text without SELECT counts its rows.
TEST(SampleConsistency, CountsFallInTheirRanges)
{
    constexpr long long many = LLONG_MAX;
    const std::string liters = kCapacityLiters;
    const std::string fractionsOff =
        " HAVING abs(sum(MassPhaseFraction) - 1) > 1e-9 OR "
        "abs(sum(MolarPhaseFraction) - 1) > 1e-9 OR abs(sum(VolumePhaseFraction) - 1) > 1e-9)";
    auto ownerFractionsOff = [&](const std::string& o) {
        return "(SELECT 1 FROM ThermodynamicPhase WHERE " + o + " IS NOT NULL GROUP BY " + o + fractionsOff;
    };
    auto dangling = [](const std::string& table, const std::string& column) {
        return table + " t WHERE " + column + " IS NOT NULL AND NOT EXISTS (SELECT 1 FROM EquipmentSummary e WHERE " +
               "e.EquipmentID = t." + column + ")";
    };
    const std::tuple<std::string, long long, long long> counts[] = {
        // Phase fractions sum to one per owner, every phase has one owner and components summing to one.
        {ownerFractionsOff("ContentsID"), 0, 0},
        {ownerFractionsOff("StreamID"), 0, 0},
        {ownerFractionsOff("UtilityID"), 0, 0},
        {ownerFractionsOff("AirEmissionID"), 0, 0},
        {ownerFractionsOff("CompositeContentsID"), 0, 0},
        {"ThermodynamicPhase WHERE (ContentsID IS NOT NULL) + (StreamID IS NOT NULL) + (UtilityID IS NOT NULL) + "
         "(AirEmissionID IS NOT NULL) + (CompositeContentsID IS NOT NULL) <> 1",
         0, 0},
        {"(SELECT 1 FROM PhaseComponents GROUP BY PhaseID HAVING abs(sum(MassFraction) - 1) > 1e-9 OR "
         "abs(sum(MoleFraction) - 1) > 1e-9 OR abs(sum(VolumeFraction) - 1) > 1e-9)",
         0, 0},
        {"ThermodynamicPhase tp WHERE NOT EXISTS (SELECT 1 FROM PhaseComponents pc WHERE pc.PhaseID = tp.PhaseID)", 0,
         0},
        {"PhaseComponents WHERE MassFraction NOT BETWEEN 0 AND 1 OR MoleFraction NOT BETWEEN 0 AND 1 OR "
         "VolumeFraction NOT BETWEEN 0 AND 1",
         0, 0},
        // Volumes: every capacity unit known, one designed overflow, fill limits kept otherwise.
        {"EquipmentSummary e WHERE " + liters + " IS NULL", 0, 0},
        {"EquipmentContents c JOIN EquipmentSummary e USING (EquipmentID) WHERE c.Volume > " + liters +
             " AND e.QLTag = 'R-103' AND c.StepID = 2 AND c.BatchNumber = 3",
         1, 1},
        {"EquipmentContents c JOIN EquipmentSummary e USING (EquipmentID) WHERE c.Volume > e.MaxFillFactor * " +
             liters + " AND NOT (c.StepID = 2 AND c.BatchNumber = 3)",
         0, 0},
        {"EquipmentContents WHERE Volume < 0 OR Mass < 0 OR Moles < 0", 0, 0},
        // References resolve or are null.
        {dangling("StreamSummary", "FromEquipmentID"), 0, 0},
        {dangling("StreamSummary", "ToEquipmentID"), 0, 0},
        {dangling("AirEmissionSummary", "FromEquipmentID"), 0, 0},
        {dangling("AirEmissionSummary", "ToEquipmentID"), 0, 0},
        {dangling("UtilitySummary", "EquipmentID"), 0, 0},
        {dangling("EquipmentSchedule", "EquipmentID"), 0, 0},
        {dangling("EquipmentContents", "EquipmentID"), 0, 0},
        {dangling("CompositeContents", "EquipmentID"), 0, 0},
        {dangling("LaborSummary", "EquipmentID"), 0, 0},
        {dangling("StepSummary", "TimeLimitingEquipmentID"), 0, 0},
        {"StreamSummary WHERE FromEquipmentID IS NULL AND ToEquipmentID IS NULL", 0, 0},
        {"StreamSummary ss WHERE NOT EXISTS (SELECT 1 FROM TextRecipe tr WHERE tr.OperationID = ss.OperationID AND "
         "tr.StepID = ss.StepID AND tr.UnitProcedureID = ss.UnitProcedureID)",
         0, 0},
        {"EquipmentSummary e WHERE CalendarID IS NOT NULL AND NOT EXISTS (SELECT 1 FROM Calendars c WHERE "
         "c.CalendarID = e.CalendarID)",
         0, 0},
        {"StepSummary s WHERE KeyOutputIntermediateID IS NOT NULL AND NOT EXISTS (SELECT 1 FROM PureComponents p "
         "WHERE p.MaterialID = s.KeyOutputIntermediateID)",
         0, 0},
        // The cycle time is the mean gap between batch starts.
        {"StepSummary s WHERE coalesce(abs(AverageCycleTime - (SELECT (max(b) - min(b)) / (count(*) - 1) FROM "
         "(SELECT min(StartTime) AS b FROM EquipmentSchedule es WHERE es.StepID = s.StepID GROUP BY BatchNumber)))"
         " < 1e-9, 0) = 0",
         0, 0},
        // The plant: two plants of 10 to 20 pieces, with the categories and cases the views treat apart.
        {"FacilitySummary", 2, 2},
        {"SELECT min(n) FROM (SELECT count(*) AS n FROM EquipmentSummary GROUP BY PlantID)", 10, 20},
        {"SELECT max(n) FROM (SELECT count(*) AS n FROM EquipmentSummary GROUP BY PlantID)", 10, 20},
        {"SELECT count(DISTINCT Category) FROM EquipmentSummary WHERE Category IN ('Reactor', 'Crystallizer', "
         "'Nutsche Filter', 'Tray Dryer', 'Storage Tank', 'Blending Tank', 'Inventory Location')",
         7, 7},
        {"EquipmentSummary WHERE Category = 'Inventory Location - Vapor'", 1, 1},
        {"EquipmentSummary WHERE EquipmentType = 'Continuous'", 1, 1},
        {"EquipmentContents c JOIN EquipmentSummary e USING (EquipmentID) WHERE e.EquipmentType = 'Continuous'", 1,
         many},
        {"EquipmentContents c JOIN EquipmentSummary e USING (EquipmentID) WHERE e.EquipmentType = 'Continuous' AND "
         "c.Mass <> 0",
         0, 0},
        {"SELECT count(DISTINCT CapacityUOM) FROM EquipmentSummary WHERE CapacityUOM IN ('liter', 'gal', 'Cubic m')", 3,
         3},
        // Buffer tanks: one with operations of its own, one without; both have composite records.
        {"EquipmentSummary e WHERE Category = 'Buffer Tank' AND EXISTS (SELECT 1 FROM EquipmentSchedule s WHERE "
         "s.EquipmentID = e.EquipmentID)",
         1, 1},
        {"SELECT count(*) FROM EquipmentSummary WHERE Category = 'Buffer Tank'", 2, 2},
        {"SELECT count(DISTINCT c.EquipmentID) FROM CompositeContents c JOIN EquipmentSummary e USING (EquipmentID) "
         "WHERE e.Category = 'Buffer Tank'",
         2, 2},
        // Steps and recipes.
        {"StepSummary", 3, 5},
        {"StepSummary WHERE StepVersionName IS NULL OR StepVersionName = '' OR KeyOutputIntermediateID IS NULL OR "
         "NumberOfBatches < 2",
         0, 0},
        {"StepSummary s LEFT JOIN ProductionPlanSummary p USING (StepID) WHERE p.NumberOfBatches IS NOT "
         "s.NumberOfBatches",
         0, 0},
        {"SELECT count(DISTINCT OperationName) FROM TextRecipe WHERE OperationName IN ('Charge', 'Heat', 'React', "
         "'Cool', 'Transfer', 'Filter', 'Dry', 'CIP')",
         8, 8},
        {"TextRecipe WHERE RecipeText IS NULL OR RecipeText = ''", 0, 0},
        // Streams between vessels, from and to outside, cleaning, without phases.
        {"StreamSummary ss JOIN EquipmentSummary f ON f.EquipmentID = ss.FromEquipmentID JOIN EquipmentSummary t ON "
         "t.EquipmentID = ss.ToEquipmentID WHERE f.EquipmentType = 'Batch' AND t.EquipmentType = 'Batch'",
         1, many},
        {"StreamSummary WHERE FromEquipmentID IS NULL", 1, many},
        {"StreamSummary WHERE ToEquipmentID IS NULL", 1, many},
        {"StreamSummary WHERE StreamCategoryID = -5", 1, many},
        {"StreamSummary ss WHERE NOT EXISTS (SELECT 1 FROM ThermodynamicPhase tp WHERE tp.StreamID = ss.StreamID)", 1,
         many},
        // Utilities of both signs, some without equipment; vapor of mass 0, after the condenser and not.
        {"UtilitySummary WHERE UtilityName = 'Steam' AND HeatDuty > 0", 1, many},
        {"UtilitySummary WHERE UtilityName = 'Cooling Water' AND HeatDuty < 0", 1, many},
        {"UtilitySummary WHERE EquipmentID IS NULL", 1, many},
        {"AirEmissionSummary WHERE Mass = 0", 1, many},
        {"AirEmissionSummary a JOIN ThermodynamicPhase tp USING (AirEmissionID) WHERE a.Mass = 0", 0, 0},
        {"AirEmissionSummary WHERE AirEmissionControl = 'After Condenser' AND Mass > 0", 1, many},
        {"AirEmissionSummary WHERE AirEmissionControl <> 'After Condenser' AND Mass > 0", 1, many},
        // Labor: fractional operator counts and a grade without a category row.
        {"LaborSummary WHERE NumberOfOperators <> round(NumberOfOperators)", 1, many},
        {"LaborSummary l WHERE NOT EXISTS (SELECT 1 FROM LaborCategory c WHERE c.LaborGradeID = l.LaborGradeID)", 1,
         many},
        // Operations without contents, contents with gas, empty vessels without average properties.
        {"EquipmentSchedule s WHERE NOT EXISTS (SELECT 1 FROM EquipmentContents c WHERE c.EquipmentID = s.EquipmentID "
         "AND c.BatchNumber = s.BatchNumber AND c.OperationID = s.OperationID AND c.StepID = s.StepID)",
         1, many},
        {"ThermodynamicPhase WHERE ContentsID IS NOT NULL AND Phase = 'gas'", 1, many},
        {"EquipmentContents WHERE Mass > 0 AND AverageDensity > 0", 1, many},
        {"EquipmentContents WHERE Mass = 0 AND AverageMolecularWeight IS NOT NULL", 0, 0},
        // Calendars: an overnight shift, a day off, a changed day, equipment with and without one.
        {"Calendars", 2, many},
        {"CalendarWeekShifts WHERE EndSecond <= StartSecond", 1, many},
        {"CalendarExceptions x WHERE NOT EXISTS (SELECT 1 FROM CalendarExceptionShifts s WHERE s.CalendarID = "
         "x.CalendarID AND s.ExceptionDate = x.ExceptionDate)",
         1, many},
        {"CalendarExceptionShifts", 1, many},
        {"SELECT count(DISTINCT CalendarID) FROM EquipmentSummary", 2, many},
        {"EquipmentSummary WHERE CalendarID IS NULL", 1, many},
        {"CalendarExceptions WHERE ExceptionDate < (SELECT substr(StartDateTime, 1, 10) FROM PPlan)", 0, 0},
        {"SELECT max(EndTime) / 24 FROM EquipmentSchedule", 51, many},
        // Times: the first batch starts the plan, one step has no start date, the tables use several units.
        {"SELECT min(StartTime) FROM EquipmentSchedule", 0, 0},
        {"StepSummary WHERE StartDateTime IS NULL", 1, 1},
        {"StreamSummary WHERE StartTimeUOM <> EndTimeUOM", 0, 0},
        {"AirEmissionSummary WHERE StartTimeUOM <> EndTimeUOM", 0, 0},
        {"UtilitySummary WHERE StartTimeUOM <> EndTimeUOM", 0, 0},
        {"SELECT count(DISTINCT u) FROM (SELECT TimeUOM AS u FROM EquipmentSchedule UNION SELECT EndTimeUOM FROM "
         "StreamSummary UNION SELECT EndTimeUOM FROM UtilitySummary UNION SELECT EndTimeUOM FROM LaborSummary)",
         3, many},
    };
    for (const auto& [query, lo, hi] : counts) {
        const std::string sql = query.rfind("SELECT", 0) == 0 ? query : "SELECT count(*) FROM " + query;
        const long long n = sample().count(sql);
        EXPECT_TRUE(n >= lo && n <= hi) << sql << " gives " << n;
    }
}

struct ScheduleRow {
    long long equipment, step, batch, op;
    long long start, end; // seconds
    std::string type;
};

std::vector<ScheduleRow> scheduleRows(const char* where = "")
{
    std::vector<ScheduleRow> rows;
    sample().each(std::string("SELECT es.EquipmentID, es.StepID, es.BatchNumber, es.OperationID, es.StartTime, "
                              "es.EndTime, tr.OperationName FROM EquipmentSchedule es JOIN TextRecipe tr USING "
                              "(OperationID) JOIN EquipmentSummary e ON e.EquipmentID = es.EquipmentID ") +
                      where,
                  [&](const sqlite::Statement& s) {
                      rows.push_back({s.integer(0), s.integer(1), s.integer(2), s.integer(3),
                                      std::llround(s.real(4) * 3600), std::llround(s.real(5) * 3600), s.text(6)});
                  });
    return rows;
}

TEST(SampleConsistency, OperationsInOneVesselDoNotOverlapExceptSamplesTakenDuringReactions)
{
    auto rows = scheduleRows("WHERE e.EquipmentType <> 'Continuous'");
    ASSERT_FALSE(rows.empty());
    std::sort(rows.begin(), rows.end(), [](const ScheduleRow& a, const ScheduleRow& b) {
        return std::tie(a.equipment, a.start, a.end) < std::tie(b.equipment, b.start, b.end);
    });
    int designed = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_LT(rows[i].start, rows[i].end) << "operation " << rows[i].op;
        for (std::size_t j = i + 1;
             j < rows.size() && rows[j].equipment == rows[i].equipment && rows[j].start < rows[i].end; ++j) {
            const bool sampleInReaction = rows[i].type == "React" && rows[j].type == "Sample" &&
                                          rows[i].batch == rows[j].batch && rows[j].end <= rows[i].end;
            EXPECT_TRUE(sampleInReaction)
                << "equipment " << rows[i].equipment << ": op " << rows[i].op << " overlaps " << rows[j].op;
            designed += sampleInReaction;
        }
    }
    EXPECT_GT(designed, 0) << "the parallel sampling operations are part of the design";
    // The continuous condenser serves two reactors and may run for both at once.
    auto condenser = scheduleRows("WHERE e.EquipmentType = 'Continuous' ORDER BY es.StartTime");
    int parallel = 0;
    for (std::size_t i = 1; i < condenser.size(); ++i)
        parallel += condenser[i].start < condenser[i - 1].end;
    EXPECT_GT(parallel, 0);
}

TEST(SampleConsistency, VesselContentsFollowWhatFlowsInAndOut)
{
    const test::Sql& db = sample();
    // Mass changes of every vessel: streams and vapor emissions, at the end of their interval.
    std::map<long long, std::vector<std::pair<long long, double>>> flows; // equipment → (second, kg)
    for (const char* table : {"StreamSummary", "AirEmissionSummary"})
        db.each(std::string("SELECT FromEquipmentID, ToEquipmentID, EndTime, Mass FROM ") + table,
                [&](const sqlite::Statement& s) {
                    const long long at = std::llround(s.real(2) * 60.0);
                    if (!s.isNull(0)) flows[s.integer(0)].emplace_back(at, -s.real(3));
                    if (!s.isNull(1)) flows[s.integer(1)].emplace_back(at, s.real(3));
                });
    for (auto& [equipment, list] : flows)
        std::sort(list.begin(), list.end());
    auto check = [&](const std::string& sql, double secondsPerUnit) {
        long long checked = 0;
        std::map<long long, std::tuple<std::size_t, double, double>> cursor; // next flow, running mass, throughput
        db.each(sql, [&](const sqlite::Statement& s) {
            const long long e = s.integer(0), at = std::llround(s.real(1) * secondsPerUnit);
            auto& [next, running, throughput] = cursor[e];
            for (const auto& list = flows[e]; next < list.size() && list[next].first <= at; ++next) {
                running += list[next].second;
                throughput += std::abs(list[next].second);
            }
            ASSERT_NEAR(s.real(2), running, 1e-6 * (1.0 + throughput)) << "equipment " << e << " at " << at << " s";
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
}

TEST(SampleConsistency, RowsOfOneOperationAgreeOnItsIntervalWhateverTheirTimeUnits)
{
    std::map<std::tuple<long long, long long, long long>, std::pair<long long, long long>> ops;
    for (const ScheduleRow& r : scheduleRows())
        ops[{r.op, r.batch, r.step}] = {r.start, r.end};
    // {table, start column, end column, unit column, seconds per unit}; contents are reported at the end.
    const std::tuple<const char*, const char*, const char*, const char*, double> tables[] = {
        {"StreamSummary", "StartTime", "EndTime", "EndTimeUOM", 60.0},
        {"AirEmissionSummary", "StartTime", "EndTime", "EndTimeUOM", 60.0},
        {"UtilitySummary", "StartTime", "EndTime", "EndTimeUOM", 1.0},
        {"LaborSummary", "StartTime", "EndTime", "EndTimeUOM", 3600.0},
        {"EquipmentContents", "NULL", "Time", "TimeUOM", 60.0}};
    for (const auto& [table, start, end, unit, secondsPerUnit] : tables) {
        SCOPED_TRACE(table);
        long long rows = 0;
        sample().each(std::string("SELECT OperationID, BatchNumber, StepID, ") + start + ", " + end + ", " + unit +
                          " FROM " + table,
                      [&](const sqlite::Statement& s) {
                          ++rows;
                          const auto found = ops.find({s.integer(0), s.integer(1), s.integer(2)});
                          ASSERT_NE(found, ops.end()) << "row " << rows << " has no scheduled operation";
                          if (!s.isNull(3)) {
                              EXPECT_EQ(std::llround(s.real(3) * secondsPerUnit), found->second.first);
                          }
                          EXPECT_EQ(std::llround(s.real(4) * secondsPerUnit), found->second.second);
                          EXPECT_NE(s.text(5), "");
                      });
        EXPECT_GT(rows, 0);
    }
}

TEST(SampleConsistency, PlanAndStepDatesParseAndStartWithThePlan)
{
    const test::Sql& db = sample();
    const COleDateTime start = COleDateTime::FromIso(CString(db.text("SELECT StartDateTime FROM PPlan")));
    ASSERT_EQ(start.GetStatus(), COleDateTime::valid);
    db.each("SELECT StartDateTime, SimulationDateTime, StepID FROM StepSummary", [&](const sqlite::Statement& s) {
        if (!s.isNull(0)) {
            const COleDateTime stepStart = COleDateTime::FromIso(CString(s.textView(0)));
            ASSERT_EQ(stepStart.GetStatus(), COleDateTime::valid);
            // The step's first operation begins at that moment.
            EXPECT_NEAR((stepStart - start).GetTotalHours() * 60.0,
                        db.number("SELECT min(StartTime) * 60 FROM EquipmentSchedule WHERE StepID = " +
                                  std::to_string(s.integer(2))),
                        1e-3);
        }
        const COleDateTime simulated = COleDateTime::FromIso(CString(s.textView(1)));
        ASSERT_EQ(simulated.GetStatus(), COleDateTime::valid);
        EXPECT_LT(simulated, start) << "the simulation ran before the plan starts";
    });
}

// A batch waits for the calendar of the vessel it starts in, as the calendar
// tables tell it: its week shifts, or on an exception date that day's shifts.
TEST(SampleConsistency, EveryBatchStartsWhileItsFirstVesselsCalendarWorks)
{
    const test::Sql& db = sample();
    std::map<std::pair<long long, std::string>, std::vector<std::pair<long long, long long>>> days;
    db.each("SELECT CalendarID, DayOfWeek, StartSecond, EndSecond FROM CalendarWeekShifts",
            [&](const sqlite::Statement& s) {
                days[{s.integer(0), std::to_string(s.integer(1))}].emplace_back(s.integer(2), s.integer(3));
            });
    db.each("SELECT x.CalendarID, x.ExceptionDate, s.StartSecond, s.EndSecond FROM CalendarExceptions x LEFT JOIN "
            "CalendarExceptionShifts s USING (CalendarID, ExceptionDate)",
            [&](const sqlite::Statement& s) {
                auto& shifts = days[{s.integer(0), s.text(1)}];
                if (!s.isNull(2)) shifts.emplace_back(s.integer(2), s.integer(3));
            });
    auto shiftsOn = [&](long long calendar, const COleDateTime& day) {
        const auto exception = days.find({calendar, day.Format("%Y-%m-%d").str()});
        return exception != days.end() ? exception->second : days[{calendar, std::to_string(day.GetDayOfWeek() - 1)}];
    };
    const COleDateTime plan = COleDateTime::FromIso(CString(db.text("SELECT StartDateTime FROM PPlan")));
    const COleDateTime first(plan.GetYear(), plan.GetMonth(), plan.GetDay(), 0, 0, 0);
    long long checked = 0;
    db.each("SELECT e.CalendarID, es.StartTime, es.StepID, es.BatchNumber FROM EquipmentSchedule es JOIN "
            "EquipmentSummary e USING (EquipmentID) WHERE e.CalendarID IS NOT NULL AND es.StartTime = (SELECT "
            "min(StartTime) FROM EquipmentSchedule b WHERE b.StepID = es.StepID AND b.BatchNumber = es.BatchNumber)",
            [&](const sqlite::Statement& s) {
                const long long at = std::llround(((plan - first).GetTotalHours() + s.real(1)) * 3600);
                const long long sec = at % 86400;
                const COleDateTime day = first + COleDateTimeSpan(static_cast<double>(at / 86400));
                bool works = false;
                for (const auto& [from, to] : shiftsOn(s.integer(0), day))
                    works |= from < to ? sec >= from && sec < to : sec >= from;
                for (const auto& [from, to] : shiftsOn(s.integer(0), day - COleDateTimeSpan(1.0)))
                    works |= from >= to && sec < to;
                EXPECT_TRUE(works) << "step " << s.integer(2) << " batch " << s.integer(3) << " starts "
                                   << (day + COleDateTimeSpan(sec / 86400.0)).ToIso().str();
                ++checked;
            });
    EXPECT_GT(checked, 100);
}

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

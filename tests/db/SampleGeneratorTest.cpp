// The sample results database: its generation, determinism, and the physical
// consistency of the simulated campaign.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
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

TEST(SampleGenerator, GrowsWithTheScaleReportsProgressAndRefusesBadScalesAndExistingFiles)
{
    test::TempDir dir;
    std::vector<double> shares;
    const SampleSummary summary = GenerateSampleDatabase(
        dir.file("two.db"), {.scale = 2, .progress = [&](double share) { shares.push_back(share); }});
    test::Sql db(dir.file("two.db"), true);
    const long long streams = sample().count("SELECT count(*) FROM StreamSummary");
    EXPECT_EQ(db.count("SELECT count(*) FROM StreamSummary"), 2 * streams);
    EXPECT_EQ(summary.streams, 2 * streams);
    EXPECT_GE(100 * streams, 1000000) << "--scale 100 must give a million stream rows";
    EXPECT_EQ(SampleBatchesPerStep(2), db.count("SELECT max(NumberOfBatches) FROM StepSummary"));
    EXPECT_LE(SampleBatchesPerStep(SampleOptions::kMaxScale), 32767) << "NumberOfBatches is read as a short";
    ASSERT_GE(shares.size(), 3u);
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_EQ(shares.back(), 1.0);

    // Bad scales and existing files are refused, and nothing is written.
    std::ofstream(dir.file("taken.db")) << "keep me";
    for (const auto& [scale, file, why] :
         {std::tuple{0, "bad.db", "scale"}, std::tuple{-1, "bad.db", "scale"},
          std::tuple{SampleOptions::kMaxScale + 1, "bad.db", "scale"}, std::tuple{1, "taken.db", "already exists"}}) {
        try {
            GenerateSampleDatabase(dir.file(file), {.scale = scale, .progress = {}});
            ADD_FAILURE() << "scale " << scale << " into " << file << " accepted";
        } catch (const SampleGeneratorError& e) {
            EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
        }
    }
    EXPECT_FALSE(fs::exists(dir.file("bad.db")));
    EXPECT_EQ(test::ReadFile(dir.file("taken.db")), "keep me");
}

// What the sample holds: each entry is the count expected and the query (without SELECT, its rows are counted).
TEST(SampleConsistency, TheRunKeepsItsInvariants)
{
    // Capacity in liters, from the units the sample uses.
    const std::string liters = "(e.Capacity * CASE e.CapacityUOM WHEN 'liter' THEN 1.0 WHEN 'gal' THEN 3.785411 WHEN "
                               "'Cubic m' THEN 1000.0 END)",
                      process = " c JOIN EquipmentSummary e USING (EquipmentID) WHERE ";
    // Rows of one operation agree on its interval, whatever their time unit; contents are reported at its end.
    const auto agrees = [](const std::string& table, const std::string& seconds, bool contents = false) {
        const std::string end = contents ? "Time" : "EndTime", start = contents ? "NULL" : "x.StartTime";
        return "0 " + table +
               " x LEFT JOIN EquipmentSchedule es ON es.OperationID = x.OperationID AND es.BatchNumber = "
               "x.BatchNumber AND es.StepID = x.StepID AND abs(es.EndTime * 3600 - x." +
               end + " * " + seconds + ") < 0.5 AND abs(es.StartTime * 3600 - coalesce(" + start + " * " + seconds +
               ", es.StartTime * 3600)) < 0.5 WHERE es.OperationID IS NULL OR coalesce(x." + end + "UOM, '') = ''";
    };
    // Operations in one vessel do not overlap but for samples taken during reactions (a continuous unit serves two
    // reactors and may run for both at once).
    const std::string overlaps =
        "EquipmentSchedule a JOIN EquipmentSchedule b ON b.EquipmentID = a.EquipmentID AND b.EquipmentScheduleID <> "
        "a.EquipmentScheduleID AND b.StartTime >= a.StartTime AND b.StartTime < a.EndTime - 1e-7 JOIN EquipmentSummary "
        "e ON e.EquipmentID = a.EquipmentID JOIN TextRecipe ta ON ta.OperationID = a.OperationID JOIN TextRecipe tb ON "
        "tb.OperationID = b.OperationID WHERE e.EquipmentType <> 'Continuous' AND ";
    const std::string sampleInReaction = "(ta.OperationName = 'React' AND tb.OperationName = 'Sample' AND "
                                         "a.BatchNumber = b.BatchNumber AND b.EndTime <= a.EndTime + 1e-7)";
    const std::string counts[] = {
        "0 pragma_integrity_check WHERE integrity_check <> 'ok'", "0 pragma_foreign_key_check",
        "0 " + overlaps + "NOT " + sampleInReaction, "1 SELECT count(*) > 0 FROM " + overlaps + sampleInReaction,
        "0 EquipmentSchedule WHERE EndTime <= StartTime",
        // Fractions sum to one for each owner (every phase has one) and each phase.
        "0 (SELECT 1 FROM ThermodynamicPhase GROUP BY ContentsID, StreamID, UtilityID, AirEmissionID, "
        "CompositeContentsID HAVING abs(sum(MassPhaseFraction) - 1) + abs(sum(MolarPhaseFraction) - 1) + "
        "abs(sum(VolumePhaseFraction) - 1) > 1e-9)",
        "0 ThermodynamicPhase WHERE (ContentsID IS NOT NULL) + (StreamID IS NOT NULL) + (UtilityID IS NOT NULL) + "
        "(AirEmissionID IS NOT NULL) + (CompositeContentsID IS NOT NULL) <> 1",
        "0 (SELECT 1 FROM PhaseComponents GROUP BY PhaseID HAVING abs(sum(MassFraction) - 1) + abs(sum(MoleFraction) - "
        "1) + abs(sum(VolumeFraction) - 1) > 1e-9)",
        "0 ThermodynamicPhase WHERE PhaseID NOT IN (SELECT PhaseID FROM PhaseComponents)",
        "0 PhaseComponents WHERE min(MassFraction, MoleFraction, VolumeFraction) < 0 OR max(MassFraction, "
        "MoleFraction, VolumeFraction) > 1",
        // Volumes within the fill limits but for one designed overflow; capacity units all known.
        "0 EquipmentSummary e WHERE " + liters + " IS NULL",
        "0 EquipmentContents" + process + "c.Volume > e.MaxFillFactor * " + liters +
            " AND NOT (c.StepID = 2 AND c.BatchNumber = 3)",
        "1 EquipmentContents" + process + "c.Volume > " + liters +
            " AND e.QLTag = 'R-103' AND c.StepID = 2 AND c.BatchNumber = 3",
        "0 EquipmentContents WHERE Volume < 0 OR Mass < 0 OR Moles < 0 OR (Mass = 0 AND AverageMolecularWeight IS NOT "
        "NULL)",
        "0 EquipmentContents" + process + "e.EquipmentType = 'Continuous' AND c.Mass <> 0",
        // References resolve or are null.
        "0 (SELECT FromEquipmentID AS e FROM StreamSummary UNION ALL SELECT ToEquipmentID FROM StreamSummary UNION ALL "
        "SELECT FromEquipmentID FROM AirEmissionSummary UNION ALL SELECT ToEquipmentID FROM AirEmissionSummary UNION "
        "ALL SELECT EquipmentID FROM UtilitySummary UNION ALL SELECT EquipmentID FROM EquipmentSchedule UNION ALL "
        "SELECT EquipmentID FROM EquipmentContents UNION ALL SELECT EquipmentID FROM CompositeContents UNION ALL "
        "SELECT EquipmentID FROM LaborSummary UNION ALL SELECT TimeLimitingEquipmentID FROM StepSummary) WHERE e NOT "
        "IN (SELECT EquipmentID FROM EquipmentSummary)",
        "0 StreamSummary ss WHERE NOT EXISTS (SELECT 1 FROM TextRecipe tr WHERE tr.OperationID = ss.OperationID AND "
        "tr.StepID = ss.StepID AND tr.UnitProcedureID = ss.UnitProcedureID)",
        "0 EquipmentSummary WHERE CalendarID NOT IN (SELECT CalendarID FROM Calendars)",
        "0 AirEmissionSummary a JOIN ThermodynamicPhase tp USING (AirEmissionID) WHERE a.Mass = 0",
        // Steps: versions, key outputs and plan batches set; the cycle time is the mean gap between batch starts;
        // they start at their first operation and were simulated before the plan starts.
        "0 StepSummary WHERE coalesce(StepVersionName, '') = '' OR NumberOfBatches < 2 OR coalesce("
        "KeyOutputIntermediateID NOT IN (SELECT MaterialID FROM PureComponents), 1)",
        "0 StepSummary s LEFT JOIN ProductionPlanSummary p USING (StepID) WHERE p.NumberOfBatches IS NOT "
        "s.NumberOfBatches",
        "0 StepSummary s WHERE coalesce(abs(AverageCycleTime - (SELECT (max(b) - min(b)) / (count(*) - 1) FROM (SELECT "
        "min(StartTime) AS b FROM EquipmentSchedule es WHERE es.StepID = s.StepID GROUP BY BatchNumber))) < 1e-9, 0) = "
        "0",
        "0 StepSummary s WHERE StartDateTime IS NOT NULL AND coalesce(abs((julianday(StartDateTime) - "
        "julianday((SELECT StartDateTime FROM PPlan))) * 24 - (SELECT min(StartTime) FROM EquipmentSchedule es WHERE "
        "es.StepID = s.StepID)), 1) > 1e-4",
        "0 StepSummary WHERE coalesce(julianday(SimulationDateTime) >= (SELECT julianday(StartDateTime) FROM PPlan), "
        "1)",
        "1 StepSummary WHERE StartDateTime IS NULL", "0 TextRecipe WHERE coalesce(RecipeText, '') = ''",
        "0 StreamSummary WHERE FromEquipmentID IS NULL AND ToEquipmentID IS NULL",
        "0 CalendarExceptions WHERE ExceptionDate < (SELECT substr(StartDateTime, 1, 10) FROM PPlan)",
        // Statistics of every row, not of a sample (which misleads the planner on long runs).
        "3 sqlite_stat1 WHERE tbl = 'EquipmentSchedule' AND CAST(stat AS INT) = (SELECT count(*) FROM "
        "EquipmentSchedule)",
        // A run of more than 50 days from hour 0, each row in one time unit.
        "1 SELECT max(EndTime) / 24 > 50 FROM EquipmentSchedule", "0 SELECT min(StartTime) FROM EquipmentSchedule",
        "0 (SELECT StartTimeUOM <> EndTimeUOM AS d FROM StreamSummary UNION ALL SELECT StartTimeUOM <> EndTimeUOM FROM "
        "AirEmissionSummary UNION ALL SELECT StartTimeUOM <> EndTimeUOM FROM UtilitySummary) WHERE d",
        agrees("StreamSummary", "60"), agrees("AirEmissionSummary", "60"), agrees("UtilitySummary", "1"),
        agrees("LaborSummary", "3600"), agrees("EquipmentContents", "60", true)};
    for (const std::string& entry : counts) {
        const std::string query = entry.substr(2);
        EXPECT_EQ(sample().count(query.rfind("SELECT", 0) == 0 ? query : "SELECT count(*) FROM " + query),
                  entry[0] - '0')
            << query;
    }
    for (const std::string& table : sample().rows("SELECT name FROM sqlite_master WHERE type = 'table'"))
        EXPECT_GT(sample().count("SELECT count(*) FROM \"" + table + "\""), 0) << "empty " << table;
}

// Buffer tanks, with or without operations of their own, through their composite records.
TEST(SampleConsistency, VesselContentsFollowWhatFlowsInAndOut)
{
    const test::Sql& db = sample();
    // Mass changes of every vessel: streams and vapor emissions, at the end of their interval.
    std::map<long long, std::vector<std::pair<long long, double>>> flows; // equipment → (second, kg)
    db.each("SELECT FromEquipmentID, ToEquipmentID, EndTime, Mass FROM StreamSummary UNION ALL SELECT "
            "FromEquipmentID, ToEquipmentID, EndTime, Mass FROM AirEmissionSummary",
            [&](const sqlite::Statement& s) {
                const long long at = std::llround(s.real(2) * 60.0);
                if (!s.isNull(0)) flows[s.integer(0)].emplace_back(at, -s.real(3));
                if (!s.isNull(1)) flows[s.integer(1)].emplace_back(at, s.real(3));
            });
    for (auto& [equipment, list] : flows)
        std::sort(list.begin(), list.end());
    long long checked = 0;
    std::map<long long, std::tuple<std::size_t, double, double>> cursor; // next flow, running mass, throughput
    db.each("SELECT c.EquipmentID, c.Time * 60 AS at, c.Mass FROM EquipmentContents c JOIN EquipmentSummary e USING "
            "(EquipmentID) WHERE e.EquipmentType <> 'Continuous' UNION ALL SELECT EquipmentID, Time * 3600, Mass FROM "
            "CompositeContents ORDER BY 1, 2",
            [&](const sqlite::Statement& s) {
                const long long e = s.integer(0), at = std::llround(s.real(1));
                auto& [next, running, throughput] = cursor[e];
                for (const auto& list = flows[e]; next < list.size() && list[next].first <= at; ++next) {
                    running += list[next].second;
                    throughput += std::abs(list[next].second);
                }
                ASSERT_NEAR(s.real(2), running, 1e-6 * (1.0 + throughput)) << "equipment " << e << " at " << at << " s";
                ++checked;
            });
    EXPECT_GT(checked, 1100);
}

// A batch waits for the calendar of the vessel it starts in, as the calendar
// tables tell it: its week shifts, or on an exception date that day's shifts.
TEST(SampleConsistency, EveryBatchStartsWhileItsFirstVesselsCalendarWorks)
{
    const test::Sql& db = sample();
    std::map<std::pair<long long, std::string>, std::vector<std::pair<long long, long long>>> days;
    // Keyed by weekday (0 for Sunday) or exception date; an exception without shifts is a day off.
    db.each("SELECT CalendarID, DayOfWeek, StartSecond, EndSecond FROM CalendarWeekShifts UNION ALL SELECT "
            "x.CalendarID, x.ExceptionDate, s.StartSecond, s.EndSecond FROM CalendarExceptions x LEFT JOIN "
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

// The command writes what the generator writes: the same seed gives the same
// file, another one the same plant and another run.
TEST(SampleCommand, WritesTheGeneratorsFileAndReplacesItWithForce)
{
    test::TempDir dir;
    const fs::path out = dir.file("run.db");
    auto r = test::runCommand(std::string(BATCHPLANT_CLI) + " sample " + out.string());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("streams"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("100%"), std::string::npos) << "progress on stderr: " << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << "no in-place updates when stderr is not a terminal";
    EXPECT_TRUE(test::ReadFile(out) == test::ReadFile(test::SampleDatabasePath())) << "the same seed, the same file";
    r = test::runCommand(std::string(BATCHPLANT_CLI) + " sample " + out.string() + " --seed 3 --force");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto same = [&](const std::string& table) {
        return test::Sql(out, true).rows("SELECT * FROM " + table) == sample().rows("SELECT * FROM " + table);
    };
    EXPECT_TRUE(same("EquipmentSummary") && same("TextRecipe"));
    EXPECT_FALSE(same("EquipmentSchedule") || same("StreamSummary") || same("EquipmentContents"));
}

} // namespace
} // namespace batchplant

// The schedule view: loading with the buffer tank rules, failed and refused
// loads, the schedule queries and the whole sample.

#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ResultsDb.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/db/Dao.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Vessel.h"

namespace batchplant {
namespace {

using test::MessageRecorder;
using test::ResultsDb;

const char* const kNoOperations = "Failed to open database at equipmentConts";

struct RecordingDocument : CDocument {
    std::vector<bool> flags;
    void SetModifiedFlag(bool modified) override { flags.push_back(modified); }
};

class GanttLoadingTest : public ::testing::Test {
protected:
    void SetUp() override { db.AddBasics(); }
    bool load() { return f.ReadGanttDatabase(CString(db.path().c_str())); }

    ResultsDb db{ResultsDb::Tables::ResultsAndCalendars};
    GanttFacility f;
    MessageRecorder messages;
};

TEST_F(GanttLoadingTest, BufferTanksComeLastAndOnlyWithOperations)
{
    db.AddPlant(2, "Tank farm");
    db.AddEquipment(1, "BT-1", "Buffer Tank");
    db.AddEquipment(2, "R-101", "Reactor");
    db.AddEquipment(3, "BT-2", "Buffer Tank"); // no operations: never created
    db.AddEquipment(4, "bt-3", "buffer tank"); // the class matched exactly: a vessel like any
    db.AddEquipment(5, "BT-4", "Buffer Tank", 2);
    db.AddOperation(2, "Hold");
    db.AddSchedule(1, 1, 2, 2.0, 5.0, 300.0);
    db.AddSchedule(1, 2, 2, 6.0, 9.0, 300.0);
    db.AddSchedule(2, 1, 1, 0.0, 2.0, 300.0);
    db.AddSchedule(5, 1, 1, 1.0, 2.0);
    RecordingDocument document;
    f.SetDocument(&document);
    ASSERT_TRUE(load());
    EXPECT_TRUE(messages.texts().empty());
    std::vector<std::string> vessels;
    for (int v = 0; v < f.GetNumSchedVessels(); ++v)
        vessels.push_back(f.GetVesselByIndex(v)->GetName().str() + ":" + std::to_string(f.GetNumTimeBlocks(v)));
    EXPECT_EQ(vessels, (std::vector<std::string>{"R-101:1", "bt-3:0", "BT-1:2", "BT-4:1"}));
    // A tank on a plant of its own gets a floor of its own.
    ASSERT_EQ(f.GetNumFloors(), 2);
    EXPECT_EQ(f.GetVesselByIndex(2)->GetFloor(), f.GetFloorByIndex(0));
    EXPECT_EQ(f.GetVesselByIndex(3)->GetFloor()->GetPlantName(), CString("Tank farm"));
    // The loaded-from-database flag stays unset: the new floors marked the
    // facility modified and told the document.
    EXPECT_EQ(f.IsModified(), 1);
    EXPECT_EQ(document.flags, (std::vector<bool>{true, true}));
    EXPECT_NE(f.GetCalendar(), nullptr);
}

TEST_F(GanttLoadingTest, EmptyOperationsAreReportedByBothLoaders)
{
    db.AddEquipment(1, "R-101", "Reactor");
    db.AddEquipment(2, "BT-1", "Buffer Tank");
    ASSERT_TRUE(load());
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{kNoOperations, kNoOperations}));
    EXPECT_EQ(f.GetNumSchedVessels(), 1);
}

TEST_F(GanttLoadingTest, FailedLoadsKeepNoPathAndASecondLoadIsRefused)
{
    test::TempDir dir;
    EXPECT_FALSE(f.ReadGanttDatabase(CString(dir.file("missing.db").string().c_str())));
    EXPECT_FALSE(f.ReadGanttDatabase(CString()));
    f.ReadGanttDatabase(static_cast<CDaoDatabase*>(nullptr));
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_TRUE(f.GetDatabasePath().IsEmpty());
    EXPECT_EQ(f.GetCalendar(), nullptr);
    // Nothing was loaded, so a good file still loads; no second one does.
    db.AddEquipment(1, "R-101", "Reactor");
    db.AddSchedule(1, 1, 1, 0.0, 1.0);
    EXPECT_TRUE(load());
    ResultsDb other{ResultsDb::Tables::ResultsAndCalendars};
    other.AddBasics();
    other.AddEquipment(5, "R-501", "Reactor");
    other.AddSchedule(5, 1, 1, 0.0, 1.0);
    EXPECT_FALSE(f.ReadGanttDatabase(CString(other.path().c_str())));
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{"The facility already holds a loaded model."}));
    EXPECT_EQ(f.GetDatabasePath(), CString(db.path().c_str()));
    CDaoDatabase open;
    open.Open(other.path().c_str(), false, true);
    f.ReadGanttDatabase(&open);
    EXPECT_EQ(messages.count(), 2u);
    EXPECT_EQ(f.GetNumSchedVessels(), 1);
    // A row that cannot be read: false without a message, what came before stays.
    other.exec("INSERT INTO EquipmentSchedule (EquipmentID, BatchNumber, StepID, UnitProcedureID, OperationID, "
               "StartTime, EndTime, TimeUOM) VALUES (5, 'second', 1, 1, 1, 1.0, 2.0, 'h');");
    GanttFacility broken;
    EXPECT_FALSE(broken.ReadGanttDatabase(CString(other.path().c_str())));
    EXPECT_EQ(messages.count(), 2u);
    EXPECT_TRUE(broken.GetDatabasePath().IsEmpty());
    EXPECT_EQ(broken.GetNumSchedVessels(), 1);
}

TEST_F(GanttLoadingTest, ScheduleBlocksInUseGapsAndBadPositions)
{
    db.AddEquipment(1, "R-101", "Reactor");
    db.AddOperation(2, "React");
    db.AddSchedule(1, 70000, 2, 1.5, 4.0, 250.0); // a batch number beyond 16 bits
    db.AddSchedule(1, 3, 1, 5.0, 6.0, 0.0);
    db.AddSchedule(1, 4, 1, 7.0, 8.0, 10.0);
    ASSERT_TRUE(load());
    ASSERT_EQ(f.GetNumTimeBlocks(0), 3);
    EXPECT_EQ(f.GetNumTimeBlocks(-1) + f.GetNumTimeBlocks(f.GetNumSchedVessels()), 0);
    CString stepName, stepVersion, op, recText;
    long stepID = 0, opID = 0, start = 0, end = 0;
    short batch = 0;
    bool empty = true;
    ASSERT_EQ(f.GetScheduleInfo(0, 0, stepName, stepVersion, op, stepID, opID, recText, start, end, batch, empty), 1);
    EXPECT_EQ(stepName + "|" + op + "|" + recText, CString("Reaction|1.2 React|Recipe of React"));
    EXPECT_EQ((std::vector<long>{stepID, opID, start, end, batch, empty}),
              (std::vector<long>{1, 2, 5400, 4 * 3600, 70000 - 65536, 0}));
    EXPECT_TRUE(f.GetScheduleBlock(0, 1)->empty); // volume 0
    EXPECT_EQ(f.GetScheduleBlock(0, 1)->batch, 3);
    for (const auto& [v, b] : std::vector<std::pair<int, int>>{{0, -1}, {0, 3}, {-1, 0}, {1, 0}}) {
        EXPECT_EQ(f.GetScheduleInfo(v, b, stepName, stepVersion, op, stepID, opID, recText, start, end, batch, empty),
                  0);
        EXPECT_FALSE(f.GetScheduleBlock(v, b)) << v << ", " << b;
    }
    EXPECT_EQ(start, 5400) << "a bad position writes nothing";
    EXPECT_EQ(f.GetStepOrder(1) * 10 + f.GetStepOrder(5), 10);
    // The gap after a block holding material is in use; after an empty one it is not.
    const Array<long> blocks = f.GetInUseBlocks(0);
    ASSERT_EQ(blocks.GetSize(), 2);
    EXPECT_EQ(std::make_pair(blocks[0], blocks[1]), std::make_pair(4 * 3600L, 5 * 3600L));
    EXPECT_EQ(f.GetInUseBlocks(-1).GetSize() + f.GetInUseBlocks(1).GetSize(), 0);
}

TEST_F(GanttLoadingTest, CalendarBlocksOfAVesselsCalendar)
{
    // Calendar 1 works Mondays 06:00 to 14:00.
    db.exec("INSERT INTO Calendars (CalendarID, Name) VALUES (1, 'Day shift'); INSERT INTO CalendarWeekShifts "
            "(CalendarID, DayOfWeek, ShiftNo, StartSecond, EndSecond) VALUES (1, 1, 0, 21600, 50400);");
    db.AddEquipment(1, "R-101", "Reactor", 1, 1);
    db.AddSchedule(1, 1, 1, 0.0, 1.0);
    const COleDateTime monday(2024, 1, 1, 0, 0, 0), tuesday(2024, 1, 2, 0, 0, 0);
    List<COleDateTime> out;
    f.GetCalendarBlocks(0, monday, tuesday, out); // no calendar before loading
    ASSERT_TRUE(load());
    out.Add(COleDateTime(2000, 1, 1, 0, 0, 0)); // appended to, never cleared
    f.GetCalendarBlocks(0, monday, tuesday, out);
    f.GetCalendarBlocks(static_cast<Vessel*>(nullptr), monday, tuesday, out);
    f.GetCalendarBlocks(1, monday, tuesday, out); // no such vessel
    f.GetCalendarBlocks(-1, monday, tuesday, out);
    ASSERT_EQ(out.GetCount(), 3);
    EXPECT_EQ(out.GetAt(1).ToIso() + out.GetAt(2).ToIso(), CString("2024-01-01T06:00:002024-01-01T14:00:00"));
}

// Every vessel of the sample but the buffer tanks without operations, with
// one block per operation row, each inside its step's campaign window.
TEST(GanttSampleTest, TheScheduleHoldsWhatTheDatabaseHolds)
{
    const std::string path = test::SampleDatabasePath().string();
    test::Sql sql(path, true);
    MessageRecorder messages;
    GanttFacility f;
    ASSERT_TRUE(f.ReadGanttDatabase(CString(path.c_str())));
    EXPECT_TRUE(messages.texts().empty());
    const std::string ops = " FROM EquipmentSchedule AS es JOIN TextRecipe AS tr ON tr.OperationID = es.OperationID "
                            "AND tr.StepID = es.StepID JOIN StepSummary AS ss ON ss.StepID = es.StepID ";
    const long tanksWithoutOps =
        sql.count("SELECT COUNT(*) FROM EquipmentSummary AS e WHERE e.Category = 'Buffer Tank' AND NOT EXISTS "
                  "(SELECT 1" +
                  ops + "WHERE es.EquipmentID = e.EquipmentID)");
    EXPECT_EQ(f.GetNumSchedVessels(), sql.count("SELECT COUNT(*) FROM EquipmentSummary") - tanksWithoutOps);
    EXPECT_EQ(f.GetNumFloors(), sql.count("SELECT COUNT(DISTINCT PlantID) FROM EquipmentSummary"));
    ASSERT_GT(sql.count("SELECT COUNT(*) FROM EquipmentSummary WHERE Category = 'Buffer Tank'"), 0);
    // From each step's start for its campaign time (days), in seconds from the plan's start.
    std::map<long, std::pair<double, double>> windows;
    sql.each("SELECT StepID, (julianday(StartDateTime) - (SELECT julianday(StartDateTime) FROM PPlan)) * 86400, "
             "CampaignTime * 86400 FROM StepSummary WHERE StartDateTime IS NOT NULL",
             [&](const sqlite::Statement& s) {
                 windows[s.integer(0)] = {s.real(1), s.real(1) + s.real(2)};
             });
    ASSERT_FALSE(windows.empty());
    int blocks = 0;
    for (int v = 0; v < f.GetNumSchedVessels(); ++v) {
        const Vessel* vessel = f.GetVesselByIndex(v);
        EXPECT_EQ(f.GetNumTimeBlocks(v),
                  sql.count("SELECT COUNT(*)" + ops + "WHERE es.EquipmentID = " + std::to_string(vessel->GetID())))
            << vessel->GetName().str();
        for (int b = 0; b < f.GetNumTimeBlocks(v); ++b, ++blocks) {
            const ScheduleBlock block = f.GetScheduleBlock(v, b).value();
            SCOPED_TRACE(vessel->GetName().str() + " block " + std::to_string(b));
            EXPECT_LE(0, block.start);
            EXPECT_LE(block.start, block.end);
            EXPECT_EQ(block.stepName, f.GetStepName(static_cast<int>(block.stepID)));
            const auto window = windows.find(block.stepID);
            if (window == windows.end()) continue;
            // A second of slack for the truncation to whole seconds.
            EXPECT_GE(block.start, window->second.first - 1.0);
            EXPECT_LE(block.end, window->second.second + 1.0);
        }
    }
    EXPECT_EQ(blocks, sql.count("SELECT COUNT(*)" + ops));
}

} // namespace
} // namespace batchplant

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ModelFixtures.h"
#include "ResultsDb.h"
#include "TestSupport.h"
#include "batchplant/calendar/Calendar.h"
#include "batchplant/db/Dao.h"
#include "batchplant/db/ResultsSchema.h"
#include "batchplant/foundation/CFacilityAbort.h"
#include "batchplant/model/StepInfo.h"
#include "db/Sqlite.h"

namespace batchplant {
namespace {

using test::MessageRecorder;
using test::RecordingGanttControl;
using test::TempDir;
using test::TestFacility;

const char* const kPlanEmpty = "Failed to open database at PlanSummary";
const char* const kStartInvalid = "Start time is invalid. Using Current time.";
const char* const kNoSteps = "There were no results found for this step";

// A results database with the calendar tables and plant 1; its steps
// carry their own dates.
class ResultsFile : public test::ResultsDb {
public:
    ResultsFile() : ResultsDb(Tables::ResultsAndCalendars) { AddPlant(1, "North"); }

    void AddStep(long id, const std::string& name, const std::string& version, const std::string& start,
                 const std::string& simulated)
    {
        auto text = [](const std::string& v) { return v.empty() ? std::string("NULL") : "'" + v + "'"; };
        exec("INSERT INTO StepSummary (StepID, StepName, StepVersionName, NumberOfBatches, StartDateTime, "
             "SimulationDateTime, PlantID) VALUES (" +
             std::to_string(id) + ", '" + name + "', " + text(version) + ", 3, " + text(start) + ", " +
             text(simulated) + ", 1);");
    }
};

class StepLoadingTest : public ::testing::Test {
protected:
    void open()
    {
        database.Open(file.path().c_str());
        f.SetGanttChartCtrlCtrl(&gantt);
    }

    ResultsFile file;
    CDaoDatabase database;
    TestFacility f;
    RecordingGanttControl gantt;
};

TEST_F(StepLoadingTest, PlanStartTimeWinsOverTheStepRows)
{
    file.AddPlan("2024-03-04T06:30:00", 3);
    file.AddStep(1, "Reaction", "B", "2020-01-01T00:00:00", "2024-02-01T10:00:00");
    file.AddStep(2, "Workup", "", "2021-01-01T00:00:00", "");
    open();
    MessageRecorder messages;
    f.loadPlanSummary(&database);
    f.loadStepSummary(&database);
    EXPECT_EQ(messages.count(), 0u);
    EXPECT_EQ(f.IsPlan(), 1);
    EXPECT_EQ(f.GetPlanName(), CString("Campaign"));
    EXPECT_EQ(f.GetStartTime().ToIso(), CString("2024-03-04T06:30:00"));
    EXPECT_EQ(f.GetSimulationTime().ToIso(), CString("2024-02-01T10:00:00")); // the last non-null one
    ASSERT_EQ(gantt.events.size(), 1u);
    EXPECT_EQ(gantt.events[0].dispid, 1);
    EXPECT_EQ(gantt.events[0].argument, 1);

    ASSERT_EQ(f.GetNumSteps(), 2);
    EXPECT_EQ(f.GetStepByIndex(0).GetFullName(), CString("Reaction (B)"));
    EXPECT_EQ(f.GetStepByIndex(1).GetFullName(), CString("Workup"));
    EXPECT_EQ(f.GetStepByIndex(0).GetNumberOfBatches(), 3);
    EXPECT_DOUBLE_EQ(f.GetStepByIndex(0).GetSimulationTime().m_dt, 0.0); // not filled
    EXPECT_EQ(f.GetStepName(2), CString("Workup"));
    EXPECT_EQ(f.GetStepFacilityName(1), CString("North"));
    EXPECT_EQ(f.GetStepOrder(2), 2);
    EXPECT_EQ(f.GetStepOrder(9), 0);
    EXPECT_TRUE(f.GetStepName(9).IsEmpty());
    EXPECT_TRUE(f.GetStepKeyOutputName(1).IsEmpty()); // no key output material
}

TEST_F(StepLoadingTest, EmptyPlanQueryLeavesAStepRun)
{
    file.AddStep(1, "Reaction", "", "2022-05-06T07:08:09", "");
    file.AddStep(2, "Drying", "", "2022-05-07T00:00:00", "");
    open();
    MessageRecorder messages;
    f.loadPlanSummary(&database);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kPlanEmpty});
    EXPECT_TRUE(gantt.events.empty());
    f.loadStepSummary(&database);
    EXPECT_EQ(f.IsPlan(), 0);
    EXPECT_EQ(f.GetStartTime().ToIso(), CString("2022-05-07T00:00:00")); // the last step row's
    EXPECT_EQ(messages.count(), 1u);
}

TEST_F(StepLoadingTest, InvalidPlanStartTimeUsesNow)
{
    file.AddPlan("", 3);
    file.AddStep(1, "Reaction", "", "2000-01-01T00:00:00", "");
    open();
    MessageRecorder messages;
    f.SetStartTimeForTest(COleDateTime(2000, 1, 1, 0, 0, 0));
    f.loadPlanSummary(&database);
    f.loadStepSummary(&database);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kStartInvalid});
    EXPECT_EQ(f.IsPlan(), 1);
    EXPECT_EQ(f.GetStartTime().GetStatus(), COleDateTime::valid);
    const double now = COleDateTime::GetCurrentTime().m_dt;
    EXPECT_LE(f.GetStartTime().m_dt, now);
    EXPECT_GT(f.GetStartTime().m_dt, now - 1.0); // about now, not the step row's date
    EXPECT_EQ(gantt.events.size(), 1u);
}

TEST_F(StepLoadingTest, UnparseablePlanStartTimeCountsAsInvalid)
{
    file.AddPlan("next Tuesday", 3);
    file.AddStep(1, "Reaction", "", "", "");
    open();
    MessageRecorder messages;
    f.loadPlanSummary(&database);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kStartInvalid});
    EXPECT_EQ(f.GetStartTime().GetStatus(), COleDateTime::valid);
}

TEST_F(StepLoadingTest, NoStepsAbortsLoading)
{
    file.AddPlan("2024-03-04T06:30:00", 3);
    open();
    MessageRecorder messages;
    f.loadPlanSummary(&database);
    EXPECT_THROW(f.loadStepSummary(&database), CFacilityAbort);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kNoSteps});
    EXPECT_EQ(f.GetNumSteps(), 0);
    EXPECT_EQ(f.IsPlan(), 1); // what was read before stays
    EXPECT_EQ(f.GetPlanName(), CString("Campaign"));
}

TEST_F(StepLoadingTest, UnreadableQueriesAreNotFatalForThePlanButAreForSteps)
{
    file.exec("DROP TABLE ProductionPlanSummary;");
    file.exec("DROP TABLE StepSummary;");
    open();
    MessageRecorder messages;
    f.loadPlanSummary(&database);
    EXPECT_EQ(f.IsPlan(), 0);
    ASSERT_EQ(gantt.events.size(), 1u); // still fired
    EXPECT_EQ(gantt.events[0].argument, 1);
    ASSERT_EQ(messages.count(), 1u); // the database's own error text
    EXPECT_NE(messages.texts()[0], kPlanEmpty);
    messages.clear();
    EXPECT_THROW(f.loadStepSummary(&database), CFacilityAbort);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kNoSteps}); // the step query reports nothing of its own
}

TEST_F(StepLoadingTest, ClosedDatabaseGivesNoPlanAndNoSteps)
{
    MessageRecorder messages;
    f.SetGanttChartCtrlCtrl(&gantt);
    f.loadPlanSummary(&database); // never opened
    EXPECT_EQ(messages.count(), 0u);
    EXPECT_EQ(gantt.events.size(), 1u);
    EXPECT_THROW(f.loadStepSummary(nullptr), CFacilityAbort);
    EXPECT_EQ(messages.count(), 1u);
}

TEST_F(StepLoadingTest, SecondLoadAppendsTheSteps)
{
    file.AddStep(1, "Reaction", "", "", "");
    open();
    f.loadStepSummary(&database);
    f.loadStepSummary(&database);
    EXPECT_EQ(f.GetNumSteps(), 2);
    EXPECT_EQ(f.GetStepOrder(1), 1); // the first of the two answers
}

TEST_F(StepLoadingTest, CalendarsAreReplacedOnEachLoad)
{
    file.exec("INSERT INTO Calendars (CalendarID, Name) VALUES (4, 'Day shift');");
    file.exec("INSERT INTO CalendarWeekShifts VALUES (4, 1, 0, 21600, 50400);");
    open();
    MessageRecorder messages;
    f.loadCalendars(&database);
    CFacilityCalendar* first = f.GetCalendar();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetNumCalendars(), 1);
    EXPECT_EQ(first->Calendar(4).GetName(), CString("Day shift"));
    first->Calendar(99); // adds an empty one to the first object only
    EXPECT_EQ(first->GetNumCalendars(), 2);

    f.loadCalendars(&database);
    ASSERT_NE(f.GetCalendar(), nullptr);
    EXPECT_EQ(f.GetCalendar()->GetNumCalendars(), 1); // freshly read
    EXPECT_EQ(messages.count(), 0u);
}

} // namespace
} // namespace batchplant

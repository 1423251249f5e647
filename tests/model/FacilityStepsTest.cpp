#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ModelFixtures.h"
#include "ResultsDb.h"
#include "TestSupport.h"
#include "batchplant/calendar/Calendar.h"
#include "batchplant/db/Dao.h"
#include "batchplant/foundation/CFacilityAbort.h"
#include "batchplant/model/StepInfo.h"

namespace batchplant {
namespace {

using test::MessageRecorder;
using test::RecordingGanttControl;
using test::TestFacility;

const char* const kPlanEmpty = "Failed to open database at PlanSummary";
const char* const kStartInvalid = "Start time is invalid. Using Current time.";
const char* const kNoSteps = "There were no results found for this step";

// A results database with the calendar tables and plant 1; its steps carry
// their own dates.
struct StepRun {
    StepRun() { file.AddPlant(1, "North"); }
    void addStep(long id, const std::string& name, const std::string& version, const std::string& start,
                 const std::string& simulated)
    {
        auto text = [](const std::string& v) { return v.empty() ? std::string("NULL") : "'" + v + "'"; };
        file.exec("INSERT INTO StepSummary (StepID, StepName, StepVersionName, NumberOfBatches, StartDateTime, "
                  "SimulationDateTime, PlantID) VALUES (" +
                  std::to_string(id) + ", '" + name + "', " + text(version) + ", 3, " + text(start) + ", " +
                  text(simulated) + ", 1);");
    }
    void open()
    {
        database.Open(file.path().c_str());
        f.SetGanttChartCtrlCtrl(&gantt);
    }

    test::ResultsDb file{test::ResultsDb::Tables::ResultsAndCalendars};
    CDaoDatabase database;
    TestFacility f;
    RecordingGanttControl gantt;
    MessageRecorder messages;
};

class StepLoadingTest : public ::testing::Test, protected StepRun {};

TEST_F(StepLoadingTest, StartTimeFromThePlanElseTheLastStepRow)
{
    // plan: the plan row's start, nullptr for no row, "drop" for no table,
    // "closed" for a database never opened. "now" is about the current time;
    // a message "*" is the database's own error text.
    const struct {
        const char* plan;
        std::vector<std::string> messages;
        int isPlan;
        const char* start;
        std::size_t events;
    } cases[] = {
        {"2024-03-04T06:30:00", {}, 1, "2024-03-04T06:30:00", 1},
        {nullptr, {kPlanEmpty}, 0, "2021-01-01T00:00:00", 0},
        {"", {kStartInvalid}, 1, "now", 1},
        {"next Tuesday", {kStartInvalid}, 1, "now", 1},
        {"drop", {"*"}, 0, "2021-01-01T00:00:00", 1},
        {"closed", {}, 0, "", 1},
    };
    for (const auto& c : cases) {
        const std::string plan = c.plan ? c.plan : "(none)";
        SCOPED_TRACE(plan);
        StepRun t;
        if (c.plan && plan != "drop" && plan != "closed") t.file.AddPlan(plan, 3);
        if (plan == "drop") t.file.exec("DROP TABLE ProductionPlanSummary;");
        t.addStep(1, "Reaction", "B", "2020-01-01T00:00:00", "2024-02-01T10:00:00");
        t.addStep(2, "Workup", "", "2021-01-01T00:00:00", "");
        if (plan != "closed") t.open();
        t.f.SetGanttChartCtrlCtrl(&t.gantt);
        t.f.SetStartTimeForTest(COleDateTime(2000, 1, 1, 0, 0, 0));
        t.f.loadPlanSummary(&t.database);
        std::vector<std::string> texts = t.messages.texts();
        if (c.messages == std::vector<std::string>{"*"} && texts.size() == 1 && texts[0] != kPlanEmpty) texts = {"*"};
        EXPECT_EQ(texts, c.messages);
        ASSERT_EQ(t.gantt.events.size(), c.events);
        EXPECT_EQ(c.events ? t.gantt.events[0].dispid * 10 + t.gantt.events[0].argument : 11, 11);
        if (plan == "closed") {
            EXPECT_THROW(t.f.loadStepSummary(nullptr), CFacilityAbort);
            continue;
        }
        t.f.loadStepSummary(&t.database);
        EXPECT_EQ(t.messages.count(), c.messages.size());
        EXPECT_EQ(t.f.IsPlan(), c.isPlan);
        EXPECT_EQ(t.f.GetSimulationTime().ToIso(), CString("2024-02-01T10:00:00")); // the last non-null one
        const COleDateTime start = t.f.GetStartTime();
        if (std::string(c.start) == "now") {
            const double now = COleDateTime::GetCurrentTime().m_dt;
            EXPECT_EQ(start.GetStatus(), COleDateTime::valid);
            EXPECT_TRUE(start.m_dt <= now && start.m_dt > now - 1.0) << start.ToIso().str();
        } else {
            EXPECT_EQ(start.ToIso().str(), c.start);
        }
    }
}

TEST_F(StepLoadingTest, StepRowsAnswerTheStepQuestionsAndASecondLoadAppends)
{
    file.AddPlan("2024-03-04T06:30:00", 3);
    addStep(1, "Reaction", "B", "2020-01-01T00:00:00", "2024-02-01T10:00:00");
    addStep(2, "Workup", "", "", "");
    file.exec("INSERT INTO Calendars (CalendarID, Name) VALUES (4, 'Day shift');");
    open();
    f.loadPlanSummary(&database);
    f.loadStepSummary(&database);
    EXPECT_EQ(f.GetPlanName(), CString("Campaign"));
    ASSERT_EQ(f.GetNumSteps(), 2);
    EXPECT_EQ(f.GetStepByIndex(0).GetFullName() + "|" + f.GetStepByIndex(1).GetFullName() + "|" + f.GetStepName(2) +
                  "|" + f.GetStepFacilityName(1) + "|" + f.GetStepName(9) + "|" + f.GetStepKeyOutputName(1),
              CString("Reaction (B)|Workup|Workup|North||")); // no key output material
    EXPECT_EQ(f.GetStepByIndex(0).GetNumberOfBatches(), 3);
    EXPECT_DOUBLE_EQ(f.GetStepByIndex(0).GetSimulationTime().m_dt, 0.0); // not filled
    EXPECT_EQ(f.GetStepOrder(2) * 10 + f.GetStepOrder(9), 20);
    f.loadStepSummary(&database);
    EXPECT_EQ(f.GetNumSteps(), 4);
    EXPECT_EQ(f.GetStepOrder(1), 1); // the first of the two answers

    // Calendars are replaced, not merged, on each load.
    f.loadCalendars(&database);
    CFacilityCalendar* first = f.GetCalendar();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Calendar(4).GetName(), CString("Day shift"));
    first->Calendar(99); // adds an empty one to the first object only
    f.loadCalendars(&database);
    ASSERT_NE(f.GetCalendar(), nullptr);
    EXPECT_EQ(f.GetCalendar()->GetNumCalendars(), 1);
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(StepLoadingTest, NoStepsAbortsLoadingAndKeepsThePlan)
{
    for (const bool dropped : {false, true}) {
        SCOPED_TRACE(dropped ? "no step table" : "no step rows");
        StepRun t;
        t.file.AddPlan("2024-03-04T06:30:00", 3);
        if (dropped) t.file.exec("DROP TABLE StepSummary;"); // its query reports nothing of its own
        t.open();
        t.f.loadPlanSummary(&t.database);
        EXPECT_THROW(t.f.loadStepSummary(&t.database), CFacilityAbort);
        EXPECT_EQ(t.messages.texts(), std::vector<std::string>{kNoSteps});
        EXPECT_EQ(t.f.GetNumSteps() * 10 + t.f.IsPlan(), 1); // what was read before stays
    }
}

} // namespace
} // namespace batchplant

// Saving calendars into a copy of the generated sample results database.

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "CalendarTestUtil.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/db/Dao.h"
#include "db/Sqlite.h"

namespace batchplant {
namespace {

using test::Describe;

class SampleCalendars : public ::testing::Test {
protected:
    test::MessageRecorder messages;
};

TEST_F(SampleCalendars, AFailedSaveLeavesTheCopyByteForByte)
{
    test::TempDir dir;
    const auto path = test::CopySampleDatabase(dir.file("copy.db"));
    {
        CDaoDatabase db;
        db.Open(path.string().c_str());
        db.GetConnection()->exec("CREATE TRIGGER calendars_frozen BEFORE INSERT ON Calendars WHEN NEW.Name = 'Frozen' "
                                 "BEGIN SELECT RAISE(ABORT, 'calendar Frozen is locked'); END;");
    }
    const std::string before = test::ReadFile(path);
    {
        CDaoDatabase db;
        db.Open(path.string().c_str());
        CFacilityCalendar calendar(&db);
        ASSERT_TRUE(calendar.LoadCalendars());
        calendar.Calendar(calendar.Calendars().GetKeyAt(0)).GetDay(1).Shifts().RemoveAll();
        calendar.Calendar(999).SetName("Frozen"); // written after the deletes and the first calendars
        EXPECT_FALSE(calendar.SaveCalendars());
        EXPECT_EQ(messages.texts(),
                  std::vector<std::string>{"The calendars could not be saved: calendar Frozen is locked"});
    }
    EXPECT_EQ(test::ReadFile(path), before);
}

} // namespace
} // namespace batchplant

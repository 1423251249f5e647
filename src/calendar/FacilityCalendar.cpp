#include <filesystem>
#include <system_error>

#include "CalendarStore.h"
#include "batchplant/calendar/Calendar.h"
#include "batchplant/db/Dao.h"
#include "batchplant/platform/MessageBox.h"

namespace batchplant {

namespace {

// The database's file as an absolute path, so that a later change of the
// working directory does not move it.
CString fileOf(const CDaoDatabase* db)
{
    if (!db || !db->IsOpen() || db->GetName().IsEmpty()) return {};
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(db->GetName().str(), ec);
    return ec ? db->GetName() : CString(absolute.string());
}

bool writeProtected(const CString& name)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::perms p = fs::status(name.str(), ec).permissions();
    if (ec) return false; // a missing file is reported by the open
    return (p & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) == fs::perms::none;
}

} // namespace

CFacilityCalendar::CFacilityCalendar(CDaoDatabase* db) : database(db), databaseName(fileOf(db)) {}

CFacilityCalendar::~CFacilityCalendar() = default;

bool CFacilityCalendar::loadCalendars()
{
    CString error;
    if (databaseName.IsEmpty()) {
        error = "no database is open.";
    } else {
        try {
            CDaoDatabase db;
            db.Open(databaseName, false, true);
            if (calendar_store::Load(db.GetConnection(), calendars, error)) return true;
        } catch (const CDaoException& e) {
            error = e.GetDescription();
        }
    }
    // Half a calendar would show wrong working times; keep none instead.
    calendars.RemoveAll();
    AfxMessageBox(CString::Formatted("The calendars could not be read: %s", error), MB_OK);
    return false;
}

bool CFacilityCalendar::saveCalendars()
{
    CString error;
    bool saved = false;
    if (databaseName.IsEmpty()) {
        error = "no database is open.";
    } else if (writeProtected(databaseName)) {
        error.Format("the database '%s' is write-protected.", databaseName);
    } else {
        try {
            CDaoDatabase db;
            db.Open(databaseName, false, false);
            saved = calendar_store::Save(db.GetConnection(), calendars, error);
        } catch (const CDaoException& e) {
            error = e.GetDescription();
        }
    }
    if (!saved) {
        AfxMessageBox(CString::Formatted("The calendars could not be saved: %s", error), MB_OK);
        return false;
    }
    for (int i = 0; i < calendars.GetCount(); ++i)
        calendars.GetAt(i).SetModified(false);
    return true;
}

} // namespace batchplant

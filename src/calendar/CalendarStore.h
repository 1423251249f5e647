#pragma once
// Reading and writing the calendar tables (schema/calendar.sql) on an open
// connection. CFacilityCalendar calls these with its database's connection.

#include "batchplant/calendar/SingleCalendar.h"
#include "batchplant/foundation/Hash.h"
#include "batchplant/platform/CString.h"
#include "db/Sqlite.h"

namespace batchplant::calendar_store {

// Reads every calendar into `calendars` (replacing what it held). A database
// without a Calendars table has no calendars. On failure `calendars` is left
// as it was, `error` names what went wrong and the result is false.
bool Load(const sqlite::Connection* db, Hash<int, CSingleCalendar>& calendars, CString& error);

// Replaces the rows of the calendar tables (creating them where missing) by
// `calendars`, in one transaction. On failure nothing is changed, `error`
// names what went wrong and the result is false.
bool Save(const sqlite::Connection* db, const Hash<int, CSingleCalendar>& calendars, CString& error);

} // namespace batchplant::calendar_store

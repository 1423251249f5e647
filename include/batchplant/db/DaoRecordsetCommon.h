#pragma once
// The shared base of the newer recordsets: no columns of its own, and the
// two operations every recordset offers besides DAO's. The older recordsets
// derive straight from CDaoRecordset and forward their own copies of the two
// to the functions in `detail`.

#include "batchplant/db/Dao.h"

namespace batchplant {

namespace detail {
// OpenOnDatabase of every recordset class. With `report`, a database error's
// description is shown in a message box; without it the failure is silent.
bool OpenRecordsetOnDatabase(CDaoRecordset& rs, CDaoDatabase* db, bool report);
// CloseIfOpen of every recordset class.
void CloseRecordsetIfOpen(CDaoRecordset& rs);
} // namespace detail

// Base of the newer recordsets: OpenOnDatabase and CloseIfOpen.
class DaoRecordsetCommon : public CDaoRecordset {
public:
    explicit DaoRecordsetCommon(CDaoDatabase* pDatabase = nullptr);
    ~DaoRecordsetCommon() override;

    // Opens the query on `db` and positions on its first row:
    // - open on `db` already: re-runs it (Requery) and returns true;
    // - open on another database: closes it first;
    // - `db` null or closed: returns false, shows nothing;
    // - otherwise records `db` and opens with the default type and the
    //   default SQL; returns true.
    // A CDaoException from re-running or opening is shown (its description,
    // OK button) and gives false.
    bool OpenOnDatabase(CDaoDatabase* db);
    // Closes the recordset if it is open.
    void CloseIfOpen();
};

} // namespace batchplant

#include "batchplant/db/DaoRecordsetCommon.h"

#include "batchplant/platform/MessageBox.h"

namespace batchplant {

namespace detail {

bool OpenRecordsetOnDatabase(CDaoRecordset& rs, CDaoDatabase* db, bool report)
{
    try {
        if (rs.IsOpen()) {
            if (rs.m_pDatabase == db) {
                rs.Requery();
                return true;
            }
            rs.Close();
        }
        if (!db || !db->IsOpen()) return false;
        rs.m_pDatabase = db;
        rs.Open(rs.m_nDefaultType, nullptr, 0);
        return true;
    } catch (const CDaoException& e) {
        if (report) AfxMessageBox(e.GetDescription(), MB_OK);
        return false;
    }
}

void CloseRecordsetIfOpen(CDaoRecordset& rs)
{
    if (rs.IsOpen()) rs.Close();
}

} // namespace detail

DaoRecordsetCommon::DaoRecordsetCommon(CDaoDatabase* pDatabase) : CDaoRecordset(pDatabase)
{
    m_nFields = 0;
    m_nParams = 0;
    m_nDefaultType = dbOpenDynaset;
}

DaoRecordsetCommon::~DaoRecordsetCommon() = default;

bool DaoRecordsetCommon::OpenOnDatabase(CDaoDatabase* db) { return detail::OpenRecordsetOnDatabase(*this, db, true); }

void DaoRecordsetCommon::CloseIfOpen() { detail::CloseRecordsetIfOpen(*this); }

} // namespace batchplant

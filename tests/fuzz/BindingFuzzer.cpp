// Fuzzes the recordset binding: the catalog's recordsets walked over a small
// results database filled from the input, and one column the input picks
// bound as all five field kinds at once. A CDaoException is fine; otherwise
// every field's text must be its value and fit its kind.

#include <cerrno>
#include <climits>
#include <cmath>
#include <memory>

#include "FuzzSupport.h"
#include "db/RecordsetCatalog.h"

using namespace batchplant;
using namespace batchplant::fuzz;

namespace {

// Binds one column as text, long, short, double and date-time together.
class AnyColumnSet : public CDaoRecordset {
public:
    AnyColumnSet(CDaoDatabase* db, const std::string& column) : CDaoRecordset(db), column_("[" + column + "]")
    {
        m_nFields = 5;
    }
    void DoFieldExchange(CDaoFieldExchange* pFX) override
    {
        pFX->SetFieldType(CDaoFieldExchange::outputColumn);
        DFX_Text(pFX, column_.c_str(), m_text);
        DFX_Long(pFX, column_.c_str(), m_long);
        DFX_Short(pFX, column_.c_str(), m_short);
        DFX_Double(pFX, column_.c_str(), m_double);
        DFX_DateTime(pFX, column_.c_str(), m_date);
    }
    CString m_text;
    long m_long = 0;
    short m_short = 0;
    double m_double = 0.0;
    COleDateTime m_date;

private:
    std::string column_;
};

void CheckField(CDaoRecordset& rs, int i)
{
    CDaoFieldInfo info;
    rs.GetFieldInfo(i, info);
    const CString text = rs.GetFieldText(i);
    const std::string& s = text.str();
    if (rs.IsFieldNullAt(i)) return Check(text.IsEmpty(), "a null field reads as text", s);
    char* end = nullptr;
    errno = 0;
    switch (info.m_nType) {
    case dbLong:
    case dbInteger: {
        const long long v = std::strtoll(s.c_str(), &end, 10);
        Check(errno == 0 && *end == '\0' && !s.empty(), "a whole-number field is not a whole number", s);
        const long long bound = info.m_nType == dbLong ? INT32_MAX : INT16_MAX;
        return Check(v >= -bound - 1 && v <= bound, "a whole-number field outside its width", s);
    }
    case dbDouble:
        Check(!s.empty(), "a double field reads as nothing");
        if (s == "inf" || s == "-inf" || s == "nan" || s == "-nan") return;
        Check(std::isfinite(std::strtod(s.c_str(), &end)), "a finite double's text reads back as infinite", s);
        return Check(*end == '\0', "a double field's text is not a number", s);
    case dbDate: {
        if (s == "invalid") return;
        COleDateTime dt;
        Check(dt.ParseDateTime(text), "a date field's text does not read back as a date", s);
        return Check(dt.ToIso() == text, "a date field's text is not ISO-8601 as written", s);
    }
    case dbText:
        return;
    default:
        Fail("a bound field of unknown type");
    }
}

// The double and the date-time bound to one column hold what their texts
// say: the double exactly, the date to the half second its text rounds to.
// (A whole number's text is printed from the member itself.)
void CheckValues(AnyColumnSet& rs)
{
    if (rs.IsFieldNullAt(0)) return;
    const std::string d = rs.GetFieldText(3).str();
    const double back = std::strtod(d.c_str(), nullptr);
    Check(back == rs.m_double || (std::isnan(back) && std::isnan(rs.m_double)),
          "a double field's text is not its value", d);
    const CString date = rs.GetFieldText(4);
    if (date == CString("invalid"))
        return Check(rs.m_date.GetStatus() == COleDateTime::invalid, "a date reads as \"invalid\" but is not");
    Check(std::fabs((COleDateTime::FromIso(date) - rs.m_date).GetTotalSeconds()) <= 0.5 + 1e-6,
          "a date field's text is not its value", date.str());
}

// Walks to the end (at most `maxRows` rows) reading every field, then makes
// the moves the input says.
void Walk(CDaoRecordset& rs, FuzzedDataProvider& in, long maxRows)
{
    const int fields = rs.GetBoundFieldCount();
    auto* any = dynamic_cast<AnyColumnSet*>(&rs);
    long rows = 0;
    bool clean = true, rowClean = true;
    for (; !rs.IsEOF() && rows < maxRows; ++rows) {
        Check(!rs.IsBOF(), "a recordset on a row reports BOF");
        for (int i = 0; i < fields; ++i)
            CheckField(rs, i);
        if (any && rowClean) CheckValues(*any);
        try {
            rs.MoveNext();
            rowClean = true;
        } catch (const CDaoException&) {
            clean = rowClean = false; // a value that does not convert; the cursor still moved
        }
    }
    if (clean && rs.IsEOF()) Check(rs.GetRecordCount() == rows, "the record count is not the rows walked");
    CheckField(rs, fields); // out of range: "" and no crash
    CheckField(rs, -1);
    static void (CDaoRecordset::*const moves[])() = {&CDaoRecordset::MoveFirst, &CDaoRecordset::MoveLast,
                                                     &CDaoRecordset::MovePrev, &CDaoRecordset::MoveNext,
                                                     &CDaoRecordset::Requery};
    for (int m = in.ConsumeIntegralInRange<int>(0, 3); m > 0; --m) {
        try {
            (rs.*moves[in.ConsumeIntegralInRange<int>(0, 4)])();
        } catch (const CDaoException&) {
        }
        for (int i = 0; i < fields && !rs.IsEOF() && !rs.IsBOF(); ++i)
            CheckField(rs, i);
    }
}

void OpenAndWalk(CDaoRecordset& rs, FuzzedDataProvider& in)
{
    for (const CString& name : rs.GetParamNames()) // a small whole number is never refused
        rs.SetParamValue(name, CString(std::to_string(in.ConsumeIntegralInRange<int>(-1, 4))));
    try {
        rs.Open();
    } catch (const CDaoException& e) {
        Check(!rs.IsOpen() && rs.IsBOF() && rs.IsEOF(), "a recordset that failed to open is open or on a row",
              e.GetDescription().str());
        return;
    }
    Walk(rs, in, 200);
    rs.Close();
    Check(!rs.IsOpen() && rs.IsBOF() && rs.IsEOF(), "a closed recordset is not at BOF and EOF");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return InitFuzzing(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 16 * 1024) return -1;
    FuzzedDataProvider in(data, size);
    MemoryResultsDb mem(in.ConsumeBool());
    const std::vector<TableShape>& tables = SchemaTables();
    const TableShape& table = tables[in.ConsumeIntegralInRange<std::size_t>(0, tables.size() - 1)];
    const std::string& column = table.columns[in.ConsumeIntegralInRange<std::size_t>(0, table.columns.size() - 1)];
    // About three in four recordsets per input: more inputs per second.
    const std::uint32_t pick = in.ConsumeIntegral<std::uint32_t>() | in.ConsumeIntegral<std::uint32_t>();
    mem.FillFrom(in, 40);
    CDaoDatabase db;
    db.Open(CString(mem.Uri()), false, true);
    AnyColumnSet any(&db, column);
    try {
        any.Open(AFX_DAO_USE_DEFAULT_TYPE, ("SELECT [" + column + "] FROM [" + table.name + "]").c_str());
        Walk(any, in, 200);
    } catch (const CDaoException&) {
    }
    std::size_t index = 0;
    for (const RecordsetCatalogEntry& entry : RecordsetCatalog()) {
        if (!((pick >> (index++ % 32)) & 1u)) continue;
        std::unique_ptr<CDaoRecordset> rs = entry.create();
        rs->m_pDatabase = &db;
        OpenAndWalk(*rs, in);
    }
    db.Close();
    return 0;
}

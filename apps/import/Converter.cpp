#include "Converter.h"

#include <cstdio>
#include <set>

#include "batchplant/platform/COleDateTime.h"

namespace batchplant::cli::importer {

std::string sqliteTypeOf(const JetColumn& column)
{
    switch (column.type) {
    case JetType::Boolean:
        return "BOOLEAN";
    case JetType::Byte:
        return "TINYINT";
    case JetType::Integer:
        return "SMALLINT";
    case JetType::Long:
        return "INTEGER";
    case JetType::Currency:
        return "DECIMAL(19,4)";
    case JetType::Single:
        return "FLOAT";
    case JetType::Double:
        return "DOUBLE";
    case JetType::DateTime:
        return "DATETIME";
    case JetType::Text:
        return column.size > 0 ? "VARCHAR(" + std::to_string(column.size) + ")" : "VARCHAR";
    case JetType::Memo:
        return "TEXT";
    case JetType::Binary:
    case JetType::OleObject:
        return "BLOB";
    case JetType::ReplicationId:
        return "GUID";
    case JetType::Decimal:
        return "DECIMAL(" + std::to_string(column.precision) + "," + std::to_string(column.scale) + ")";
    case JetType::Complex:
        return "INTEGER";
    case JetType::Unknown:
        break;
    }
    return "BLOB";
}

std::string isoDateTime(double days)
{
    const COleDateTime t(days);
    const int year = t.GetYear();
    if (year < 100 || year > 9999) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", year, t.GetMonth(), t.GetDay(), t.GetHour(),
                  t.GetMinute(), t.GetSecond());
    return buf;
}

namespace {

unsigned long totalRows(const JetFile& jet)
{
    unsigned long n = 0;
    for (const JetTable& t : jet.tables())
        n += t.declaredRows;
    return n;
}

std::string createTableSql(const JetTable& table)
{
    std::string sql = "CREATE TABLE " + sqlite::quoteName(table.name) + " (";
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        if (c) sql += ", ";
        sql += sqlite::quoteName(table.columns[c].name) + " " + sqliteTypeOf(table.columns[c]);
    }
    return sql + ")";
}

std::string insertSql(const JetTable& table)
{
    std::string sql = "INSERT INTO " + sqlite::quoteName(table.name) + " VALUES (";
    for (std::size_t c = 0; c < table.columns.size(); ++c)
        sql += c ? ", ?" : "?";
    return sql + ")";
}

} // namespace

ConversionCounts copyTables(JetFile& jet, sqlite::Connection& out, bool showProgress, Reporter& report)
{
    ConversionCounts counts;
    Progress progress(showProgress, totalRows(jet));
    for (const std::string& name : jet.linkedTables())
        report.warning("linked table '" + name + "' is not imported: its rows live in another file");

    for (std::size_t i = 0; i < jet.tables().size(); ++i) {
        const JetTable& table = jet.tables()[i];
        if (table.columns.empty()) {
            report.warning("table '" + table.name + "' has no columns and is not imported");
            continue;
        }
        try {
            out.exec(createTableSql(table));
        } catch (const CDaoException& e) {
            throw WriteError("cannot create table '" + table.name + "': " + e.what());
        }
        sqlite::Statement insert(out, insertSql(table));
        std::set<std::size_t> rawDateColumns; // columns with a date outside years 100-9999

        const unsigned long rows = jet.readRows(i, [&](const std::vector<JetValue>& values) {
            for (std::size_t c = 0; c < values.size(); ++c) {
                const JetValue& v = values[c];
                const int p = static_cast<int>(c) + 1;
                switch (v.kind) {
                case JetValue::Null:
                    insert.bind(p, sqlite::Null{});
                    break;
                case JetValue::Integer:
                    insert.bind(p, v.integer);
                    break;
                case JetValue::Real:
                    insert.bind(p, v.real);
                    break;
                case JetValue::Text:
                case JetValue::Decimal:
                    insert.bindText(p, v.text);
                    break;
                case JetValue::Blob:
                    insert.bindBlob(p, v.text);
                    break;
                case JetValue::DateTime: {
                    const std::string iso = isoDateTime(v.real);
                    if (!iso.empty()) {
                        insert.bindText(p, iso);
                    } else {
                        // Not representable as text: keep the day number
                        // itself rather than lose the value.
                        insert.bind(p, v.real);
                        rawDateColumns.insert(c);
                    }
                    break;
                }
                }
            }
            try {
                insert.step();
            } catch (const CDaoException& e) {
                throw WriteError("cannot write a row of table '" + table.name + "': " + e.what());
            }
            insert.reset();
            progress.advance();
        });

        for (std::size_t c : rawDateColumns)
            report.warning("table '" + table.name + "', column '" + table.columns[c].name +
                           "': dates outside the years 100 to 9999 are kept as day numbers since 1899-12-30");
        for (const std::string& remark : jet.takeRemarks())
            report.warning(remark);
        if (rows != table.declaredRows)
            report.warning("table '" + table.name + "': read " + std::to_string(rows) +
                           " rows where the file declares " + std::to_string(table.declaredRows));
        ++counts.tables;
        counts.rows += rows;
    }
    progress.finish();
    return counts;
}

} // namespace batchplant::cli::importer

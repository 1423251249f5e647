#pragma once
// Read-only access to a Jet/Access file (.mdb, .accdb) through mdbtools'
// libmdb. This is the only part of the command that sees libmdb's types.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace batchplant::cli::importer {

enum class JetType {
    Boolean,
    Byte,
    Integer, // 16-bit
    Long,    // 32-bit
    Currency,
    Single,
    Double,
    DateTime,
    Binary,
    Text,
    OleObject,
    Memo,
    ReplicationId,
    Decimal,
    Complex, // attachment / multi-value reference (.accdb)
    Unknown,
};

struct JetColumn {
    std::string name;
    JetType type = JetType::Unknown;
    int rawType = 0;
    int size = 0; // characters for text, bytes otherwise
    int precision = 0;
    int scale = 0;
};

struct JetTable {
    std::string name;
    std::vector<JetColumn> columns;
    unsigned long declaredRows = 0; // the row count the table definition states
};

// One value of a row, already decoded: text is UTF-8; a currency or decimal
// comes as exact decimal text (Kind::Decimal); a date-time as days since
// 1899-12-30 in `real`; binary data as bytes in `text`.
struct JetValue {
    enum Kind { Null, Integer, Real, Text, Decimal, DateTime, Blob } kind = Null;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string text;
};

class JetFile {
public:
    // Opens `path` read-only; throws ReadError naming the file when it is not
    // a Jet/Access database that libmdb can read.
    explicit JetFile(const std::string& path);
    ~JetFile();
    JetFile(const JetFile&) = delete;
    JetFile& operator=(const JetFile&) = delete;

    const std::string& path() const;
    std::string formatName() const;                  // "Jet 3", "Jet 4", "ACE 12", …
    const std::vector<JetTable>& tables() const;     // user tables, catalog order
    const std::vector<std::string>& queries() const; // names of saved queries
    const std::vector<std::string>& linkedTables() const;

    // Calls `row` once per row of table `index`, in file order, with one
    // value per column. Returns the number of rows read. Throws ReadError
    // when a value cannot be decoded.
    unsigned long readRows(std::size_t index, const std::function<void(const std::vector<JetValue>&)>& row);

    // Remarks gathered while reading (values kept in another form, …);
    // taking them empties the list.
    std::vector<std::string> takeRemarks();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace batchplant::cli::importer

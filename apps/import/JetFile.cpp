#include "JetFile.h"

// mdbtools.h includes glib.h inside its extern "C" block, which breaks glib's
// C++ templates; including glib first makes that inner include a no-op.
#include <glib.h>
#include <mdbtools.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <utility>

#include "Errors.h"
#include "ReaderGuard.h"

namespace batchplant::cli::importer {

namespace {

// libmdb keeps row offsets in the low 13 bits of a row pointer; the high bits
// are flags.
constexpr int kRowOffsetMask = 0x1fff;
// The 12-byte header in front of every memo and OLE value.
constexpr int kLongValueHeader = 12;
// No memo is read past this many bytes of UTF-8 (a defence against a damaged
// length field asking for gigabytes).
constexpr std::size_t kMaxMemoBytes = std::size_t{256} << 20;

std::string takeGString(char* s)
{
    std::string out = s ? s : "";
    g_free(s);
    return out;
}

std::uint64_t readLittleEndian(const unsigned char* p, int bytes)
{
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

JetType typeOf(int raw)
{
    switch (raw) {
    case MDB_BOOL:
        return JetType::Boolean;
    case MDB_BYTE:
        return JetType::Byte;
    case MDB_INT:
        return JetType::Integer;
    case MDB_LONGINT:
        return JetType::Long;
    case MDB_MONEY:
        return JetType::Currency;
    case MDB_FLOAT:
        return JetType::Single;
    case MDB_DOUBLE:
        return JetType::Double;
    case MDB_DATETIME:
        return JetType::DateTime;
    case MDB_BINARY:
        return JetType::Binary;
    case MDB_TEXT:
        return JetType::Text;
    case MDB_OLE:
        return JetType::OleObject;
    case MDB_MEMO:
        return JetType::Memo;
    case MDB_REPID:
        return JetType::ReplicationId;
    case MDB_NUMERIC:
        return JetType::Decimal;
    case MDB_COMPLEX:
        return JetType::Complex;
    default:
        return JetType::Unknown;
    }
}

// Bytes a fixed-size value of this type occupies; 0 for variable sizes.
int fixedSize(JetType t)
{
    switch (t) {
    case JetType::Byte:
        return 1;
    case JetType::Integer:
        return 2;
    case JetType::Long:
    case JetType::Single:
    case JetType::Complex:
        return 4;
    case JetType::Currency:
    case JetType::Double:
    case JetType::DateTime:
        return 8;
    case JetType::ReplicationId:
        return 16;
    case JetType::Decimal:
        return 17;
    default:
        return 0;
    }
}

// "1995.5000" from a currency's integer count of ten-thousandths.
std::string currencyText(std::int64_t v)
{
    const bool negative = v < 0;
    // Work in unsigned so that the most negative value does not overflow.
    const std::uint64_t magnitude = negative ? ~static_cast<std::uint64_t>(v) + 1 : static_cast<std::uint64_t>(v);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%llu.%04llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 10000),
                  static_cast<unsigned long long>(magnitude % 10000));
    return buf;
}

struct TableDefDeleter {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};

} // namespace

struct JetFile::Impl {
    std::string path;
    MdbHandle* mdb = nullptr;
    std::vector<JetTable> tables;
    std::vector<std::unique_ptr<MdbTableDef, TableDefDeleter>> defs;
    std::vector<std::string> queries;
    std::vector<std::string> linked;
    std::vector<std::string> remarks;

    ~Impl()
    {
        ReaderGuard::Call reading;
        defs.clear(); // table definitions before the handle they belong to
        if (mdb) mdb_close(mdb);
    }

    [[noreturn]] void fail(const std::string& what) const { throw ReadError("cannot read '" + path + "': " + what); }

    JetValue decode(const JetTable& table, const JetColumn& jc, MdbColumn* col, bool isNull, int start, int len);
    bool crackCurrentRow(MdbTableDef* def, std::vector<MdbField>& fields, std::vector<int>& fieldOf);
};

JetFile::JetFile(const std::string& path) : impl_(std::make_unique<Impl>())
{
    impl_->path = path;
    // Check the signature first: libmdb's own complaints about other files are
    // terse, and a clear message naming the file is better.
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) impl_->fail(std::strerror(errno));
        char head[20] = {};
        in.read(head, sizeof head);
        const bool jet =
            in.gcount() == static_cast<std::streamsize>(sizeof head) &&
            (std::memcmp(head + 4, "Standard Jet DB", 15) == 0 || std::memcmp(head + 4, "Standard ACE DB", 15) == 0);
        if (!jet && in.gcount() >= 16 && std::memcmp(head, "SQLite format 3", 16) == 0)
            impl_->fail("it is already a SQLite database (--from-sqlite copies it and adds what the commands need)");
        if (!jet) impl_->fail("not a Jet/Access database (.mdb or .accdb)");
    }
    ReaderGuard::Call reading;
    impl_->mdb = mdb_open(path.c_str(), MDB_NOFLAGS); // read-only
    if (!impl_->mdb) impl_->fail("damaged or unsupported Jet/Access database");
    if (!mdb_read_catalog(impl_->mdb, MDB_ANY)) impl_->fail("its table catalog cannot be read");

    for (unsigned i = 0; i < impl_->mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(impl_->mdb->catalog, i));
        if (entry->object_type == MDB_QUERY) {
            impl_->queries.emplace_back(entry->object_name);
            continue;
        }
        if (entry->object_type == MDB_LINKED_TABLE) {
            impl_->linked.emplace_back(entry->object_name);
            continue;
        }
        if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry)) continue;

        std::unique_ptr<MdbTableDef, TableDefDeleter> def(mdb_read_table(entry));
        if (!def) impl_->fail("the definition of table '" + std::string(entry->object_name) + "' cannot be read");
        if (!mdb_read_columns(def.get()))
            impl_->fail("the columns of table '" + std::string(entry->object_name) + "' cannot be read");
        JetTable table;
        table.name = entry->object_name;
        table.declaredRows = def->num_rows;
        const bool jet3 = impl_->mdb->f->jet_version == MDB_VER_JET3;
        for (unsigned c = 0; c < def->num_cols; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
            JetColumn jc;
            jc.name = col->name;
            jc.rawType = col->col_type;
            jc.type = typeOf(col->col_type);
            // Jet 4 and later keep text as UTF-16, so the stored size is in bytes.
            jc.size = (jc.type == JetType::Text && !jet3) ? col->col_size / 2 : col->col_size;
            jc.precision = col->col_prec;
            jc.scale = col->col_scale;
            table.columns.push_back(std::move(jc));
        }
        impl_->tables.push_back(std::move(table));
        impl_->defs.push_back(std::move(def));
    }
}

JetFile::~JetFile() = default;

const std::string& JetFile::path() const { return impl_->path; }

std::string JetFile::formatName() const
{
    switch (impl_->mdb->f->jet_version) {
    case MDB_VER_JET3:
        return "Jet 3 (Access 97)";
    case MDB_VER_JET4:
        return "Jet 4 (Access 2000-2003)";
    case MDB_VER_ACCDB_2007:
        return "ACE 12 (Access 2007)";
    case MDB_VER_ACCDB_2010:
        return "ACE 14 (Access 2010)";
    case MDB_VER_ACCDB_2013:
        return "ACE 15 (Access 2013)";
    case MDB_VER_ACCDB_2016:
        return "ACE 16 (Access 2016)";
    case MDB_VER_ACCDB_2019:
        return "ACE 17 (Access 2019)";
    default:
        return "Jet/ACE";
    }
}

const std::vector<JetTable>& JetFile::tables() const { return impl_->tables; }
const std::vector<std::string>& JetFile::queries() const { return impl_->queries; }
const std::vector<std::string>& JetFile::linkedTables() const { return impl_->linked; }

std::vector<std::string> JetFile::takeRemarks() { return std::exchange(impl_->remarks, {}); }

JetValue JetFile::Impl::decode(const JetTable& table, const JetColumn& jc, MdbColumn* col, bool isNull, int start,
                               int len)
{
    JetValue v;
    if (jc.type == JetType::Boolean) {
        // Jet keeps a yes/no field in the row's null mask; libmdb reports it
        // through the value length: 0 for yes, 1 for no. It is never null.
        v.kind = JetValue::Integer;
        v.integer = col->cur_value_len == 0 ? 1 : 0;
        return v;
    }
    if (isNull) return v;

    auto where = [&] { return "table '" + table.name + "', column '" + jc.name + "'"; };
    if (start < 0 || len < 0 || static_cast<std::size_t>(start) + static_cast<std::size_t>(len) > sizeof mdb->pg_buf)
        fail("a value of " + where() + " lies outside its data page");
    const auto* bytes = reinterpret_cast<const unsigned char*>(mdb->pg_buf) + start;
    const int expected = fixedSize(jc.type);
    if (expected != 0 && len != expected)
        fail("a value of " + where() + " has " + std::to_string(len) + " bytes where " + std::to_string(expected) +
             " were expected");

    switch (jc.type) {
    case JetType::Byte:
        v.kind = JetValue::Integer, v.integer = bytes[0];
        break;
    case JetType::Integer:
        v.kind = JetValue::Integer;
        v.integer = static_cast<std::int16_t>(readLittleEndian(bytes, 2));
        break;
    case JetType::Long:
    case JetType::Complex:
        v.kind = JetValue::Integer;
        v.integer = static_cast<std::int32_t>(readLittleEndian(bytes, 4));
        break;
    case JetType::Currency:
        v.kind = JetValue::Decimal;
        v.text = currencyText(static_cast<std::int64_t>(readLittleEndian(bytes, 8)));
        break;
    case JetType::Single: {
        const auto bits = static_cast<std::uint32_t>(readLittleEndian(bytes, 4));
        float f;
        std::memcpy(&f, &bits, sizeof f);
        v.kind = JetValue::Real;
        v.real = f;
        break;
    }
    case JetType::Double:
    case JetType::DateTime: {
        const std::uint64_t bits = readLittleEndian(bytes, 8);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        v.kind = jc.type == JetType::Double ? JetValue::Real : JetValue::DateTime;
        v.real = d;
        break;
    }
    case JetType::ReplicationId:
        v.kind = JetValue::Text;
        v.text = takeGString(mdb_uuid_to_string(mdb->pg_buf, start));
        break;
    case JetType::Decimal:
        v.kind = JetValue::Decimal;
        v.text = takeGString(mdb_numeric_to_string(mdb, start, jc.scale, jc.precision));
        break;
    case JetType::Text:
        v.kind = JetValue::Text;
        if (len > 0) v.text = takeGString(mdb_col_to_string(mdb, mdb->pg_buf, start, MDB_TEXT, len));
        break;
    case JetType::Memo: {
        v.kind = JetValue::Text;
        if (len < kLongValueHeader) break; // an empty memo
        // libmdb converts a memo into a buffer of the handle's bind size; make
        // it large enough for this one (UTF-16 or a code page to UTF-8 at most
        // triples the byte count), then put it back for the bound columns.
        const std::size_t stored = readLittleEndian(bytes, 4) & 0x3fffffffu;
        std::size_t needed = stored * 3 + 64;
        if (needed > kMaxMemoBytes) {
            needed = kMaxMemoBytes;
            remarks.push_back(where() + ": a memo longer than " + std::to_string(kMaxMemoBytes >> 20) +
                              " MiB was cut to that length");
        }
        const std::size_t saved = mdb->bind_size;
        if (needed > saved) mdb_set_bind_size(mdb, needed);
        v.text = takeGString(mdb_col_to_string(mdb, mdb->pg_buf, start, MDB_MEMO, len));
        mdb_set_bind_size(mdb, saved);
        break;
    }
    case JetType::OleObject: {
        v.kind = JetValue::Blob;
        if (len < kLongValueHeader) break;
        std::size_t size = 0;
        void* data = mdb_ole_read_full(mdb, col, &size);
        if (data) {
            v.text.assign(static_cast<const char*>(data), size);
            std::free(data);
        } else {
            fail("the OLE object of " + where() + " cannot be read");
        }
        break;
    }
    case JetType::Binary:
    case JetType::Unknown:
    case JetType::Boolean:
        v.kind = JetValue::Blob, v.text.assign(reinterpret_cast<const char*>(bytes), len);
        break;
    }
    return v;
}

// libmdb's bound lengths cannot tell a null text from an empty one; the row's
// null mask can. Cracks the row just fetched again into `fields` (`fieldOf`
// maps a column to its field) and returns true when that agrees with what
// libmdb found for every value; false leaves the caller to go by lengths.
bool JetFile::Impl::crackCurrentRow(MdbTableDef* def, std::vector<MdbField>& fields, std::vector<int>& fieldOf)
{
    const unsigned ncols = def->num_cols;
    int rowStart = 0;
    std::size_t rowSize = 0;
    if (def->cur_row == 0 || mdb_find_row(mdb, static_cast<int>(def->cur_row) - 1, &rowStart, &rowSize) != 0)
        return false;
    const int n = mdb_crack_row(def, rowStart & kRowOffsetMask, rowSize, fields.data());
    if (n < static_cast<int>(ncols)) return false;
    std::fill(fieldOf.begin(), fieldOf.end(), -1);
    for (int k = 0; k < n && static_cast<unsigned>(k) < ncols; ++k)
        if (fields[static_cast<unsigned>(k)].colnum >= 0 &&
            static_cast<unsigned>(fields[static_cast<unsigned>(k)].colnum) < ncols)
            fieldOf[static_cast<unsigned>(fields[static_cast<unsigned>(k)].colnum)] = k;
    for (unsigned c = 0; c < ncols; ++c) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
        if (fieldOf[c] < 0) return false;
        const MdbField& f = fields[static_cast<unsigned>(fieldOf[c])];
        if (col->col_type != MDB_BOOL && col->cur_value_len > 0 &&
            (f.is_null || f.start != col->cur_value_start || f.siz != col->cur_value_len))
            return false;
    }
    return true;
}

unsigned long JetFile::readRows(std::size_t index, const std::function<void(const std::vector<JetValue>&)>& row)
{
    Impl& d = *impl_;
    if (index >= d.tables.size()) return 0;
    const JetTable& table = d.tables[index];
    MdbTableDef* def = d.defs[index].get();
    const unsigned ncols = def->num_cols;

    // libmdb reads an OLE value's header from the column's bound buffer, so
    // OLE columns are bound; everything else is decoded from the data page.
    std::vector<std::vector<char>> oleBuffers(ncols);
    struct Unbind {
        MdbTableDef* def;
        unsigned n;
        ~Unbind()
        {
            ReaderGuard::Call reading;
            for (unsigned c = 0; c < n; ++c)
                mdb_bind_column(def, static_cast<int>(c) + 1, nullptr, nullptr);
        }
    } unbind{def, ncols};
    {
        ReaderGuard::Call reading;
        for (unsigned c = 0; c < ncols; ++c) {
            if (table.columns[c].type != JetType::OleObject) continue;
            oleBuffers[c].assign(std::max<std::size_t>(d.mdb->bind_size, 2 * MDB_PGSIZE), '\0');
            mdb_bind_column(def, static_cast<int>(c) + 1, oleBuffers[c].data(), nullptr);
        }
        mdb_rewind_table(def);
    }

    std::vector<MdbField> fields(ncols);
    std::vector<int> fieldOf(ncols, -1);
    std::vector<JetValue> values(ncols);
    unsigned long count = 0;
    unsigned long guessedRows = 0;
    for (;;) {
        {
            // Everything up to handing the row over talks to libmdb.
            ReaderGuard::Call reading;
            if (!mdb_fetch_row(def)) break;
            ++count;
            const bool cracked = d.crackCurrentRow(def, fields, fieldOf);
            if (!cracked) ++guessedRows;
            for (unsigned c = 0; c < ncols; ++c) {
                auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, c));
                const bool isNull =
                    cracked ? fields[static_cast<unsigned>(fieldOf[c])].is_null != 0 : col->cur_value_len == 0;
                values[c] = d.decode(table, table.columns[c], col, isNull, col->cur_value_start, col->cur_value_len);
            }
        }
        ReaderGuard::progress();
        row(values);
    }
    if (guessedRows > 0)
        d.remarks.push_back("table '" + table.name + "': in " + std::to_string(guessedRows) +
                            " rows an empty text could not be told from a null and was taken as null");
    return count;
}

} // namespace batchplant::cli::importer

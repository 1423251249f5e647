#include "BenchSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "sample/SampleGenerator.h"

namespace batchplant::bench {

namespace {

std::vector<int> parseScales()
{
    std::vector<int> scales;
    const char* text = std::getenv("BATCHPLANT_BENCH_SCALES");
    std::stringstream in(text && *text ? text : "1,10");
    std::string item;
    while (std::getline(in, item, ',')) {
        const int scale = std::atoi(item.c_str());
        if (scale >= 1 && scale <= SampleOptions::kMaxScale) scales.push_back(scale);
    }
    if (scales.empty()) scales = {1, 10};
    return scales;
}

std::filesystem::path temporaryDirectory()
{
    return std::filesystem::temp_directory_path() / ("batchplant-bench-" + std::to_string(::getpid()));
}

StatementRecorder* activeRecorder = nullptr;

int traceCallback(unsigned type, void*, void* p, void* x)
{
    StatementRecorder* recorder = activeRecorder;
    if (!recorder) return 0;
    if (type == SQLITE_TRACE_STMT) {
        const char* text = static_cast<const char*>(x);
        // Statements of triggers come as comments; they run inside their
        // statement, which is replayed whole.
        if (text && std::strncmp(text, "--", 2) == 0) return 0;
        auto* stmt = static_cast<sqlite3_stmt*>(p);
        if (char* expanded = sqlite3_expanded_sql(stmt)) {
            recorder->statements.emplace_back(expanded);
            sqlite3_free(expanded);
        } else {
            recorder->statements.emplace_back(sqlite3_sql(stmt));
        }
    } else if (type == SQLITE_TRACE_ROW) {
        ++recorder->rows;
    }
    return 0;
}

int traceEveryConnection(sqlite3* db, char**, const void*)
{
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT | SQLITE_TRACE_ROW, traceCallback, nullptr);
    return SQLITE_OK;
}

using AutoExtension = void (*)();

AutoExtension autoExtension()
{
    return reinterpret_cast<AutoExtension>(reinterpret_cast<void*>(&traceEveryConnection));
}

long statusKb(const char* field, const std::string& process = "self")
{
    long kb = 0;
    if (FILE* f = std::fopen(("/proc/" + process + "/status").c_str(), "r")) {
        char line[256];
        const std::size_t n = std::strlen(field);
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
                kb = std::atol(line + n + 1);
                break;
            }
        std::fclose(f);
    }
    return kb;
}

} // namespace

const std::vector<int>& Scales()
{
    static const std::vector<int> scales = parseScales();
    return scales;
}

bool HasScale(int scale)
{
    for (int s : Scales())
        if (s == scale) return true;
    return false;
}

const std::string& SamplePath(int scale)
{
    static std::map<int, std::string> paths;
    auto found = paths.find(scale);
    if (found != paths.end()) return found->second;

    std::filesystem::path dir;
    if (const char* d = std::getenv("BATCHPLANT_BENCH_DATA"); d && *d) {
        dir = d;
    } else {
        dir = temporaryDirectory();
        static const bool cleanup = [] {
            std::atexit([] {
                std::error_code ec;
                std::filesystem::remove_all(temporaryDirectory(), ec);
            });
            return true;
        }();
        (void)cleanup;
    }
    std::filesystem::create_directories(dir);
    const auto file = dir / ("sample-" + std::to_string(scale) + ".db");
    if (!std::filesystem::exists(file)) {
        SampleOptions options;
        options.scale = scale;
        GenerateSampleDatabase(file, options);
    }
    return paths.emplace(scale, file.string()).first->second;
}

StatementRecorder::StatementRecorder()
{
    if (activeRecorder) throw std::logic_error("one statement recorder at a time");
    activeRecorder = this;
    sqlite3_auto_extension(autoExtension());
}

StatementRecorder::~StatementRecorder()
{
    sqlite3_cancel_auto_extension(autoExtension());
    activeRecorder = nullptr;
}

void ReadRowBare(const sqlite::Statement& st, int columns, double& sum, std::string& text)
{
    for (int c = 0; c < columns; ++c) {
        switch (st.type(c)) {
        case SQLITE_INTEGER:
            sum += static_cast<double>(st.integer(c));
            break;
        case SQLITE_FLOAT:
            sum += st.real(c);
            break;
        case SQLITE_TEXT:
            text.assign(st.textView(c));
            break;
        case SQLITE_BLOB:
            text.assign(st.blobView(c));
            break;
        default:
            break;
        }
    }
}

void ReadRowInPlace(const sqlite::Statement& st, int columns, double& sum, std::string& text)
{
    for (int c = 0; c < columns; ++c) {
        sqlite3_value* cell = st.cell(c);
        switch (sqlite3_value_type(cell)) {
        case SQLITE_INTEGER:
            sum += static_cast<double>(sqlite3_value_int64(cell));
            break;
        case SQLITE_FLOAT:
            sum += sqlite3_value_double(cell);
            break;
        case SQLITE_TEXT:
            if (const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(cell)))
                text.assign(p, static_cast<std::size_t>(sqlite3_value_bytes(cell)));
            break;
        case SQLITE_BLOB:
            if (const auto* p = static_cast<const char*>(sqlite3_value_blob(cell)))
                text.assign(p, static_cast<std::size_t>(sqlite3_value_bytes(cell)));
            break;
        default:
            break;
        }
    }
}

FloorCount ReplayStatements(const std::string& path, const std::vector<std::string>& statements, Reading reading)
{
    // Opened as the library opens a database.
    const sqlite::Connection db(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
    FloorCount count;
    std::string text;
    double sum = 0.0;
    for (const std::string& sql : statements) {
        sqlite::Statement st(db, sql);
        ++count.statements;
        const int columns = st.columnCount();
        while (st.step()) {
            ++count.rows;
            if (reading == Reading::InPlace)
                ReadRowInPlace(st, columns, sum, text);
            else
                ReadRowBare(st, columns, sum, text);
            count.values += columns;
        }
    }
    // Keep the reads from being optimised away.
    volatile double sink = sum + static_cast<double>(text.size());
    (void)sink;
    return count;
}

long ResidentKb() { return statusKb("VmRSS"); }

long PeakResidentKb() { return statusKb("VmHWM"); }

long PeakResidentKb(int pid) { return statusKb("VmHWM", std::to_string(pid)); }

long CpuMilliseconds(int pid)
{
    // utime and stime, the 14th and 15th fields; the command name before
    // them is in parentheses and may hold spaces.
    std::string stat;
    if (FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r")) {
        char buffer[1024];
        const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
        stat.assign(buffer, n);
        std::fclose(f);
    }
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i >= 14) ticks += std::atol(field.c_str());
    return ticks * 1000 / sysconf(_SC_CLK_TCK);
}

} // namespace batchplant::bench

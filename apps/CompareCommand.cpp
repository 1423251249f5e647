// `batchplant compare A.db B.db [--format text|csv|json]`: two runs of a plant
// side by side: their plans and spans; per step the batches, campaign and
// cycle times; per vessel, matched by tag, the shares of the run it runs
// and holds material; and the peaks and totals of labor, utilities and vapor
// emissions, each with the difference B - A.

#include <cmath>
#include <cstdio>
#include <algorithm>
#include <map>
#include <optional>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "render/Load.h"
#include "render/Comparison.h"
#include "batchplant/gantt/GanttFacility.h"

namespace batchplant::cli {
namespace {

struct CompareOptions {
    std::string a, b;
    std::string format = "text";
};

std::string quoted(const std::string& s)
{
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    return out + "\"";
}

void print(bool json, const Table& t, bool last)
{
    const char* title = t.title;
    const char* key = t.key;
    const std::vector<std::string>& columns = t.columns;
    const std::vector<Row>& rows = t.rows;
    if (json) {
        std::printf("  %s: [", quoted(key).c_str());
        for (std::size_t r = 0; r < rows.size(); ++r) {
            std::printf("%s\n    {\"name\": %s", r ? "," : "", quoted(rows[r].name).c_str());
            for (std::size_t c = 0; c < columns.size(); ++c)
                for (const auto& [side, v] : {std::pair{"A", &rows[r].a}, std::pair{"B", &rows[r].b}})
                    std::printf(", \"%s%s\": %s", columns[c].c_str(), side,
                                *v ? ShortNumber((**v)[c]).c_str() : "null");
            std::printf("}");
        }
        std::printf("\n  ]%s\n", last ? "" : ",");
        return;
    }
    std::printf("\n%s (A -> B, difference)\n", title);
    for (const Row& row : rows) {
        std::printf("  %-34.34s", row.name.c_str());
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::string x = row.a ? ShortNumber((*row.a)[c]) : "-", y = row.b ? ShortNumber((*row.b)[c]) : "-";
            const std::string d = row.a && row.b ? ShortNumber((*row.b)[c] - (*row.a)[c])
                                  : row.a        ? "only in A"
                                                 : "only in B";
            std::printf("  %s %s -> %s (%s)", columns[c].c_str(), x.c_str(), y.c_str(), d.c_str());
        }
        std::printf("\n");
    }
}

int runCompare(const CompareOptions& o)
{
    if (o.format != "text" && o.format != "csv" && o.format != "json") {
        std::fprintf(stderr, "batchplant compare: unknown format \"%s\": give text, csv or json\n", o.format.c_str());
        return kBadInput;
    }
    LoadedRun ra, rb;
    if (const int rc = LoadRun("compare", o.a, false, true, ra); rc != kOk) return rc;
    if (const int rc = LoadRun("compare", o.b, false, true, rb); rc != kOk) return rc;
    const Run a = MeasureRun(*ra.schedule), b = MeasureRun(*rb.schedule);
    const bool json = o.format == "json";
    if (o.format == "csv") {
        // One line per value: table, name, column, A, B, B - A (empty where a
        // run lacks the name).
        std::printf("table,name,column,a,b,difference\n");
        for (const Table& t : CompareRuns(a, b))
            for (const Row& row : t.rows)
                for (std::size_t c = 0; c < t.columns.size(); ++c) {
                    const std::string x = row.a ? ShortNumber((*row.a)[c]) : "",
                                      y = row.b ? ShortNumber((*row.b)[c]) : "";
                    std::printf("%s,%s,%s,%s,%s,%s\n", t.key, quoted(row.name).c_str(), t.columns[c].c_str(), x.c_str(),
                                y.c_str(), row.a && row.b ? ShortNumber((*row.b)[c] - (*row.a)[c]).c_str() : "");
                }
        return std::fflush(stdout) == 0 ? kOk : kFailure;
    }
    if (json)
        std::printf("{\n  \"planA\": %s, \"planB\": %s, \"spanA\": %ld, \"spanB\": %ld,\n", quoted(a.plan).c_str(),
                    quoted(b.plan).c_str(), a.span, b.span);
    else
        std::printf("A: %s (%s), %.1f days\nB: %s (%s), %.1f days\n", a.plan.c_str(), o.a.c_str(), a.span / 86400.0,
                    b.plan.c_str(), o.b.c_str(), b.span / 86400.0);
    const std::vector<Table> tables = CompareRuns(a, b);
    for (std::size_t i = 0; i < tables.size(); ++i)
        print(json, tables[i], i + 1 == tables.size());
    if (json) std::printf("}\n");
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "batchplant compare: cannot write the output\n");
        return kFailure;
    }
    return kOk;
}

const bool registered = registerCommand(
    "compare", "Compare two runs: steps, equipment utilisation, labor, utilities and emissions", [](CLI::App& sub) {
        auto o = std::make_shared<CompareOptions>();
        sub.add_option("a", o->a, "The first results database")->required();
        sub.add_option("b", o->b, "The second results database")->required();
        sub.add_option("--format", o->format, "Text, csv (a line per value) or json")->capture_default_str();
        return Runner([o] { return runCompare(*o); });
    });

} // namespace
} // namespace batchplant::cli

// The command line, run as a separate process: one row per invocation with
// its exit code and what stdout and stderr must contain. Each row runs in a
// fresh directory holding a file that is no database, a taken name and a
// database without the results tables; a refused command prints nothing on
// stdout and leaves that directory as it found it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/foundation/Units.h"
#include "db/Sqlite.h"
#include "render/UnitQuantity.h"

namespace batchplant::test {
namespace {

namespace fs = std::filesystem;

struct Row {
    const char* name;
    const char* args; // {db}: the sample; {dir}: the row's directory
    int exitCode;
    const char* out; // searched for in stdout (ECMAScript)
    const char* err; // searched for in stderr
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.args; }

const char* const kBadTime = "bad time \"[^\"]*\": give seconds, a number with a time unit";

const std::vector<Row>& rows()
{
    static const std::vector<Row> table = [] {
        std::vector<Row> r = {
            // units
            {"UnitsFahrenheit", "units 100 F C", 0, "^37\\.778 C\n$", "^$"},
            {"UnitsAnyCaseNegative", "units -40 c F", 0, "^-40\\.000 F\n$", "^$"},
            {"UnitsNameWithSpace", "units 1 'Cubic ft' liter", 0, "^28\\.317 liter\n$", "^$"},
            {"UnitsGaugePressure", "units 2 'bar(g)' psig", 0, "^29\\.008 psig\n$", "^$"},
            {"UnitsDigits", "units 1.5 h min --digits 5", 0, "^90\\.00000 min\n$", "^$"},
            {"UnitsOtherQuantity", "units 1 kg C", 2, "",
             "^batchplant units: cannot convert kg \\(mass\\) to C \\(temperature\\)"},
            {"UnitsRateIsNoAmount", "units 1 kg/h kg", 2, "", "kg/h \\(mass flow\\) to kg \\(mass\\)"},
            // An unknown unit is one message of the command's own.
            {"UnitsUnknownSource", "units 1 furlong m", 2, "",
             "^batchplant units: unknown source unit \"furlong\" [^\n]*\n$"},
            {"UnitsUnknownTarget", "units 1 m furlong", 2, "",
             "^batchplant units: unknown target unit \"furlong\" [^\n]*\n$"},
            {"UnitsUnknownPercent", "units 1 '% max' m", 2, "",
             "^batchplant units: unknown source unit \"% max\" [^\n]*\n$"},
            {"UnitsUnknownSpaced", "units 1 ' C' K", 2, "", "^batchplant units: unknown source unit \" C\" [^\n]*\n$"},
            {"UnitsNothing", "units", 2, "", "give VALUE FROM TO"},
            {"UnitsOnlyValue", "units 1 C", 2, "", "give VALUE FROM TO"},
            {"UnitsNoNumber", "units abc C F", 2, "", "value = abc"},
            {"UnitsListAndValue", "units --list 1 C F", 2, "", "--list excludes value"},
            {"UnitsExtra", "units 1 C F extra", 2, "", "not expected: extra"},
            {"UnitsTooManyDigits", "units 1 C F --digits 99", 2, "", "--digits: Value 99 not in range"},
            // procedure: times in units and plain seconds name the same instant
            {"ProcedureHours", "procedure {db} R-101 --at 5h", 0, "\nRunning at 0d  5:00:00:\n", "^$"},
            {"ProcedureMinutes", "procedure {db} R-101 --at 300min", 0, "\nRunning at 0d  5:00:00:\n", "^$"},
            {"ProcedureSeconds", "procedure {db} R-101 --at 18000", 0, "\nRunning at 0d  5:00:00:\n", "^$"},
            {"ProcedureSpacedUnit", "procedure {db} R-101 --at '18000 s'", 0, "\nRunning at 0d  5:00:00:\n", "^$"},
            {"ProcedureBeforeAll", "procedure {db} R-101 --at 0", 0, "\\(nothing\\)\nVolume: 0\\.000 liter\n$", "^$"},
            {"ProcedureUnknownTag", "procedure {db} NO-SUCH-TAG", 2, "", "no equipment tagged \"NO-SUCH-TAG\""},
            {"ProcedureMissingDb", "procedure {dir}/none.db R-101", 2, "", "cannot open [^\n]*none\\.db: no such file"},
            {"ProcedureBadUnit", "procedure {db} R-101 --at 5parsec", 2, "", "bad time \"5parsec\""},
            {"ProcedureNoNumber", "procedure {db} R-101 --at abc", 2, "", "bad time \"abc\""},
            {"ProcedureMassUnit", "procedure {db} R-101 --at 5kg", 2, "", "bad time \"5kg\""},
            {"ProcedureEmptyTime", "procedure {db} R-101 --at ''", 2, "", "bad time \"\""},
            {"ProcedureHugeTime", "procedure {db} R-101 --at 1e300h", 2, "", "bad time \"1e300h\""},
            // animate
            {"AnimateDays", "animate {db} --at 1.5d", 0, "^Time 129600 s \\(1d 12:00:00\\)", "^$"},
            {"AnimateFrameZero", "animate {db} --frame 0", 0, "^Frame 0\nTime 0 s", "^$"},
            {"AnimateBadTime", "animate {db} --at 5parsec", 2, "", kBadTime},
            {"AnimateAfterRun", "animate {db} --at 99999h", 2, "", "is outside the run: give 0 to "},
            // the run's last instant belongs to it, the next second does not
            {"AnimateAtRunEnd", "animate {db} --at 5850180", 0, "^Time 5850180 s \\(67d 17:03:00\\) of 5850180 s",
             "^$"},
            {"AnimateJustAfterRun", "animate {db} --at 5850181", 2, "", "\\(5850181 s\\) is outside the run"},
            {"AnimateBeforeRun", "animate {db} --at -1s", 2, "", "\\(-1 s\\) is outside the run"},
            {"AnimateNoInstant", "animate {db}", 2, "", "exactly one of --at TIME and --frame N"},
            {"AnimateTwoInstants", "animate {db} --at 1h --frame 2", 2, "", "exactly one of --at TIME and --frame N"},
            {"AnimateNegativeFrame", "animate {db} --frame -3", 2, "", "bad frame -3"},
            {"AnimateNoFramesPerOp", "animate {db} --frame 1 --frames-per-op 0", 2, "", "bad frames per operation 0"},
            {"AnimateMissingDb", "animate {dir}/results.db --at 1h", 2, "",
             "cannot open [^\n]*results\\.db: no such file"},
            {"AnimateDirectory", "animate {dir} --at 1h", 2, "", "cannot open [^\n]*: it is a directory"},
            // plan
            {"PlanBadLayout", "plan {db} -o {dir}/p.svg --layout spring", 2, "", "bad layout \"spring\""},
            {"PlanNegativeIterations", "plan {db} -o {dir}/p.svg --layout force:-3", 2, "", "bad layout \"force:-3\""},
            {"PlanBadTime", "plan {db} -o {dir}/p.svg --at 3parsecs", 2, "", "bad time \"3parsecs\""},
            // Beyond double's range: a bad time, not an exception out of the parser.
            {"PlanHugeTime", "plan {db} -o {dir}/p.svg --at 1e999h", 2, "", "bad time \"1e999h\""},
            {"PlanMissingDb", "plan {dir}/missing.db -o {dir}/p.svg", 2, "", ": no such file"},
            {"PlanUnwritable", "plan {db} -o {dir}/no/such/dir/plan.svg", 1, "", "cannot write [^\n]*plan\\.svg"},
            // query
            {"QueryMissingDb", "query {dir}/missing.db CDaoStreamSet", 2, "", "cannot open [^\n]*missing\\.db"},
            {"QueryNoTable", "query {dir}/bare.db CDaoStreamSet", 2, "", "no such table: StreamSummary"},
            {"QueryUnknownSet", "query {dir}/bare.db CDaoNoSuchSet", 2, "", "unknown recordset 'CDaoNoSuchSet'"},
            {"QueryNoSet", "query {dir}/bare.db", 2, "", "give a database and a recordset name"},
            {"QueryParamNotNumber", "query {db} CDaoPhaseComponents --param pid=ten", 2, "", "not 'ten'"},
            {"QueryUnknownParam", "query {db} CDaoPhaseComponents --param phase=1", 2, "", "no parameter \\[phase\\]"},
            {"QueryParamNoValue", "query {db} CDaoPhaseComponents --param pid", 2, "", "needs name=value, not 'pid'"},
            // report, gantt, compare, utilisation, profile
            {"ReportMissingDb", "report {dir}/missing.db -o {dir}/out", 2, "", "cannot open [^\n]*missing\\.db"},
            {"ReportNotADb", "report {dir}/notdb -o {dir}/out", 2, "", "notdb: [^\n]*file is not a database"},
            {"ReportOutputTaken", "report {db} -o {dir}/taken", 1, "", "cannot create the directory [^\n]*taken"},
            {"GanttUnwritable", "gantt {db} -o {dir}/no/such/dir/g.svg", 1, "", "cannot write [^\n]*g\\.svg"},
            {"CompareMissingDb", "compare {db} {dir}/none.db", 2, "", "cannot open [^\n]*none\\.db"},
            {"UtilisationBottleneck", "utilisation {db}", 0, "\n(R|V|CR|NF)-[^\n]*<- bottleneck\n", "^$"},
            {"UtilisationEmptySpan", "utilisation {db} --to 0", 2, "", "the span from 0 s to 0 s is empty"},
            {"UtilisationAfterRun", "utilisation {db} --from 9999d", 2, "", "\"9999d\" [^\n]* is outside the run"},
            {"UtilisationBadFormat", "utilisation {db} --format xml", 2, "", "unknown format \"xml\""},
            {"ProfileUnknownType", "profile {db} --type Lavor", 2, "", "unknown type \"Lavor\""},
            {"ProfileUnknownGroup", "profile {db} --type Labor --group 987654", 2, "", "no Labor group with id 987654"},
            {"ProfileUnknownComponent", "profile {db} --type Labor --component 987654", 2, "",
             "no Labor component with id 987654"},
            {"ProfileUnknownSetting", "profile {db} --type Labor --setting weight", 2, "",
             "unknown setting \"weight\""},
            {"ProfileBadFormat", "profile {db} --type Labor --format pdf", 2, "", "unknown format \"pdf\""},
            // sample
            {"SampleZeroScale", "sample {dir}/zero.db --scale 0", 2, "", "--scale: Value 0 not in range"},
            {"SampleExistingFile", "sample {dir}/taken --seed 3", 2, "", "taken already exists \\(use --force"},
        };
#ifdef BATCHPLANT_HAVE_VIEWER
        r.insert(r.end(), {
                              {"ServeMissingDb", "serve {dir}/none.db --port 0", 2, "", "cannot open [^\n]*none\\.db"},
                              {"ServeBadPort", "serve {db} --port 70000", 2, "", "--port: Value 70000 not in range"},
                              {"ServeBadHost", "serve {db} --host 203.0.113.300", 1, "",
                               "cannot listen on 203\\.0\\.113\\.300:8080"},
                          });
#endif
        return r;
    }();
    return table;
}

std::string expand(std::string args, const TempDir& dir)
{
    for (const auto& [key, value] :
         {std::pair<std::string, std::string>{"{db}", SampleDatabasePath().string()}, {"{dir}", dir.path().string()}})
        for (auto at = args.find(key); at != std::string::npos; at = args.find(key, at + value.size()))
            args.replace(at, key.size(), value);
    return args;
}

// Every file under `dir` with its bytes.
std::map<std::string, std::string> contents(const fs::path& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        files[fs::relative(entry.path(), dir).string()] = entry.is_regular_file() ? ReadFile(entry.path()) : "/";
    return files;
}

class CommandLine : public ::testing::TestWithParam<Row> {};

TEST_P(CommandLine, ExitCodeAndOutputs)
{
    const Row& row = GetParam();
    TempDir dir;
    std::ofstream(dir.file("notdb")) << "hello";
    std::ofstream(dir.file("taken")) << "keep me";
    sqlite::Connection(dir.file("bare.db").string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
        .exec("CREATE TABLE other(x)");
    const auto before = contents(dir.path());

    const std::string args = expand(row.args, dir);
    const CommandResult r = runCommand(std::string(BATCHPLANT_CLI) + " " + args);
    EXPECT_EQ(r.exitCode, row.exitCode) << args << "\n" << r.err;
    EXPECT_TRUE(std::regex_search(r.out, std::regex(row.out))) << args << "\nstdout: " << r.out.substr(0, 2000);
    EXPECT_TRUE(std::regex_search(r.err, std::regex(row.err))) << args << "\nstderr: " << r.err;
    if (row.exitCode != 0) {
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(contents(dir.path()), before) << args << ": a refused command leaves its files alone";
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CommandLine, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

std::vector<std::string> split(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, sep))
        parts.push_back(part);
    return parts;
}

TEST(UnitsCommand, ListPrintsEveryRowLosslessly)
{
    const auto r = runCommand(std::string(BATCHPLANT_CLI) + " units --list");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = split(r.out, '\n');
    ASSERT_EQ(lines.size(), 582u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto f = split(lines[i], '\t');
        ASSERT_EQ(f.size(), 5u) << lines[i];
        const UnitRow& row = GetUnitRow(static_cast<int>(i));
        EXPECT_EQ(f[0], std::to_string(i));
        EXPECT_EQ(f[1], row.name);
        EXPECT_EQ(f[2], std::to_string(row.kind));
        // Read back, the printed numbers are the table's exactly.
        EXPECT_EQ(std::strtod(f[3].c_str(), nullptr), row.factor) << lines[i];
        EXPECT_EQ(std::strtod(f[4].c_str(), nullptr), row.offset) << lines[i];
        // The command can tell what every unit measures.
        EXPECT_TRUE(cli::UnitDimension(row.name)) << row.name;
    }
    EXPECT_EQ(lines[0], "0\tlb\t1\t0.45359240000000001\t0");
}

} // namespace
} // namespace batchplant::test

// The command line as a separate process: one row per invocation with its
// exit code and what stdout and stderr must contain, each in a fresh
// directory holding a file that is no database, a taken name and a database
// without the results tables; a refused command prints nothing on stdout and
// leaves that directory alone. Then answers compared with the library's.

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
#include "batchplant/db/Dao.h"
#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/foundation/Units.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"
#include "db/RecordsetCatalog.h"
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
            {"QueryParamByName", "query {db} CDaoPhaseComponents --param pid=1", 0,
             "^PhaseID,ComponentID,[^\n]*\n(1,[^\n]*\n)+$", "^$"},
            {"QueryTwoParams", "query {db} CDaoThermodynamicPhase --param CompositeID=1 --param sid=0", 0,
             "^PhaseID,[^\n]*\n[0-9]+,1,[^\n]*\n$", "^$"},
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
            // import: a refused import leaves no partial output behind
            {"ImportNotJet", "import --any-file {dir}/notdb {dir}/out.db", 2, "",
             "error: cannot read '[^']*notdb': not a Jet/Access database"},
            {"ImportMissingInput", "import {dir}/absent.mdb {dir}/out.db", 2, "", "absent\\.mdb"},
            {"ImportOntoItself", "import --any-file --force {dir}/notdb {dir}/notdb", 2, "",
             "is the input file itself"},
            {"ImportSqliteNoDb", "import --from-sqlite {dir}/notdb {dir}/out.db", 2, "",
             "cannot read '[^']*notdb': file is not a database"},
            {"ImportOutputTaken", "import {jet}/DateTestDatabase.mdb {dir}/taken", 2, "", "exists; use --force"},
            {"ImportNoOutputDir", "import {jet}/DateTestDatabase.mdb {dir}/absent/out.db", 2, "",
             "directory '[^']*absent' does not exist"},
            {"ImportNoResultsTables", "import {jet}/nwind.mdb {dir}/out.db", 1, "",
             "holds none of the results tables \\(EquipmentSummary[^\n]*nothing was written"},
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

const std::string kJetDir = BATCHPLANT_SHARED_DIR "/data/jet";

std::string expand(std::string args, const TempDir& dir)
{
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"{db}", SampleDatabasePath().string()},
                                     {"{dir}", dir.path().string()},
                                     {"{jet}", kJetDir}})
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
    const std::string args0 = row.args;
    if (args0.rfind("import", 0) == 0 &&
        runCommand(std::string(BATCHPLANT_CLI) + " import").err.find("without Jet") != std::string::npos)
        GTEST_SKIP() << "batchplant was built without Jet/Access support";
    if (args0.find("{jet}") != std::string::npos && !fs::exists(kJetDir))
        GTEST_SKIP() << "the Jet test files are expected in " << kJetDir;
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
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, sep);)
        parts.push_back(part);
    return parts;
}

CommandResult cli(const std::string& args) { return runCommand(std::string(BATCHPLANT_CLI) + " " + args); }
const std::string kSample = " '" + SampleDatabasePath().string() + "' ";

TEST(UnitsCommand, ListPrintsEveryRowLosslessly)
{
    const auto r = cli("units --list");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = split(r.out, '\n');
    ASSERT_EQ(lines.size(), 582u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto f = split(lines[i], '\t');
        const UnitRow& row = GetUnitRow(static_cast<int>(i));
        ASSERT_EQ(f.size(), 5u) << lines[i];
        EXPECT_EQ(f[0] + " " + f[1] + " " + f[2], std::to_string(i) + " " + row.name + " " + std::to_string(row.kind));
        // Read back, the printed numbers are the table's exactly.
        EXPECT_EQ(std::strtod(f[3].c_str(), nullptr), row.factor) << lines[i];
        EXPECT_EQ(std::strtod(f[4].c_str(), nullptr), row.offset) << lines[i];
        EXPECT_TRUE(cli::UnitDimension(row.name)) << row.name;
    }
    EXPECT_EQ(lines[0], "0\tlb\t1\t0.45359240000000001\t0");
}

TEST(QueryCommand, ListsEveryRecordsetAndQuotesTextsInCsv)
{
    const auto names = split(cli("query --list").out, '\n');
    ASSERT_EQ(names.size(), RecordsetCatalog().size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(names[i].substr(0, names[i].find(' ')), RecordsetCatalog()[i].name);
        EXPECT_GT(names[i].size(), 24u + 10u) << "a few words on its rows: " << names[i];
    }
    TempDir dir;
    const auto db = CopySampleDatabase(dir.file("q.db"));
    sqlite::Connection(db.string(), SQLITE_OPEN_READWRITE)
        .exec("UPDATE StreamSummary SET UserLabel = 'say \"hi\", twice' WHERE StreamID = 3");
    const auto r = cli("query '" + db.string() + "' CDaoStreamSet");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // A comma and quotes are quoted; the stream from outside has an empty FromEquipmentID.
    EXPECT_NE(r.out.find("\n3,1,Inert,\"say \"\"hi\"\", twice\",P-2 / R-101 Amidation,102,1,10202,Inert,Nitrogen,54,"
                         "min,68,min,,1,20,C,"),
              std::string::npos)
        << r.out.substr(0, 600);
}

TEST(ProcedureCommand, PrintsEveryOperationWhatRunsAndTheVolumeAsTheLibraryReadsThem)
{
    CDaoDatabase db;
    db.Open(CString(SampleDatabasePath().string()), false, true);
    CProcedure proc;
    CDaoEquipConts rows(&db);
    rows.Open();
    const long id = rows.m_EquipmentID;
    for (; !rows.IsEOF(); rows.MoveNext())
        if (rows.m_EquipmentID == id) proc.AddNewProc(rows);
    CDaoEquipmentSet eq(&db);
    for (eq.Open(); !eq.IsEOF() && eq.m_EquipmentID != id;)
        eq.MoveNext();
    ASSERT_FALSE(eq.IsEOF());
    const CProcUnit& unit = proc.GetProcUnit(proc.GetNumProcs() / 2);
    const long t = unit.GetStart() + 1;
    const auto r = cli("procedure" + kSample + "'" + eq.m_QLTag.str() + "' --at " + std::to_string(t));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find('\r'), std::string::npos) << "terminal line ends";
    const std::string running = "\nRunning at " + CProcedure::FormatTime(t).str() + ":\n";
    const std::size_t at = r.out.find(running);
    ASSERT_NE(at, std::string::npos) << r.out;
    // Batch and real dates, then the library's line of the operation.
    const auto lines = split(r.out.substr(0, at), '\n');
    ASSERT_EQ(static_cast<int>(lines.size()), proc.GetNumProcs());
    const std::regex line(
        R"(^batch \d+ +\d{4}-\d\d-\d\d \d\d:\d\d to \d{4}-\d\d-\d\d \d\d:\d\d  \(\d+d [ \d]\d:\d\d:\d\d\) - \(\d+d [ \d]\d:\d\d:\d\d\)   .+ \(.*\) $)");
    for (const std::string& l : lines)
        EXPECT_TRUE(std::regex_match(l, line)) << l;
    EXPECT_EQ(lines[0].rfind("batch " + std::to_string(proc.GetProcUnit(0).GetBatchNum()) + " ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(proc.GetOpNameAt(0).str()), std::string::npos);
    const std::string tail = r.out.substr(at + running.size());
    EXPECT_NE(tail.find(unit.GetOp().str() + "\n"), std::string::npos) << tail;
    EXPECT_NE(tail.find("Volume: " + FormatQuantity(proc.GetVolume(t), eq.m_CapacityUOM).str() + "\n"),
              std::string::npos)
        << tail;
}

class AnimateCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        database.Open(CString(SampleDatabasePath().string()), false, true);
        f.ReadVisioDatabase(&database);
        f.InitAnim();
    }
    MessageRecorder messages;
    CDaoDatabase database;
    Facility f;
};

TEST_F(AnimateCommand, AtATimeEachVesselShowsWhatTheLibrarySets)
{
    const auto whole = cli("animate" + kSample + "--frame 0");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(whole.out, m, std::regex("of ([0-9]+) s"))) << whole.out.substr(0, 200);
    const long t = std::stol(m[1]) / 2 / 3600 * 3600; // a whole hour around the middle
    const auto r = cli("animate" + kSample + "--at " + std::to_string(t / 3600) + "h");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Time " + std::to_string(t) + " s"), std::string::npos) << r.out;
    // A date of the run names the same instant.
    COleDateTime at = f.GetStartTime();
    at.m_dt += static_cast<double>(t) / 86400.0;
    const std::string date = CString::Formatted("%04d-%02d-%02dT%02d:%02d", at.GetYear(), at.GetMonth(), at.GetDay(),
                                                at.GetHour(), at.GetMinute())
                                 .str();
    EXPECT_EQ(cli("animate" + kSample + "--at " + date).out.substr(0, 40), r.out.substr(0, 40));

    // Each vessel's block: a "TAG (...)" line, then indented lines.
    std::map<std::string, std::vector<std::string>> shown;
    std::string current;
    for (const std::string& line : split(r.out, '\n'))
        if (line.empty())
            current.clear();
        else if (line.rfind("  ", 0) == 0 && !current.empty())
            shown[current].push_back(line.substr(2));
        else if (line.find(" (") != std::string::npos && line.back() == ')' && line.rfind("Time ", 0) != 0)
            current = line.substr(0, line.find(" ("));
    f.SetAnimationTime(t);
    ASSERT_EQ(static_cast<int>(shown.size()), f.GetNumVessels()) << r.out;
    int active = 0, flowing = 0, expectedFlowing = 0;
    for (int i = 0; i < f.GetNumVessels(); ++i) {
        Vessel* v = f.GetVesselByIndex(i);
        const std::vector<std::string>& lines = shown[v->GetName().str()];
        ASSERT_GE(lines.size(), 5u) << v->GetName().str();
        const CString op = v->GetProc()->GetCurrentOp(t), type = v->GetProc()->GetCurrentOpType(t);
        const long batch = v->GetProc()->GetCurrentBatchNum(t);
        const unsigned char* c = kBatchPalette[(std::max(batch, 1L) - 1) % 9];
        const std::string expected[] = {
            op.IsEmpty() && type.IsEmpty() ? std::string("operation: -")
                                           : "operation: " + op.str() + " [" + type.str() + "]",
            CString::Formatted("volume: %.3f%s", v->GetVolume(), v->IsOverflowing() ? " (overflowing)" : "").str(),
            CString::Formatted("heat %d  cool %d  react %d  active %d", v->IsHeating(), v->IsCooling(),
                               type == "React" ? 1 : 0, v->IsActive())
                .str(),
            batch > 0 ? CString::Formatted("contents: batch %ld #%02X%02X%02X", batch, c[0], c[1], c[2]).str()
                      : "contents: no batch running"}; // then what the idle vessel held last
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(lines[k].substr(0, k < 3 || batch > 0 ? std::string::npos : expected[k].size()), expected[k])
                << v->GetName().str();
        active += v->IsActive();
        for (std::size_t k = 4; k < lines.size(); ++k)
            flowing += lines[k] != "flowing: -";
    }
    EXPECT_GT(active, 0);
    // A flowing connecting stream shows under both its vessels.
    for (int i = 0; i < f.GetNumConnectingStreams(); ++i)
        expectedFlowing += 2 * f.GetStreamByIndex(i)->IsInUse();
    for (int i = 0; i < f.GetNumUniStreams(); ++i)
        expectedFlowing += f.GetUniStreamByIndex(i)->IsInUse();
    for (int i = 0; i < f.GetNumUtilStreams(); ++i)
        expectedFlowing += f.GetUtilStreamByIndex(i)->IsInUse();
    for (int i = 0; i < f.GetNumVaporStreams(); ++i)
        expectedFlowing += (f.GetVaporStreamByIndex(i)->IsConnecting() ? 2 : 1) * f.GetVaporStreamByIndex(i)->IsInUse();
    EXPECT_EQ(flowing, expectedFlowing);
}

TEST_F(AnimateCommand, FramesStepTheLibrarysClockAndStopAtTheEnd)
{
    f.SetFramesPerOp(3);
    f.ResetTime();
    long time = 0;
    CString ops;
    f.SetCurrentAnimationParams(time, ops);
    for (int i = 0, t = 0, last = 0; i < 9; ++i)
        f.Animate(t, last);
    f.SetCurrentAnimationParams(time, ops);
    ASSERT_GT(time, 0);
    const auto nine = cli("animate" + kSample + "--frame 9 --frames-per-op 3");
    EXPECT_NE(nine.out.find("Frame 9\nTime " + std::to_string(time) + " s"), std::string::npos)
        << nine.out.substr(0, 200);
    const auto beyond = cli("animate" + kSample + "--frame 100000000 --frames-per-op 1");
    ASSERT_EQ(beyond.exitCode, 0) << beyond.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(beyond.out, m, std::regex("\nTime ([0-9]+) s [^\n]* of ([0-9]+) s")))
        << beyond.out.substr(0, 200);
    EXPECT_EQ(m[1], m[2]);
    EXPECT_NE(beyond.out.find("(the end of the run was reached"), std::string::npos);
}

} // namespace
} // namespace batchplant::test

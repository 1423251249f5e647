// `batchplant procedure DB TAG [--at TIME]` on the generated sample database.

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/foundation/Units.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {
namespace {

test::CommandResult procedure(const std::string& args)
{
    return test::runCommand(std::string(BATCHPLANT_CLI) + " procedure " + args);
}

std::string sample() { return "'" + test::SampleDatabasePath().string() + "'"; }

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// The tag, id and capacity unit of the first equipment that has operations,
// and its procedure as the library builds it.
struct SampleVessel {
    CString tag;
    CString capacityUOM;
    CProcedure proc;
};

const SampleVessel& firstVessel()
{
    static const SampleVessel vessel = [] {
        SampleVessel v;
        CDaoDatabase db;
        db.Open(CString(test::SampleDatabasePath().string()), false, true);
        CDaoEquipConts rows(&db);
        rows.Open();
        const long id = rows.m_EquipmentID;
        for (; !rows.IsEOF(); rows.MoveNext()) {
            if (rows.m_EquipmentID == id) v.proc.AddNewProc(rows);
        }
        CDaoEquipmentSet eq(&db);
        eq.Open();
        for (; !eq.IsEOF(); eq.MoveNext()) {
            if (eq.m_EquipmentID == id) {
                v.tag = eq.m_QLTag;
                v.capacityUOM = eq.m_CapacityUOM;
                break;
            }
        }
        return v;
    }();
    return vessel;
}

TEST(ProcedureCommand, PrintsOneLinePerOperationThenWhatRunsAtTheTimeAndTheVolumeInTheCapacityUnit)
{
    const SampleVessel& v = firstVessel();
    ASSERT_FALSE(v.tag.IsEmpty());
    const CProcUnit& unit = v.proc.GetProcUnit(v.proc.GetNumProcs() / 2);
    const long t = unit.GetStart() + 1; // inside that unit
    const test::CommandResult r = procedure(sample() + " '" + v.tag.str() + "' --at " + std::to_string(t));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find('\r'), std::string::npos) << "terminal line ends";
    const std::string running = "\nRunning at " + CProcedure::FormatTime(t).str() + ":\n";
    const std::size_t at = r.out.find(running);
    ASSERT_NE(at, std::string::npos) << r.out;

    // Batch and real dates, then the library's line of the operation.
    const std::vector<std::string> out = lines(r.out.substr(0, at));
    ASSERT_EQ(static_cast<int>(out.size()), v.proc.GetNumProcs());
    const std::regex line(
        R"(^batch \d+ +\d{4}-\d\d-\d\d \d\d:\d\d to \d{4}-\d\d-\d\d \d\d:\d\d  \(\d+d [ \d]\d:\d\d:\d\d\) - \(\d+d [ \d]\d:\d\d:\d\d\)   .+ \(.*\) $)");
    for (const std::string& l : out)
        EXPECT_TRUE(std::regex_match(l, line)) << l;
    EXPECT_EQ(out[0].rfind("batch " + std::to_string(v.proc.GetProcUnit(0).GetBatchNum()) + " ", 0), 0u) << out[0];
    EXPECT_NE(out[0].find(v.proc.GetOpNameAt(0).str()), std::string::npos);

    const std::string tail = r.out.substr(at + running.size());
    EXPECT_NE(tail.find(unit.GetOp().str() + "\n"), std::string::npos) << tail;
    const std::string volume = "Volume: " + FormatQuantity(v.proc.GetVolume(t), v.capacityUOM).str() + "\n";
    EXPECT_NE(tail.find(volume), std::string::npos) << tail;
}

} // namespace
} // namespace batchplant

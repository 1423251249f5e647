// The animate command on the generated sample: its report agrees with a
// facility loaded and set by the library itself.

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "AnimationFixtures.h"
#include "SampleDatabase.h"
#include "TestSupport.h"
#include "batchplant/db/Dao.h"

namespace batchplant::test {
namespace {

std::string cli() { return std::string("\"") + BATCHPLANT_CLI + "\""; }
std::string sample() { return "\"" + SampleDatabasePath().string() + "\""; }

// The lines of each vessel's block, by the vessel's tag.
std::map<std::string, std::vector<std::string>> blocks(const std::string& out)
{
    std::map<std::string, std::vector<std::string>> result;
    std::istringstream in(out);
    std::string line, current;
    while (std::getline(in, line)) {
        if (line.empty()) {
            current.clear();
        } else if (line.rfind("  ", 0) == 0) {
            if (!current.empty()) result[current].push_back(line.substr(2));
        } else if (line.find(" (") != std::string::npos && line.back() == ')' && line.rfind("Time ", 0) != 0 &&
                   line.rfind("Frame ", 0) != 0) {
            current = line.substr(0, line.find(" ("));
        }
    }
    return result;
}

class AnimateCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        database.Open(CString(SampleDatabasePath().string()), false, true);
        f.ReadVisioDatabase(&database);
        f.InitAnim();
    }

    // What the command should print for a vessel, from the library.
    std::vector<std::string> expectedBlock(AnimVessel* v, long t)
    {
        std::vector<std::string> lines;
        const CProcedure* p = v->GetProc();
        const CString op = p->GetCurrentOp(t), type = p->GetCurrentOpType(t);
        lines.push_back(op.IsEmpty() && type.IsEmpty() ? std::string("operation: -")
                                                       : "operation: " + op.str() + " [" + type.str() + "]");
        lines.push_back(
            CString::Formatted("volume: %.3f%s", v->GetVolume(), v->IsOverflowing() ? " (overflowing)" : "").str());
        lines.push_back(CString::Formatted("heat %d  cool %d  react %d  active %d", v->IsHeating(), v->IsCooling(),
                                           type == "React" ? 1 : 0, v->IsActive())
                            .str());
        return lines;
    }

    MessageRecorder messages;
    CDaoDatabase database;
    AnimFacility f;
};

TEST_F(AnimateCommandTest, AtATimeEachVesselShowsWhatTheLibrarySets)
{
    const long last = f.Timeline()->GetLastTime();
    ASSERT_GT(last, 7200);
    // A whole number of hours around the middle of the run.
    const long hours = last / 2 / 3600;
    const long t = hours * 3600;
    const auto r = runCommand(cli() + " animate " + sample() + " --at " + std::to_string(hours) + "h");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Time " + std::to_string(t) + " s"), std::string::npos) << r.out;
    // A date of the run, and days with decimals, name instants too.
    COleDateTime at = f.GetStartTime();
    at.m_dt += static_cast<double>(t) / 86400.0;
    char date[32];
    std::snprintf(date, sizeof date, "%04d-%02d-%02dT%02d:%02d", at.GetYear(), at.GetMonth(), at.GetDay(), at.GetHour(),
                  at.GetMinute());
    EXPECT_EQ(runCommand(cli() + " animate " + sample() + " --at " + date).out.substr(0, 40), r.out.substr(0, 40));

    f.SetAnimationTime(t);
    const auto shown = blocks(r.out);
    ASSERT_EQ(static_cast<int>(shown.size()), f.GetNumVessels()) << r.out;
    int active = 0, flowing = 0;
    for (int i = 0; i < f.GetNumVessels(); ++i) {
        auto* v = static_cast<AnimVessel*>(f.GetVesselByIndex(i));
        const auto it = shown.find(v->GetName().str());
        ASSERT_NE(it, shown.end()) << v->GetName().str();
        const std::vector<std::string>& lines = it->second;
        ASSERT_GE(lines.size(), 5u);
        const std::vector<std::string> expected = expectedBlock(v, t);
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3), expected) << v->GetName().str();
        // The contents line names the running batch and its palette colour.
        const long batch = v->GetProc()->GetCurrentBatchNum(t);
        if (batch > 0) {
            const unsigned char* c = kBatchPalette[(batch - 1) % 9];
            EXPECT_EQ(lines[3], CString::Formatted("contents: batch %ld #%02X%02X%02X", batch, c[0], c[1], c[2]).str());
        } else {
            EXPECT_EQ(lines[3].rfind("contents: no batch running", 0), 0u) << lines[3];
        }
        active += v->IsActive();
        for (size_t k = 4; k < lines.size(); ++k)
            if (lines[k] != "flowing: -") ++flowing;
    }
    EXPECT_GT(active, 0);
    // Each flowing connecting stream appears under both its vessels.
    int expectedFlowing = 0;
    for (int i = 0; i < f.GetNumConnectingStreams(); ++i)
        expectedFlowing += 2 * f.GetStreamByIndex(i)->IsInUse();
    for (int i = 0; i < f.GetNumUniStreams(); ++i)
        expectedFlowing += f.GetUniStreamByIndex(i)->IsInUse();
    for (int i = 0; i < f.GetNumUtilStreams(); ++i)
        expectedFlowing += f.GetUtilStreamByIndex(i)->IsInUse();
    for (int i = 0; i < f.GetNumVaporStreams(); ++i) {
        const Stream* s = f.GetVaporStreamByIndex(i);
        expectedFlowing += (s->IsConnecting() ? 2 : 1) * s->IsInUse();
    }
    EXPECT_EQ(flowing, expectedFlowing);
}

TEST_F(AnimateCommandTest, FramesStepTheClockFromTheStart)
{
    // The same steps on the library's own clock.
    f.SetFramesPerOp(3);
    f.ResetTime();
    long time = 0;
    CString ops;
    f.SetCurrentAnimationParams(time, ops);
    for (int i = 0; i < 9; ++i) {
        int t = 0, last = 0;
        f.Animate(t, last);
    }
    f.SetCurrentAnimationParams(time, ops);
    ASSERT_GT(time, 0);
    const auto nine = runCommand(cli() + " animate " + sample() + " --frame 9 --frames-per-op 3");
    ASSERT_EQ(nine.exitCode, 0) << nine.err;
    EXPECT_NE(nine.out.find("Frame 9\nTime " + std::to_string(time) + " s"), std::string::npos)
        << nine.out.substr(0, 200);

    // Far beyond the end the clock stops at the last time.
    const auto beyond = runCommand(cli() + " animate " + sample() + " --frame 100000000 --frames-per-op 1");
    ASSERT_EQ(beyond.exitCode, 0) << beyond.err;
    EXPECT_NE(beyond.out.find("(the end of the run was reached"), std::string::npos);
    EXPECT_NE(beyond.out.find("Time " + std::to_string(f.Timeline()->GetLastTime()) + " s"), std::string::npos);
}

} // namespace
} // namespace batchplant::test

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "TestSupport.h"
#include "batchplant/platform/Platform.h"

using namespace batchplant;

TEST(MessageBox, RoutesToTheInstalledHandlerAndRestoresTheDefault)
{
    {
        test::MessageRecorder rec(IDYES);
        EXPECT_EQ(AfxMessageBox("first"), IDYES);
        EXPECT_EQ(AfxMessageBox("second?", MB_YESNO), IDYES);
        ASSERT_EQ(rec.count(), 2u);
        EXPECT_EQ(rec.texts()[0], "first");
        EXPECT_EQ(rec.types()[1], static_cast<unsigned>(MB_YESNO));
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(AfxMessageBox("to stderr"), IDOK);
    EXPECT_EQ(AfxMessageBox("question", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "to stderr\nquestion\n");
}

TEST(WaitCursor, CallsTheHooksInPairs)
{
    int begins = 0, ends = 0;
    WaitCursorHooks old = SetWaitCursorHooks({[&] { ++begins; }, [&] { ++ends; }});
    {
        CWaitCursor w;
        EXPECT_EQ(begins, 1);
        EXPECT_EQ(ends, 0);
    }
    CCmdTarget t;
    t.BeginWaitCursor();
    t.EndWaitCursor();
    EXPECT_EQ(begins, 2);
    EXPECT_EQ(ends, 2);
    SetWaitCursorHooks(std::move(old));
}

TEST(Guid, IsRandomAndVersionFour)
{
    std::set<std::uint32_t> firsts;
    for (int i = 0; i < 64; ++i) {
        GUID g;
        ASSERT_EQ(CoCreateGuid(&g), 0);
        EXPECT_EQ(g.Data3 >> 12, 4);
        EXPECT_EQ(g.Data4[0] & 0xC0, 0x80);
        firsts.insert(g.Data1);
    }
    EXPECT_GT(firsts.size(), 60u);
    EXPECT_NE(CoCreateGuid(nullptr), 0);
}

TEST(AmbientPressure, IsHostSettableAndIgnoresNonsense)
{
    EXPECT_DOUBLE_EQ(GetAmbientPressure(), 101325.0);
    SetAmbientPressure(95000.0);
    EXPECT_DOUBLE_EQ(GetAmbientPressure(), 95000.0);
    SetAmbientPressure(std::nan(""));
    EXPECT_DOUBLE_EQ(GetAmbientPressure(), 95000.0);
    SetAmbientPressure(kStandardAtmosphere);
}

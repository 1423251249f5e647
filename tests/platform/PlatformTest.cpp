// The platform layer: text, dates, message boxes, wait cursors and GUIDs.

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "batchplant/platform/Platform.h"

using namespace batchplant;

TEST(CString, CountsAndIndexesUtf16CodeUnits)
{
    const CString umlaut("Bestellungen Größe"); // ö and ß are one unit each
    EXPECT_EQ((std::vector{umlaut.GetLength(), int{umlaut.GetAt(15)}}), (std::vector{18, int{u'ö'}}));
    const CString astral("a\xF0\x9F\x98\x80z"); // U+1F600 needs a surrogate pair
    EXPECT_EQ((std::vector{astral.GetLength(), astral.Find("z"), int{astral.GetAt(99)}, int{astral.GetAt(-1)}}),
              (std::vector{4, 3, 0, 0}));
    EXPECT_EQ(astral.ToUtf16(), std::u16string(u"a\U0001F600z"));
    // Back from UTF-16, an unpaired surrogate included; a slice keeps the pair whole.
    EXPECT_EQ((std::vector{CString::FromUtf16(astral.ToUtf16()), CString::FromUtf16(u"x\xD800"), astral.Mid(1, 2)}),
              (std::vector<CString>{astral, "x\xEF\xBF\xBD", "\xF0\x9F\x98\x80"}));
    // Malformed bytes never make the walk leave the buffer.
    const CString bad(std::string("ab\xC3", 3)); // truncated two-byte sequence
    EXPECT_EQ(bad.ToUtf16(), std::u16string(u"ab\xFFFD"));
    EXPECT_EQ(CString(std::string("\xFF\xFE", 2)).GetLength(), 2);
}

TEST(CString, ComparesFindsSlicesFormatsAndHashesLikeTheDesktopHosts)
{
    // {a, b, sign of Compare, sign of CompareNoCase}
    const std::tuple<const char*, const char*, int, int> pairs[] = {{"gas", "GAS", 1, 0},  {"abc", "ABD", 1, -1},
                                                                    {"abcd", "ABC", 1, 1}, {"A", "a", -1, 0},
                                                                    {"a", "b", -1, -1},    {"b", "b", 0, 0}};
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const auto& [pa, pb, exact, folded] : pairs) {
        const CString a(pa), b(pb);
        EXPECT_EQ((std::vector{sign(a.Compare(b)), sign(b.Compare(a)), sign(a.CompareNoCase(b)),
                               sign(b.CompareNoCase(a)), (a < b) - (b < a)}),
                  (std::vector{exact, -exact, folded, -folded, -exact}))
            << pa << " " << pb;
    }
    const CString s("Buffer Tank 2");
    EXPECT_EQ((std::vector{s.Find("Tank"), s.Find("tank"), s.Find("Tank", 8), s.Find("", 99)}),
              (std::vector{7, -1, -1, -1}));
    EXPECT_EQ((std::vector{s.Left(6), s.Right(1), s.Mid(7), s.Left(-3), s.Mid(50), s.Right(50),
                           CString("Cubic ft").MakeUpper(), CString("  x y \r\n").Trim()}),
              (std::vector<CString>{"Buffer", "2", "Tank 2", "", "", s, "CUBIC FT", "x y"}));
    CString floor;
    floor.Format("%s", std::string("Floor"));
    floor += " " + CString("1") + " tail";
    floor.AppendFormat(" %s", CString("C"));
    EXPECT_EQ(floor.str(), "Floor 1 tail C");
    EXPECT_EQ(CString::Formatted("100%").str(), "100%"); // a format with no arguments is taken literally
    // hash = hash * 33 + unit over UTF-16 code units; ö is one unit
    EXPECT_EQ((std::vector{HashKey(""), HashKey("AB"), HashKey("\xC3\xB6")}),
              (std::vector{0u, 65u * 33u + 66u, 0xF6u}));
}

TEST(COleDateTime, FieldsAndDayNumbersConvertBothWaysAndImpossibleFieldsAreRejected)
{
    // Before the epoch the fraction still counts forward within the day: -1.25 is 1899-12-29 06:00.
    // Leap days follow the 400-year rule; NaN marks fields that must be refused.
    const double bad = std::nan("");
    const struct {
        int f[8]; // y, mo, d, h, mi, s, day of week (1 = Sunday), day of year
        double days;
    } cases[] = {
        // clang-format off
        {{1899, 12, 30, 0, 0, 0, 7, 364}, 0}, {{1900, 1, 1, 6, 0, 0, 2, 1}, 2.25}, {{2000, 1, 1, 0, 0, 0, 7, 1}, 36526},
        {{1899, 12, 29, 6, 0, 0, 6, 363}, -1.25}, {{2026, 3, 15, 13, 45, 30, 1, 74}, 46096.5732638889},
        {{2024, 12, 31, 23, 59, 59, 3, 366}, 45657.999988425926}, {{2000, 2, 29, 0, 0, 0, 3, 60}, 36585.0},
        {{2024, 2, 29, 0, 0, 0, 5, 60}, 45351.0}, {{2025, 2, 29}, bad}, {{1900, 2, 29}, bad}, {{2024, 13, 1}, bad},
        {{2024, 0, 1}, bad}, {{2024, 1, 0}, bad}, {{2024, 1, 1, 24}, bad}, {{2024, 1, 1, 0, 60}, bad},
        {{2024, 1, 1, 0, 0, 60}, bad}, {{99, 1, 1}, bad},
        // clang-format on
    };
    for (const auto& c : cases) {
        const int* f = c.f;
        SCOPED_TRACE(testing::PrintToString(std::vector(f, f + 6)));
        const COleDateTime built(f[0], f[1], f[2], f[3], f[4], f[5]);
        if (std::isnan(c.days)) {
            EXPECT_TRUE(built.GetStatus() == COleDateTime::invalid && built.GetYear() == -1 && built.ToIso().IsEmpty());
            continue;
        }
        EXPECT_TRUE(built.GetStatus() == COleDateTime::valid && std::fabs(built.m_dt - c.days) < 1e-9) << built.m_dt;
        const COleDateTime t(c.days);
        EXPECT_EQ((std::vector{t.GetYear(), t.GetMonth(), t.GetDay(), t.GetHour(), t.GetMinute(), t.GetSecond(),
                               t.GetDayOfWeek(), t.GetDayOfYear()}),
                  std::vector(f, f + 8));
    }
    // Values beyond year 9999 or not finite split into nothing.
    EXPECT_TRUE(COleDateTime(1e12).GetYear() == -1 && COleDateTime(bad).GetYear() == -1);
    EXPECT_EQ(COleDateTime(2026, 3, 15, 13, 45, 30).ToIso().str(), "2026-03-15T13:45:30");
    EXPECT_EQ(COleDateTime(100, 1, 1, 0, 0, 0).Format("%Y-%m-%d %%Y").str(), "0100-01-01 %Y");
    EXPECT_GE(COleDateTime::GetCurrentTime().GetYear(), 2024);
}

TEST(COleDateTime, ParsesIsoTextAndRefusesTheRest)
{
    const double eight = COleDateTime(2026, 1, 5, 8, 0, 0).m_dt, refused = std::nan("");
    // Each text and its offset from 08:00 (NaN: refused).
    const std::pair<const char*, double> texts[] = {
        // clang-format off
        {"2026-01-05T08:00:00", 0}, {"2026-01-05 08:30", 30.0 / 1440}, {"2026-01-05", -8.0 / 24},
        {" 2026-01-05T08:00:00.5Z ", 0.5 / 86400}, {"", refused}, {"yesterday", refused}, {"2026-1-5", refused},
        {"2026-02-30", refused}, {"2026-01-05T25:00", refused}, {"2026-01-05Tjunk", refused}, {"2026- 1- 5", refused},
        {"+026-01-05", refused}, {"2026-01-05T08:00:00.5e3", refused}, {"2026-01-05T08:00:00.", refused},
        {"9999-12-31T23:59:59.9", refused}, // rounds into year 10000
        // clang-format on
    };
    for (const auto& [text, offset] : texts) {
        COleDateTime t;
        EXPECT_EQ(t.ParseDateTime(text), !std::isnan(offset)) << text;
        EXPECT_EQ(t.GetStatus(), std::isnan(offset) ? COleDateTime::invalid : COleDateTime::valid) << text;
        if (!std::isnan(offset)) {
            EXPECT_NEAR(t.m_dt, eight + offset, 1e-9) << text;
        }
    }
}

TEST(COleDateTime, OrdersAsPointsInTimeAcrossTheEpoch)
{
    const COleDateTime a(-1.25), b(-1.75), c(0.5); // 1899-12-29 06:00 and 18:00, 1899-12-30 12:00
    EXPECT_TRUE(a < b && b < c && c > b && a <= a && c >= a && !(b <= a) && !(a == b)); // although -1.25 > -1.75
    EXPECT_NEAR((b - a).GetTotalHours(), 12.0, 1e-9);
    EXPECT_NEAR((a + COleDateTimeSpan(0, 30, 0, 0)).m_dt, 0.5, 1e-12); // crosses the epoch
    EXPECT_NEAR((c - COleDateTimeSpan(1.0)).m_dt, -1.5, 1e-12);
    EXPECT_EQ(COleDateTime::FromLinearDays(-2.0).m_dt, -2.0) << "whole days before the epoch keep their sign";
}

TEST(HostHooks, MessageBoxesWithoutAHandlerGoToStderrAndWaitCursorsCallTheHooksInPairs)
{
    // Installed handlers: every MessageRecorder in the suite.
    testing::internal::CaptureStderr();
    EXPECT_EQ(AfxMessageBox("to stderr"), IDOK);
    EXPECT_EQ(AfxMessageBox("question", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "to stderr\nquestion\n");

    int begins = 0, ends = 0;
    WaitCursorHooks old = SetWaitCursorHooks({[&] { ++begins; }, [&] { ++ends; }});
    {
        const CWaitCursor w;
        EXPECT_EQ(begins - ends, 1);
    }
    CCmdTarget().BeginWaitCursor();
    CCmdTarget().EndWaitCursor();
    EXPECT_EQ(begins + ends, 4);
    SetWaitCursorHooks(std::move(old));
}

TEST(Guid, IsRandomAndVersionFour)
{
    std::set<std::uint32_t> firsts;
    for (int i = 0; i < 64; ++i) {
        GUID g;
        ASSERT_EQ(CoCreateGuid(&g), 0);
        EXPECT_TRUE(g.Data3 >> 12 == 4 && (g.Data4[0] & 0xC0) == 0x80) << "version 4, RFC 4122 variant";
        firsts.insert(g.Data1);
    }
    EXPECT_GT(firsts.size(), 60u);
    EXPECT_NE(CoCreateGuid(nullptr), 0);
}

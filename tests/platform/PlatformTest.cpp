// The platform layer: text, dates, message boxes, wait cursors and GUIDs.

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "batchplant/platform/Platform.h"

using namespace batchplant;

TEST(CString, CountsUtf16UnitsComparesFindsSlicesFormatsAndHashesLikeTheDesktopHosts)
{
    const CString umlaut("Bestellungen Größe");                     // ö and ß are one unit each
    const CString astral("a\xF0\x9F\x98\x80z"), s("Buffer Tank 2"); // U+1F600 needs a surrogate pair
    EXPECT_EQ((std::vector{umlaut.GetLength(), int{umlaut.GetAt(15)}, astral.GetLength(), astral.Find("z"),
                           int{astral.GetAt(99)}, int{astral.GetAt(-1)}, s.Find("Tank"), s.Find("tank"),
                           s.Find("Tank", 8), s.Find("", 99)}),
              (std::vector{18, int{u'ö'}, 4, 3, 0, 0, 7, -1, -1, -1}));
    // Back from UTF-16, an unpaired surrogate included; a slice keeps the pair whole.
    EXPECT_EQ(astral.ToUtf16(), std::u16string(u"a\U0001F600z"));
    EXPECT_EQ((std::vector{CString::FromUtf16(astral.ToUtf16()), CString::FromUtf16(u"x\xD800"), astral.Mid(1, 2)}),
              (std::vector<CString>{astral, "x\xEF\xBF\xBD", "\xF0\x9F\x98\x80"}));
    // Malformed bytes (a truncated two-byte sequence, bytes no sequence starts with) never leave the buffer.
    EXPECT_EQ(CString(std::string("ab\xC3", 3)).ToUtf16(), std::u16string(u"ab\xFFFD"));
    EXPECT_EQ(CString(std::string("\xFF\xFE", 2)).GetLength(), 2);
    // {a, b, sign of Compare, sign of CompareNoCase}
    const std::tuple<const char*, const char*, int, int> pairs[] = {
        {"gas", "GAS", 1, 0}, {"abc", "ABD", 1, -1}, {"abcd", "ABC", 1, 1}, {"A", "a", -1, 0},
        {"a", "b", -1, -1},   {"b", "a", 1, 1},      {"b", "b", 0, 0}};
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const auto& [a, b, exact, folded] : pairs)
        EXPECT_EQ((std::vector{sign(CString(a).Compare(b)), sign(CString(a).CompareNoCase(b)), int{CString(a) < b},
                               int{b < CString(a)}}),
                  (std::vector{exact, folded, int{exact < 0}, int{exact > 0}}))
            << a << " " << b;
    CString floor;
    floor.Format("%s", std::string("Floor"));
    floor.AppendFormat("%s", " " + CString("1") + " tail C");
    EXPECT_EQ((std::vector{s.Left(6), s.Right(1), s.Mid(7), s.Left(-3), s.Mid(50), s.Right(50),
                           CString("Cubic ft").MakeUpper(), CString("  x y \r\n").Trim(), floor,
                           CString::Formatted("100%")}), // a format with no arguments is taken literally
              (std::vector<CString>{"Buffer", "2", "Tank 2", "", "", s, "CUBIC FT", "x y", "Floor 1 tail C", "100%"}));
    // hash = hash * 33 + unit over UTF-16 code units; ö is one unit
    EXPECT_EQ((std::vector{HashKey(""), HashKey("AB"), HashKey("\xC3\xB6")}),
              (std::vector{0u, 65u * 33u + 66u, 0xF6u}));
}

TEST(COleDateTime, FieldsDayNumbersAndIsoTextConvertBothWaysImpossibleOnesAreRefusedAndPointsOrderInTime)
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
        const bool valid = !std::isnan(c.days); // a refused one splits into nothing
        EXPECT_EQ(built.GetStatus(), valid ? built.valid : built.invalid);
        EXPECT_NEAR(built.m_dt, valid ? c.days : 0.0, 1e-9);
        const COleDateTime t = valid ? COleDateTime(c.days) : built;
        EXPECT_EQ((std::vector{t.GetYear(), t.GetMonth(), t.GetDay(), t.GetHour(), t.GetMinute(), t.GetSecond(),
                               t.GetDayOfWeek(), t.GetDayOfYear()}),
                  valid ? std::vector(f, f + 8) : std::vector(8, -1));
    }
    EXPECT_TRUE(COleDateTime(1e12).GetYear() == -1 && COleDateTime(bad).GetYear() == -1); // beyond 9999, not finite
    EXPECT_EQ(COleDateTime(100, 1, 1, 0, 0, 0).Format("%Y-%m-%d %%Y").str(), "0100-01-01 %Y");
    // Points in time order as such across the epoch, although -1.25 > -1.75.
    const COleDateTime a(-1.25), b(-1.75), c(0.5); // 1899-12-29 06:00 and 18:00, 1899-12-30 12:00
    EXPECT_TRUE(a < b && b < c && c > b && a <= a && c >= a && !(b <= a) && !(a == b));
    EXPECT_NEAR((b - a).GetTotalHours(), 12.0, 1e-9);
    EXPECT_NEAR((a + COleDateTimeSpan(0, 30, 0, 0)).m_dt, 0.5, 1e-12); // crosses the epoch
    EXPECT_NEAR((c - COleDateTimeSpan(1.0)).m_dt, -1.5, 1e-12);
    EXPECT_EQ(COleDateTime::FromLinearDays(-2.0).m_dt, -2.0) << "whole days before the epoch keep their sign";
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
        const bool valid = t.ParseDateTime(text);
        EXPECT_TRUE(valid == !std::isnan(offset) && t.GetStatus() == (valid ? t.valid : t.invalid)) << text;
        EXPECT_NEAR(t.m_dt, valid ? eight + offset : 0.0, 1e-9) << text; // a refused text leaves no date
    }
}

TEST(HostHooks, MessageBoxesWithoutAHandlerGoToStderrWaitCursorsCallTheHooksInPairsAndGuidsAreRandom)
{
    testing::internal::CaptureStderr(); // the installed handlers are the suite's MessageRecorders
    EXPECT_EQ((std::vector{AfxMessageBox("to stderr"), AfxMessageBox("question", MB_YESNO | MB_ICONQUESTION)}),
              (std::vector<int>{IDOK, IDNO}));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "to stderr\nquestion\n");
    std::string calls;
    WaitCursorHooks old = SetWaitCursorHooks({[&] { calls += '('; }, [&] { calls += ')'; }});
    CWaitCursor{};
    CCmdTarget().BeginWaitCursor();
    CCmdTarget().EndWaitCursor();
    EXPECT_EQ(calls, "()()");
    SetWaitCursorHooks(std::move(old));
    // GUIDs are random, version 4, RFC 4122 variant.
    std::set<std::uint32_t> firsts;
    for (int i = 0; i < 64; ++i) {
        GUID g;
        ASSERT_EQ(CoCreateGuid(&g), 0);
        EXPECT_TRUE(g.Data3 >> 12 == 4 && (g.Data4[0] & 0xC0) == 0x80);
        firsts.insert(g.Data1);
    }
    EXPECT_TRUE(firsts.size() > 60 && CoCreateGuid(nullptr) != 0);
}

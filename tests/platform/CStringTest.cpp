#include <gtest/gtest.h>

#include "batchplant/platform/CString.h"

using batchplant::CString;

TEST(CString, FormatsPrintfStyleWithTextArguments)
{
    CString s;
    const std::pair<CString, const char*> cases[] = {
        {CString::Formatted("%.3f %s", 37.77777, CString("C")), "37.778 C"},
        {CString::Formatted("%c  %d\r\n", 'A', 12), "A  12\r\n"},
        {CString::Formatted("%2d|0%d", 5, 7), " 5|07"},
        {CString::Formatted("100%"), "100%"}}; // a format with no arguments is taken literally
    for (const auto& [got, want] : cases)
        EXPECT_EQ(got.str(), want);
    s.Format("Floor %d", 3);
    s.AppendFormat(" %s", std::string("tail"));
    EXPECT_EQ(s.str(), "Floor 3 tail");
}

TEST(CString, CountsAndIndexesUtf16CodeUnits)
{
    const CString ascii("Reactor");
    EXPECT_EQ(ascii.GetLength(), 7);
    const CString umlaut("Bestellungen Größe"); // ö and ß are one unit each
    EXPECT_EQ(umlaut.GetLength(), 18);
    EXPECT_EQ(umlaut.GetAt(15), u'ö');
    const CString astral("a\xF0\x9F\x98\x80z"); // U+1F600 needs a surrogate pair
    EXPECT_EQ(astral.GetLength(), 4);
    EXPECT_EQ(astral.ToUtf16(), std::u16string(u"a\U0001F600z"));
    EXPECT_EQ(CString::FromUtf16(astral.ToUtf16()), astral);
    EXPECT_EQ(astral.Find("z"), 3);
    EXPECT_EQ(astral.Mid(1, 2).str(), "\xF0\x9F\x98\x80");
    EXPECT_EQ(astral.GetAt(99), 0);
    EXPECT_EQ(astral.GetAt(-1), 0);
}

TEST(CString, MalformedUtf8NeverLeavesTheBuffer)
{
    const CString bad(std::string("ab\xC3", 3)); // truncated two-byte sequence
    EXPECT_EQ(bad.GetLength(), 3);
    EXPECT_EQ(bad.ToUtf16()[2], u'\xFFFD');
    const CString lone(std::string("\xFF\xFE", 2));
    EXPECT_EQ(lone.GetLength(), 2);
}

TEST(CString, ComparesFindsAndSlices)
{
    EXPECT_EQ(CString("gas").CompareNoCase("GAS"), 0);
    EXPECT_LT(CString("abc").CompareNoCase("ABD"), 0);
    EXPECT_GT(CString("abcd").CompareNoCase("ABC"), 0);
    EXPECT_LT(CString("A").Compare("a"), 0);
    EXPECT_TRUE(CString("a") < CString("b"));

    const CString s("Buffer Tank 2");
    EXPECT_EQ(s.Find("Tank"), 7);
    EXPECT_EQ(s.Find("tank"), -1);
    EXPECT_EQ(s.Find("Tank", 8), -1);
    EXPECT_EQ(s.Find("", 99), -1);
    EXPECT_EQ(s.Left(6).str(), "Buffer");
    EXPECT_EQ(s.Right(1).str(), "2");
    EXPECT_EQ(s.Mid(7).str(), "Tank 2");
    EXPECT_EQ(s.Left(-3).str(), "");
    EXPECT_EQ(s.Mid(50).str(), "");
    EXPECT_EQ(s.Right(50), s);

    CString u("Cubic ft");
    u.MakeUpper();
    EXPECT_EQ(u.str(), "CUBIC FT");
    CString t("  x y \r\n");
    EXPECT_EQ(t.Trim().str(), "x y");
}

TEST(CString, ConcatenatesAndHashesLikeTheDesktopHosts)
{
    CString a("Floor");
    a += " ";
    a += CString("1");
    EXPECT_EQ((a + "!").str(), "Floor 1!");
    EXPECT_EQ(("<" + a).str(), "<Floor 1");
    // hash = hash * 33 + unit over UTF-16 code units
    EXPECT_EQ(batchplant::HashKey(""), 0u);
    EXPECT_EQ(batchplant::HashKey("A"), 65u);
    EXPECT_EQ(batchplant::HashKey("AB"), 65u * 33u + 66u);
    EXPECT_EQ(batchplant::HashKey("\xC3\xB6"), 0xF6u); // ö is one code unit
}

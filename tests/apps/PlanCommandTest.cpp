// Tests of `batchplant plan`, run as a separate process on the generated
// sample: the SVG is well-formed XML with one rectangle per floor, one
// circle group per shown vessel and their tags; the run's state shows at a
// time; bad arguments and unreadable files are refused.

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "SampleDatabase.h"
#include "TestSupport.h"

namespace batchplant::test {
namespace {

// A small well-formedness check: balanced tags, one root, quoted
// attributes, no stray '<' or '&' in text. Returns "" or what is wrong.
std::string xmlProblem(const std::string& x)
{
    std::vector<std::string> open;
    bool rootSeen = false;
    std::size_t i = 0;
    auto isName = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':';
    };
    auto entityAt = [&](std::size_t at) {
        for (const char* e : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"})
            if (x.compare(at, std::string(e).size(), e) == 0) return true;
        return false;
    };
    while (i < x.size()) {
        if (x[i] == '&') {
            if (!entityAt(i)) return "bad entity at " + std::to_string(i);
            ++i;
            continue;
        }
        if (x[i] != '<') {
            if (open.empty() && !std::isspace(static_cast<unsigned char>(x[i])))
                return "text outside the root at " + std::to_string(i);
            ++i;
            continue;
        }
        if (x.compare(i, 2, "<?") == 0) {
            const std::size_t end = x.find("?>", i);
            if (end == std::string::npos) return "unclosed declaration";
            i = end + 2;
            continue;
        }
        if (x.compare(i, 4, "<!--") == 0) {
            const std::size_t end = x.find("-->", i);
            if (end == std::string::npos) return "unclosed comment";
            i = end + 3;
            continue;
        }
        const bool closing = x.compare(i, 2, "</") == 0;
        i += closing ? 2 : 1;
        std::size_t start = i;
        while (i < x.size() && isName(x[i]))
            ++i;
        const std::string name = x.substr(start, i - start);
        if (name.empty()) return "tag without a name at " + std::to_string(start);
        if (closing) {
            while (i < x.size() && std::isspace(static_cast<unsigned char>(x[i])))
                ++i;
            if (i >= x.size() || x[i] != '>') return "bad closing tag " + name;
            if (open.empty() || open.back() != name) return "</" + name + "> does not close the open element";
            open.pop_back();
            ++i;
            continue;
        }
        if (open.empty() && rootSeen) return "second root element " + name;
        // Attributes.
        while (true) {
            while (i < x.size() && std::isspace(static_cast<unsigned char>(x[i])))
                ++i;
            if (i >= x.size()) return "unclosed tag " + name;
            if (x[i] == '>' || x.compare(i, 2, "/>") == 0) break;
            start = i;
            while (i < x.size() && isName(x[i]))
                ++i;
            if (i == start) return "bad attribute in " + name;
            if (i >= x.size() || x[i] != '=') return "attribute without a value in " + name;
            ++i;
            if (i >= x.size() || (x[i] != '"' && x[i] != '\'')) return "unquoted attribute in " + name;
            const char quote = x[i++];
            const std::size_t end = x.find(quote, i);
            if (end == std::string::npos) return "unclosed attribute in " + name;
            for (std::size_t k = i; k < end; ++k) {
                if (x[k] == '<') return "'<' in an attribute of " + name;
                if (x[k] == '&' && !entityAt(k)) return "bad entity in an attribute of " + name;
            }
            i = end + 1;
        }
        rootSeen = true;
        if (x[i] == '/') {
            i += 2;
        } else {
            open.push_back(name);
            ++i;
        }
    }
    if (!open.empty()) return "unclosed element " + open.back();
    if (!rootSeen) return "no root element";
    return "";
}

std::size_t countOf(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class PlanCommand : public ::testing::Test {
protected:
    CommandResult plan(const std::string& args)
    {
        return runCommand(std::string(BATCHPLANT_CLI) + " plan \"" + SampleDatabasePath().string() + "\" -o \"" +
                          svg.string() + "\" " + args);
    }
    TempDir dir;
    std::filesystem::path svg = dir.file("plan.svg");
};

TEST(XmlCheck, FindsWhatIsWrong)
{
    EXPECT_EQ(xmlProblem("<?xml version=\"1.0\"?>\n<a x=\"1\"><b/><c>t &amp; u</c></a>\n"), "");
    EXPECT_NE(xmlProblem("<a><b></a></b>"), "");
    EXPECT_NE(xmlProblem("<a x=1/>"), "");
    EXPECT_NE(xmlProblem("<a>R & D</a>"), "");
    EXPECT_NE(xmlProblem("<a/><b/>"), "");
    EXPECT_NE(xmlProblem("<a>"), "");
}

TEST_F(PlanCommand, DrawsEveryFloorAndShownVessel)
{
    const CommandResult r = plan("");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string text = readFile(svg);
    EXPECT_EQ(xmlProblem(text), "");
    EXPECT_EQ(text.rfind("<?xml", 0), 0u);
    EXPECT_NE(text.find("xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);
    // The sample has two plants, one floor each.
    EXPECT_EQ(countOf(text, "<rect class=\"floor\""), 2u);
    EXPECT_NE(text.find("Building 1 - Synthesis"), std::string::npos);
    EXPECT_GE(countOf(text, "<g class=\"vessel"), 20u);
    EXPECT_EQ(countOf(text, "<g class=\"vessel"), countOf(text, "<circle class=\"shell\""));
    EXPECT_NE(text.find(">R-101</text>"), std::string::npos);
    EXPECT_GE(countOf(text, "<polyline class=\"pipe"), 10u);
    // Nothing runs before a time is given.
    EXPECT_EQ(countOf(text, "pipe flowing"), 0u);
    EXPECT_EQ(countOf(text, "class=\"contents\""), 0u);
    EXPECT_EQ(text.find("nan"), std::string::npos);
    EXPECT_EQ(text.find("inf"), std::string::npos);
}

TEST_F(PlanCommand, ShowsTheRunAtATime)
{
    const CommandResult r = plan("--at 36h");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string text = readFile(svg);
    EXPECT_EQ(xmlProblem(text), "");
    EXPECT_NE(text.find("At 1d 12:00:00 into the run"), std::string::npos);
    EXPECT_GT(countOf(text, "class=\"contents\""), 0u) << "some vessel holds material";
    EXPECT_GT(countOf(text, "pipe flowing"), 0u) << "some transfer runs";
}

TEST_F(PlanCommand, ForceIterationsMoveTheWizardLayout)
{
    ASSERT_EQ(plan("--layout wizard").exitCode, 0);
    const std::string wizard = readFile(svg);
    ASSERT_EQ(plan("--layout force:0").exitCode, 0);
    EXPECT_EQ(readFile(svg), wizard);
    const CommandResult r = plan("--layout force:30");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string force = readFile(svg);
    EXPECT_EQ(xmlProblem(force), "");
    EXPECT_NE(force, wizard);
    EXPECT_EQ(countOf(force, "<g class=\"vessel"), countOf(wizard, "<g class=\"vessel"));
}

TEST_F(PlanCommand, RefusesBadArgumentsAndFiles)
{
    CommandResult r = plan("--layout spring");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("bad layout \"spring\""), std::string::npos) << r.err;
    r = plan("--layout force:-3");
    EXPECT_EQ(r.exitCode, 2);
    r = plan("--at 3parsecs");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("bad time \"3parsecs\""), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(svg));

    r = runCommand(std::string(BATCHPLANT_CLI) + " plan \"" + dir.file("missing.db").string() + "\" -o \"" +
                   svg.string() + "\"");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;

    r = runCommand(std::string(BATCHPLANT_CLI) + " plan \"" + SampleDatabasePath().string() + "\" -o \"" +
                   dir.file("no/such/dir/plan.svg").string() + "\"");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
}

} // namespace
} // namespace batchplant::test

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
#include "Xml.h"

namespace batchplant::test {
namespace {

std::size_t countOf(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
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

TEST_F(PlanCommand, DrawsEveryFloorAndShownVessel)
{
    const CommandResult r = plan("");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string text = ReadFile(svg);
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
    const std::string text = ReadFile(svg);
    EXPECT_EQ(xmlProblem(text), "");
    EXPECT_NE(text.find("At 1d 12:00:00 into the run"), std::string::npos);
    EXPECT_GT(countOf(text, "class=\"contents\""), 0u) << "some vessel holds material";
    EXPECT_GT(countOf(text, "pipe flowing"), 0u) << "some transfer runs";
}

TEST_F(PlanCommand, ForceIterationsMoveTheWizardLayout)
{
    ASSERT_EQ(plan("--layout wizard").exitCode, 0);
    const std::string wizard = ReadFile(svg);
    ASSERT_EQ(plan("--layout force:0").exitCode, 0);
    EXPECT_EQ(ReadFile(svg), wizard);
    const CommandResult r = plan("--layout force:30");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string force = ReadFile(svg);
    EXPECT_EQ(xmlProblem(force), "");
    EXPECT_NE(force, wizard);
    EXPECT_EQ(countOf(force, "<g class=\"vessel"), countOf(wizard, "<g class=\"vessel"));
}

} // namespace
} // namespace batchplant::test

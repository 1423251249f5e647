// Tests of `batchplant units`, run as a separate process.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "batchplant/foundation/Units.h"
#include "render/UnitQuantity.h"

namespace batchplant {
namespace {

test::CommandResult units(const std::string& args)
{
    return test::runCommand(std::string(BATCHPLANT_CLI) + " units " + args);
}

std::vector<std::string> split(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, sep))
        parts.push_back(part);
    return parts;
}

TEST(UnitsCommand, ConvertsThroughTheInternalUnit)
{
    auto r = units("100 F C");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "37.778 C\n");
    EXPECT_EQ(r.err, "");

    r = units("-40 c F"); // any case; a negative value is a value, not an option
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "-40.000 F\n");

    r = units("1 'Cubic ft' liter");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "28.317 liter\n");

    r = units("2 'bar(g)' psig"); // both measured from the same ambient pressure
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "29.008 psig\n");

    r = units("1.5 h min --digits 5");
    EXPECT_EQ(r.out, "90.00000 min\n") << r.err;
    // Different quantities are named, not converted through the kind's unit.
    EXPECT_NE(units("1 kg C").err.find("kg (mass) to C (temperature)"), std::string::npos);
}

TEST(UnitsCommand, ListPrintsEveryRowLosslessly)
{
    const auto r = units("--list");
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

TEST(UnitsCommand, UnknownUnitIsBadInput)
{
    for (const char* args : {"1 furlong m", "1 m furlong", "1 '% max' m", "1 ' C' K"}) {
        const auto r = units(args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_NE(r.err.find("unknown"), std::string::npos) << r.err;
        // One message of the command's own, not the library's box text as well.
        EXPECT_EQ(r.err.find("Could not convert"), std::string::npos) << r.err;
        EXPECT_EQ(split(r.err, '\n').size(), 1u) << r.err;
    }
    EXPECT_NE(units("1 furlong m").err.find("\"furlong\""), std::string::npos);
}

TEST(UnitsCommand, MissingOrConflictingArgumentsAreBadInput)
{
    for (const char* args :
         {"", "1", "1 C", "abc C F", "--list 1 C F", "1 C F extra", "1 kg C", "1 kg/h kg", "1 C F --digits 99"}) {
        const auto r = units(args);
        EXPECT_EQ(r.exitCode, 2) << "args: " << args;
        EXPECT_EQ(r.out, "") << "args: " << args;
        EXPECT_NE(r.err, "") << "args: " << args;
    }
}

} // namespace
} // namespace batchplant

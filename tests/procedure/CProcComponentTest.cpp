#include <gtest/gtest.h>

#include <vector>

#include "batchplant/procedure/CProcComponent.h"

namespace batchplant {
namespace {

class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override { CProcComponent::ResetSharedTables(); }
    void TearDown() override { CProcComponent::ResetSharedTables(); }

    static CProcComponent make(const char* name, double mass, int phase = 0)
    {
        CProcComponent c;
        c.SetName(name);
        c.SetMass(mass);
        c.SetPhase(phase);
        return c;
    }
};

TEST_F(ComponentTest, PhaseNamesIgnoreCaseAndUnknownNamesGiveNoPhase)
{
    const std::pair<const char*, int> phases[] = {{"Liquid2", 4}, {"GAS", 1},    {"liquid1", 2},
                                                  {"Solid", 8},   {"cell1", 16}, {"CELL2", 32},
                                                  {"vapor", 0},   {"liquid", 0}, {"", 0}};
    for (const auto& [name, num] : phases)
        EXPECT_EQ(CProcComponent::GetPhaseNum(CString(name)), num) << name;

    CProcComponent c;
    c.SetPhaseName("Liquid1");
    EXPECT_EQ(c.GetPhaseName(), "Liquid1");
    EXPECT_EQ(c.GetPhaseNum(), CProcComponent::Liquid1);
}

TEST_F(ComponentTest, AbbreviatedPhaseJoinsTheLettersOfTheSetBits)
{
    const std::pair<int, const char*> phases[] = {{1 | 8, "g+s"},      {2 | 8, "l+s"},   {4, "l"},
                                                  {63, "g+l+l+s+c+c"}, {16 | 32, "c+c"}, {0, ""}};
    for (const auto& [bits, letters] : phases)
        EXPECT_EQ(make("a", 0, bits).GetAbbreviatedPhase(), letters) << bits;
}

TEST_F(ComponentTest, PlusEqualsAddsAmountsTakesIdentityAndJoinsOnlyDisjointPhases)
{
    CProcComponent gas = make("Air", 1.5, CProcComponent::Gas);
    gas.SetVolume(2.0);
    gas.SetMoles(3.0);
    gas.SetDuty(4.0);
    gas.SetMaterialID(7);
    gas.SetStreamID(70);
    gas.SetStartTime(1.0);
    gas.SetEndTime(2.0);

    CProcComponent liquid = make("Water", 0.5, CProcComponent::Liquid1);
    liquid.SetVolume(1.0);
    liquid.SetMoles(1.0);
    liquid.SetDuty(-1.0);
    liquid.SetMaterialID(9);
    liquid.SetStreamID(90);
    liquid.SetStartTime(10.0);
    liquid.SetEndTime(20.0);

    gas += liquid;
    EXPECT_EQ(gas.GetPhaseNum(), 3);
    EXPECT_DOUBLE_EQ(gas.GetMass(), 2.0);
    EXPECT_DOUBLE_EQ(gas.GetVolume(), 3.0);
    EXPECT_DOUBLE_EQ(gas.GetMoles(), 4.0);
    EXPECT_DOUBLE_EQ(gas.GetDuty(), 3.0);
    EXPECT_EQ(gas.GetName(), "Water");
    EXPECT_EQ(gas.GetMaterialID(), 9);
    EXPECT_EQ(gas.GetStreamID(), 90);
    EXPECT_DOUBLE_EQ(gas.GetStartTime(), 10.0);
    EXPECT_DOUBLE_EQ(gas.GetEndTime(), 20.0);

    CProcComponent onlyGas = make("x", 1.0, CProcComponent::Gas);
    onlyGas += make("y", 1.0, CProcComponent::Gas | CProcComponent::Liquid1);
    EXPECT_EQ(onlyGas.GetPhaseNum(), CProcComponent::Gas);
}

TEST_F(ComponentTest, ListCopiesBelongToTheListHoldingThem)
{
    CProcComponents list;
    list += make("a", 1.0);
    list += make("b", 2.0);
    list.SetShowPhase(true);
    EXPECT_EQ(list[0].GetOwner(), &list);
    EXPECT_EQ(list[1].GetOwner(), &list);

    CProcComponents copy(list);
    ASSERT_EQ(copy.Size(), 2);
    EXPECT_EQ(copy[1].GetName(), "b");
    EXPECT_EQ(copy[0].GetOwner(), &copy);
    EXPECT_TRUE(copy.GetShowPhase());

    CProcComponents assigned;
    assigned += make("old", 5.0);
    assigned = list;
    ASSERT_EQ(assigned.Size(), 2);
    EXPECT_EQ(assigned[0].GetName(), "a");
    EXPECT_EQ(assigned[1].GetOwner(), &assigned);
    EXPECT_FALSE(assigned.GetShowPhase()) << "assignment copies the elements only";

    CProcComponent total;
    list.GetTotal(total);
    EXPECT_DOUBLE_EQ(total.GetMass(), 3.0);
    EXPECT_EQ(total.GetName(), "b");
}

TEST_F(ComponentTest, HeadingsNameTheSharedUnits)
{
    CProcComponent::SetMassUOM("kg");
    CProcComponent::SetVolUOM("liter");
    CProcComponent::SetMolesUOM("kmole");
    CProcComponent::SetDutyUOM("KJ");
    CProcComponent::SetTimeUOM("h");
    const CProcComponents list;
    EXPECT_EQ(list.GetStringAt(-1, CProcComponents::Mass, false), "Mass (kg)");
    EXPECT_EQ(list.GetStringAt(-1, CProcComponents::Volume, false), "Volume (liter)");
    EXPECT_EQ(list.GetStringAt(-1, CProcComponents::Moles, false), "Moles (kmole)");
    EXPECT_EQ(list.GetStringAt(-1, CProcComponents::Duty, false), "Duty (KJ)");
    EXPECT_EQ(list.GetStringAt(-1, CProcComponents::ComponentName, false), "Component");
    EXPECT_EQ(list.GetStringAt(-2, CProcComponents::Mass, true), "(kg/h)");
    EXPECT_EQ(list.GetStringAt(-2, CProcComponents::Duty, true), "(KJ/h)");
    EXPECT_EQ(list.GetStringAt(-2, CProcComponents::ComponentName, true), "Flow rates");
}

TEST_F(ComponentTest, ValueAndNameColumns)
{
    CProcComponents list;
    CProcComponent water = make("Water", 12.5, CProcComponent::Gas | CProcComponent::Solid);
    water.SetVolume(3.0);
    water.SetStartTime(5.0);
    water.SetEndTime(5.0);
    list += water;
    CProcComponent acid = make("Acid", 8.0, 0);
    acid.SetStartTime(0.0);
    acid.SetEndTime(4.0);
    acid.SetDuty(-2.0);
    list += acid;

    EXPECT_EQ(list.GetStringAt(0, CProcComponents::ComponentName, false), "Water");
    list.SetShowPhase(true);
    EXPECT_EQ(list.GetStringAt(0, CProcComponents::ComponentName, false), "Water (g+s)");
    EXPECT_EQ(list.GetStringAt(1, CProcComponents::ComponentName, false), "Acid") << "no phase, no parentheses";

    EXPECT_EQ(list.GetStringAt(0, CProcComponents::Mass, false), "12.5000");
    EXPECT_EQ(list.GetStringAt(0, CProcComponents::Volume, false), "3.0000");
    EXPECT_EQ(list.GetStringAt(0, CProcComponents::Volume, true), "N/A") << "zero-length transfer";
    EXPECT_EQ(list.GetStringAt(1, CProcComponents::Mass, true), "2.0000");
    EXPECT_EQ(list.GetStringAt(1, CProcComponents::Duty, true), "-0.5000");
    EXPECT_EQ(list.GetStringAt(1, static_cast<CProcComponents::Type>(9), false), "0.0000");
    EXPECT_EQ(list[5].GetName(), "") << "bad position: a default component";
    EXPECT_EQ(list[-1].GetMass(), 0.0);
    EXPECT_EQ(list.GetStringAt(2, CProcComponents::Mass, false), "");
    EXPECT_EQ(list.GetStringAt(-3, CProcComponents::Mass, false), "");

    // A negative span is no rate either, and a huge amount over a tiny span
    // must not print inf.
    CProcComponents odd;
    CProcComponent backwards = make("b", 1.0);
    backwards.SetStartTime(10.0);
    backwards.SetEndTime(2.0);
    odd += backwards;
    CProcComponent huge = make("h", 1e308);
    huge.SetStartTime(0.0);
    huge.SetEndTime(1e-10);
    odd += huge;
    EXPECT_EQ(odd.GetStringAt(0, CProcComponents::Mass, true), "N/A");
    EXPECT_EQ(odd.GetStringAt(1, CProcComponents::Mass, true), "N/A");
}

TEST_F(ComponentTest, LongestStringIncludesTheHeadingAndKeepsTheEarlierOnATie)
{
    CProcComponents empty;
    EXPECT_EQ(empty.GetLongestString(CProcComponents::ComponentName), "Component");

    CProcComponents list;
    list += make("Nitrogen", 1.0);    // 8 characters
    list += make("Ammonia", 1.0);     // 7
    list += make("Isopropanol", 1.0); // 11
    list += make("Cyclohexane", 1.0); // 11, later: loses the tie
    EXPECT_EQ(list.GetLongestString(CProcComponents::ComponentName), "Isopropanol");

    CProcComponents tie;
    tie += make("Compound!", 1.0); // as long as "Component"
    EXPECT_EQ(tie.GetLongestString(CProcComponents::ComponentName), "Component");

    CProcComponent::SetMassUOM("kg");
    CProcComponents masses;
    masses += make("a", 1.0);       // "1.0000"
    masses += make("b", 123456.25); // "123456.2500", longer than "Mass (kg)"
    EXPECT_EQ(masses.GetLongestString(CProcComponents::Mass), "123456.2500");
}

std::vector<double> massesOf(const CProcComponents& list)
{
    std::vector<double> out;
    for (int i = 0; i < list.Size(); ++i)
        out.push_back(list[i].GetMass());
    return out;
}

TEST_F(ComponentTest, SortByPutsTheHeaviestFirstWhateverTheColumn)
{
    CProcComponents list;
    for (double m : {3.0, 1.0, 4.0, 1.0, 5.0, 9.0, 2.0, 6.0})
        list += make("c", m);
    list.SortBy(CProcComponents::ComponentName);
    EXPECT_EQ(massesOf(list), (std::vector<double>{9, 6, 5, 4, 3, 2, 1, 1}));
    // The elements were moved, not copied: they still belong to the list.
    EXPECT_EQ(list[0].GetOwner(), &list);

    CProcComponents same;
    for (int i = 0; i < 5; ++i)
        same += make("s", 2.0);
    same.SortBy(CProcComponents::Mass);
    EXPECT_EQ(massesOf(same), std::vector<double>(5, 2.0));

    CProcComponents empty;
    empty.SortBy(CProcComponents::Mass);
    EXPECT_EQ(empty.Size(), 0);
    CProcComponents one;
    one += make("o", 1.0);
    one.SortBy(CProcComponents::Mass);
    EXPECT_EQ(massesOf(one), std::vector<double>{1.0});

    // Ascending input is the quicksort's worst case for a last-element pivot.
    CProcComponents ordered;
    std::vector<double> descending;
    for (int i = 0; i < 5000; ++i) {
        ordered += make("c", static_cast<double>(i));
        descending.insert(descending.begin(), static_cast<double>(i));
    }
    ordered.SortBy(CProcComponents::Mass);
    EXPECT_EQ(massesOf(ordered), descending);
}

} // namespace
} // namespace batchplant

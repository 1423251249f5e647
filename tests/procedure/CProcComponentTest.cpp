#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "batchplant/procedure/CProcComponent.h"

namespace batchplant {
namespace {

CProcComponent make(const char* name, double mass, int phase = 0, double start = 0, double end = 0)
{
    CProcComponent c;
    c.SetName(name);
    c.SetMass(mass);
    c.SetPhase(phase);
    c.SetStartTime(start);
    c.SetEndTime(end);
    return c;
}

std::vector<double> masses(const CProcComponents& list)
{
    std::vector<double> out;
    for (int i = 0; i < list.Size(); ++i)
        out.push_back(list[i].GetMass());
    return out;
}

class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override { CProcComponent::ResetSharedTables(); }
    void TearDown() override { CProcComponent::ResetSharedTables(); }
};

TEST_F(ComponentTest, PhaseNamesIgnoreCaseAndAbbreviationsJoinTheSetBits)
{
    const std::pair<const char*, int> phases[] = {{"Liquid2", 4}, {"GAS", 1},    {"liquid1", 2}, {"Solid", 8},
                                                  {"cell1", 16},  {"CELL2", 32}, {"vapor", 0},   {"", 0}};
    for (const auto& [name, num] : phases)
        EXPECT_EQ(CProcComponent::GetPhaseNum(CString(name)), num) << name;
    const std::pair<int, const char*> letters[] = {{1 | 8, "g+s"}, {2 | 8, "l+s"}, {4, "l"}, {63, "g+l+l+s+c+c"}};
    for (const auto& [bits, text] : letters)
        EXPECT_EQ(make("a", 0, bits).GetAbbreviatedPhase(), text) << bits;
}

TEST_F(ComponentTest, SumsAddAmountsTakeTheIdentityAndJoinOnlyDisjointPhases)
{
    CProcComponent gas = make("Air", 1.5, CProcComponent::Gas, 1.0, 2.0);
    gas.SetVolume(2.0);
    gas.SetMoles(3.0);
    gas.SetDuty(4.0);
    CProcComponent liquid = make("Water", 0.5, CProcComponent::Liquid1, 10.0, 20.0);
    liquid.SetVolume(1.0);
    liquid.SetMoles(1.0);
    liquid.SetDuty(-1.0);
    liquid.SetMaterialID(9);
    liquid.SetStreamID(90);
    CProcComponents list;
    list += gas;
    list += liquid;
    CProcComponent total; // a list's total is the same sum
    list.GetTotal(total);
    gas += liquid;
    for (const CProcComponent& c : {gas, total}) {
        EXPECT_EQ(c.GetPhaseNum(), 3);
        EXPECT_EQ(c.GetName() + CString::Formatted("%ld", c.GetMaterialID() + c.GetStreamID()), "Water99");
        EXPECT_EQ((std::vector<double>{c.GetMass(), c.GetVolume(), c.GetMoles(), c.GetDuty(), c.GetStartTime(),
                                       c.GetEndTime()}),
                  (std::vector<double>{2.0, 3.0, 4.0, 3.0, 10.0, 20.0}));
    }
    CProcComponent onlyGas = make("x", 1.0, CProcComponent::Gas);
    onlyGas += make("y", 1.0, CProcComponent::Gas | CProcComponent::Liquid1);
    EXPECT_EQ(onlyGas.GetPhaseNum(), CProcComponent::Gas);
}

TEST_F(ComponentTest, ListCopiesBelongToTheListHoldingThem)
{
    CProcComponents list, assigned;
    list += make("a", 1.0);
    list += make("b", 2.0);
    list.SetShowPhase(true);
    CProcComponents copy(list);
    assigned += make("old", 5.0);
    assigned = list;
    for (const CProcComponents* l : {&list, &copy, &assigned}) {
        ASSERT_EQ(masses(*l), (std::vector<double>{1.0, 2.0}));
        EXPECT_EQ((*l)[1].GetOwner(), l);
    }
    EXPECT_TRUE(copy.GetShowPhase());
    EXPECT_FALSE(assigned.GetShowPhase()) << "assignment copies the elements only";
}

TEST_F(ComponentTest, CellTextsOfHeadingsValuesAndRates)
{
    CProcComponent::SetMassUOM("kg");
    CProcComponent::SetDutyUOM("KJ");
    CProcComponent::SetTimeUOM("h");
    CProcComponent::SetVolUOM("m3");
    CProcComponent::SetMolesUOM("kmol");
    CProcComponents list;
    CProcComponent water = make("Water", 12.5, CProcComponent::Gas | CProcComponent::Solid, 5.0, 5.0);
    water.SetVolume(3.0);
    list += water;
    CProcComponent acid = make("Acid", 8.0, 0, 0.0, 4.0);
    acid.SetDuty(-2.0);
    acid.SetMoles(6.0);
    list += acid;
    list += make("backwards", 1.0, 0, 10.0, 2.0);
    list += make("huge", 1e308, 0, 0.0, 1e-10); // must not print inf
    using C = CProcComponents;
    const struct {
        int row;
        C::Type column;
        bool rate;
        const char* text;
    } cells[] = {{-1, C::Mass, false, "Mass (kg)"},
                 {-1, C::Volume, false, "Volume (m3)"},
                 {-1, C::Moles, false, "Moles (kmol)"},
                 {-2, C::Mass, true, "(kg/h)"},
                 {-2, C::Volume, true, "(m3/h)"},
                 {-2, C::Moles, true, "(kmol/h)"},
                 {1, C::Moles, false, "6.0000"},
                 {-1, C::Duty, false, "Duty (KJ)"},
                 {-1, C::ComponentName, false, "Component"},
                 {-2, C::Duty, true, "(KJ/h)"},
                 {-2, C::ComponentName, true, "Flow rates"},
                 {0, C::Mass, false, "12.5000"},
                 {0, C::Volume, false, "3.0000"},
                 {0, C::Volume, true, "N/A"},
                 {1, C::Mass, true, "2.0000"},
                 {1, C::Duty, true, "-0.5000"},
                 {1, static_cast<C::Type>(9), false, "0.0000"},
                 {2, C::Mass, true, "N/A"},
                 {3, C::Mass, true, "N/A"},
                 {4, C::Mass, false, ""},
                 {-3, C::Mass, false, ""},
                 {0, C::ComponentName, false, "Water"}};
    for (const auto& c : cells)
        EXPECT_EQ(list.GetStringAt(c.row, c.column, c.rate), c.text) << c.row << " " << c.column << " " << c.rate;
    list.SetShowPhase(true);
    EXPECT_EQ(list.GetStringAt(0, C::ComponentName, false) + "|" + list.GetStringAt(1, C::ComponentName, false),
              "Water (g+s)|Acid");
    EXPECT_EQ(list[5].GetName(), "") << "bad position: a default component";
}

TEST_F(ComponentTest, LongestStringIncludesTheHeadingAndKeepsTheEarlierOnATie)
{
    CProcComponent::SetMassUOM("kg");
    const struct {
        std::vector<std::pair<const char*, double>> items;
        CProcComponents::Type column;
        const char* longest;
    } cases[] = {
        {{}, CProcComponents::ComponentName, "Component"},
        {{{"Nitrogen", 1}, {"Isopropanol", 1}, {"Cyclohexane", 1}}, CProcComponents::ComponentName, "Isopropanol"},
        {{{"Compound!", 1}}, CProcComponents::ComponentName, "Component"},
        {{{"a", 1.0}, {"b", 123456.25}}, CProcComponents::Mass, "123456.2500"}};
    for (const auto& c : cases) {
        CProcComponents list;
        for (const auto& [name, mass] : c.items)
            list += make(name, mass);
        EXPECT_EQ(list.GetLongestString(c.column), c.longest);
    }
}

TEST_F(ComponentTest, SortByPutsTheHeaviestFirstWhateverTheColumn)
{
    std::vector<double> ascending(5000); // ascending input: a last-element pivot's worst case
    for (std::size_t i = 0; i < ascending.size(); ++i)
        ascending[i] = static_cast<double>(i);
    const std::vector<double> inputs[] = {{3, 1, 4, 1, 5, 9, 2, 6}, {2, 2, 2}, {}, {1}, ascending};
    for (const auto& input : inputs) {
        CProcComponents list;
        for (double m : input)
            list += make("c", m);
        list.SortBy(CProcComponents::ComponentName);
        std::vector<double> want = input;
        std::sort(want.rbegin(), want.rend());
        EXPECT_EQ(masses(list), want);
        for (int i = 0; i < list.Size(); ++i)
            EXPECT_EQ(list[i].GetOwner(), &list) << "moved, not copied";
    }
}

} // namespace
} // namespace batchplant

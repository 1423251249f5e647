// Process units, their components and the component lists' cell texts.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "batchplant/procedure/CProcUnit.h"

namespace batchplant {
namespace {

struct Amounts {
    double mass = 0, volume = 0, moles = 0, duty = 0, start = 0, end = 0;
    int phase = 0;
};

CProcComponent make(const char* name, const Amounts& a)
{
    CProcComponent c;
    c.SetName(name);
    c.SetMass(a.mass);
    c.SetVolume(a.volume);
    c.SetMoles(a.moles);
    c.SetDuty(a.duty);
    c.SetStartTime(a.start);
    c.SetEndTime(a.end);
    c.SetPhase(a.phase);
    return c;
}

class ProcUnitTest : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        CProcUnit::ResetSharedTables();
        CProcComponent::ResetSharedTables();
    }

    // A unit under step `step`, unit procedure 2, operation 3, in internal units.
    static CProcUnit unit(long step, const CString& opType, const CString& recText, double flow = 0.002,
                          const char* pressUOM = "bar", const char* flowUOM = "liter/s")
    {
        CProcUnit u;
        u.assign(4, 3, 2, step, 60, 7200, "min", 0.5, "liter", 298.15, 310.0, "C", 200000.0, 150000.0, pressUOM,
                 step == 1 ? "Step A" : "", "v2", "1.1 Charge", "Water", opType, recText, step == 1 ? "P-1" : "", 17,
                 flow, flowUOM);
        return u;
    }
    static std::string texts(const CProcUnit& u)
    {
        return (u.OpType() + "|" + u.GetRecText() + "|" + u.GetStepName()).str();
    }
};

// Texts are shared under step, unit procedure and operation; an empty one
// keeps what is shared, except for unit procedure names.
TEST_F(ProcUnitTest, SharedTextsAreSharedByKeyAndEmptyTextsKeepThem)
{
    const CProcUnit first = unit(1, "Charge", "Charge 100 kg of water");
    EXPECT_EQ(texts(unit(1, "", "")), "Charge|Charge 100 kg of water|Step A");
    EXPECT_EQ(CProcUnit::GetUnitProcName(1, 2) + "|" + CProcUnit::GetUnitProcName(99, 98), "P-1|");
    EXPECT_EQ(texts(unit(7, "", "")), "||");
    CProcUnit u = unit(1, "", "");
    u.set_optype("");
    u.set_rectext("");
    u.setStepName("");
    EXPECT_EQ(texts(first), "Charge|Charge 100 kg of water|Step A");
    u.set_optype("React");
    EXPECT_EQ(first.OpType(), "React");
    u.set_unit_proc_name("");
    EXPECT_EQ(u.GetUnitProcName(), "");
}

TEST_F(ProcUnitTest, QuantityTextsConvertToTheSharedUnits)
{
    const CProcUnit u = unit(1, "Charge", "");
    EXPECT_EQ(u.GetStartTimeStr() + "|" + u.GetEndTimeStr() + "|" + u.GetTempAStr() + "|" + u.GetTempBStr() + "|" +
                  u.GetPressureAStr() + "|" + u.GetPressureBStr() + "|" + u.GetFlowRateStr(),
              "1.000 min|120.000 min|25.000 C|36.850 C|2.000 bar|1.500 bar|2.000 liter/s");
    EXPECT_EQ(unit(1, "", "", 1e308).GetFlowRateStr(), "N/A") << "too large to show is not printed as infinity";
    // The names are class-wide: an equipment unit, without pressure or flow
    // units, clears them, and the internal value shows as it is.
    unit(1, "", "", 0.0, "", "");
    EXPECT_EQ(u.GetPressureAStr() + "|" + CProcUnit::GetFlowRateUOM(), "200000.000 |");
    CProcUnit::set_temp_uom("K");
    EXPECT_EQ(u.GetTempAStr(), "298.150 K");
}

// Identifiers are held in 32 bits where they fit; one that does not must
// keep all of them, through copies too, and turning narrow again drops them.
TEST_F(ProcUnitTest, IdentifiersBeyond32BitsAreKeptWhole)
{
    const long big = 1L << 33;
    CProcUnit u(-big, big);
    EXPECT_TRUE(u.IsEmpty() && u.GetStart() == -big && u.GetEnd() == big);
    u.assign(big + 1, 3, -big, 1, 60, 120, "s", 0.5, "", 0, 0, "", 0, 0, "", "", "", "", "", "", "", "", 0, 0, "");
    const CProcUnit copy(u);
    for (const CProcUnit* x : std::initializer_list<const CProcUnit*>{&u, &copy})
        EXPECT_EQ(std::vector<long>({x->GetBatchNum(), x->GetOpID(), x->GetProcID(), x->GetStepID(), x->GetEnd()}),
                  std::vector<long>({big + 1, 3, -big, 1, 120}));
    u.assign(4, 3, 2, 1, 60, 120, "s", 0.5, "", 0, 0, "", 0, 0, "", "", "", "", "", "", "", "", 0, 0, "");
    EXPECT_EQ(std::vector<long>({u.GetBatchNum(), u.GetProcID(), u.GetEnd()}), std::vector<long>({4, 2, 120}));
}

// Copied components belong to the unit holding them; only copy construction
// copies the list's showPhase.
TEST_F(ProcUnitTest, ComponentsBelongToTheUnitAndFollowCopies)
{
    CProcUnit u = unit(1, "", "");
    const CProcComponent water = make("Water", {});
    u.AddComponent(water);
    u.GetComponents().SetShowPhase(true);
    EXPECT_EQ(water.GetOwner(), nullptr) << "the original is not touched";
    EXPECT_EQ(u.GetComponentAt(3).GetName(), "") << "bad position: a default component";
    const CProcUnit copy(u);
    CProcUnit assigned = unit(2, "", "");
    assigned.AddComponent(make("old", {}));
    assigned = u;
    for (const CProcUnit* x : std::initializer_list<const CProcUnit*>{&u, &copy, &assigned}) {
        ASSERT_EQ(x->GetNumComponents(), 1);
        EXPECT_EQ(x->GetComponentAt(0).GetName(), "Water");
        EXPECT_EQ(x->GetComponentAt(0).GetOwner(), &x->GetComponents());
    }
    EXPECT_TRUE(copy.GetComponents().GetShowPhase() && !assigned.GetComponents().GetShowPhase());
}

TEST_F(ProcUnitTest, PhaseNamesIgnoreCaseAndAbbreviationsJoinTheSetBits)
{
    const std::pair<const char*, int> phases[] = {{"Liquid2", 4}, {"GAS", 1},    {"liquid1", 2}, {"Solid", 8},
                                                  {"cell1", 16},  {"CELL2", 32}, {"vapor", 0},   {"", 0}};
    for (const auto& [name, num] : phases)
        EXPECT_EQ(CProcComponent::GetPhaseNum(CString(name)), num) << name;
    const std::pair<int, const char*> letters[] = {{1 | 8, "g+s"}, {2 | 8, "l+s"}, {4, "l"}, {63, "g+l+l+s+c+c"}};
    for (const auto& [bits, text] : letters)
        EXPECT_EQ(make("a", {.phase = bits}).GetAbbreviatedPhase(), text) << bits;
}

TEST_F(ProcUnitTest, SumsAddAmountsTakeTheIdentityAndJoinOnlyDisjointPhases)
{
    CProcComponent gas = make(
        "Air", {.mass = 1.5, .volume = 2, .moles = 3, .duty = 4, .start = 1, .end = 2, .phase = CProcComponent::Gas});
    CProcComponent liquid = make(
        "Water",
        {.mass = 0.5, .volume = 1, .moles = 1, .duty = -1, .start = 10, .end = 20, .phase = CProcComponent::Liquid1});
    liquid.SetMaterialID(9);
    liquid.SetStreamID(90);
    CProcComponents list;
    list += gas;
    list += liquid;
    CProcComponent total; // a list's total is the same sum
    list.GetTotal(total);
    gas += liquid;
    for (const CProcComponent& c : {gas, total}) {
        EXPECT_EQ(c.GetName() + CString::Formatted("%ld %d", c.GetMaterialID() + c.GetStreamID(), c.GetPhaseNum()),
                  "Water99 3");
        EXPECT_EQ((std::vector<double>{c.GetMass(), c.GetVolume(), c.GetMoles(), c.GetDuty(), c.GetStartTime(),
                                       c.GetEndTime()}),
                  (std::vector<double>{2.0, 3.0, 4.0, 3.0, 10.0, 20.0}));
    }
    CProcComponent onlyGas = make("x", {.phase = CProcComponent::Gas});
    onlyGas += make("y", {.phase = CProcComponent::Gas | CProcComponent::Liquid1});
    EXPECT_EQ(onlyGas.GetPhaseNum(), CProcComponent::Gas);
}

// Each row's cells as amounts or as rates, "|" after each column, and the
// longest text of a column, its heading included, the earlier on a tie.
TEST_F(ProcUnitTest, CellTextsOfHeadingsValuesAndRates)
{
    for (const auto& [set, uom] : {std::pair{&CProcComponent::SetMassUOM, "kg"},
                                   {&CProcComponent::SetDutyUOM, "KJ"},
                                   {&CProcComponent::SetTimeUOM, "h"},
                                   {&CProcComponent::SetVolUOM, "m3"},
                                   {&CProcComponent::SetMolesUOM, "kmol"}})
        set(uom);
    CProcComponents list;
    EXPECT_EQ(list.GetLongestString(CProcComponents::Volume), "Volume (m3)");
    list +=
        make("Water",
             {.mass = 12.5, .volume = 3, .start = 5, .end = 5, .phase = CProcComponent::Gas | CProcComponent::Solid});
    list += make("Acid", {.mass = 8, .moles = 6, .duty = -2, .end = 4});
    list += make("backwards", {.mass = 1, .start = 10, .end = 2});
    list += make("huge", {.mass = 1e308, .end = 1e-10}); // must not print inf
    auto cells = [&](int row, bool rate) {
        std::string text;
        for (int column = CProcComponents::Mass; column <= CProcComponents::ComponentName + 1; ++column)
            text += list.GetStringAt(row, static_cast<CProcComponents::Type>(column), rate).str() + "|";
        return text;
    };
    const struct {
        int row;
        bool rate;
        const char* text;
    } rows[] = {{-1, false, "Mass (kg)|Volume (m3)|Moles (kmol)|Duty (KJ)|Component||"},
                {-2, true, "(kg/h)|(m3/h)|(kmol/h)|(KJ/h)|Flow rates||"},
                {0, false, "12.5000|3.0000|0.0000|0.0000|Water|0.0000|"},
                {0, true, "N/A|N/A|N/A|N/A|Water|N/A|"},
                {1, false, "8.0000|0.0000|6.0000|-2.0000|Acid|0.0000|"},
                {1, true, "2.0000|0.0000|1.5000|-0.5000|Acid|0.0000|"},
                {2, true, "N/A|N/A|N/A|N/A|backwards|N/A|"},
                {3, true, "N/A|0.0000|0.0000|0.0000|huge|0.0000|"},
                {4, false, "||||||"},
                {-3, false, "||||||"}};
    for (const auto& r : rows)
        EXPECT_EQ(cells(r.row, r.rate), r.text) << r.row << " " << r.rate;
    EXPECT_EQ(list.GetLongestString(CProcComponents::ComponentName), "Component") << "a tie with 'backwards'";
    EXPECT_EQ(list.GetLongestString(CProcComponents::Mass), list.GetStringAt(3, CProcComponents::Mass, false));
    list.SetShowPhase(true);
    EXPECT_EQ(list.GetStringAt(0, CProcComponents::ComponentName, false) + "|" +
                  list.GetStringAt(1, CProcComponents::ComponentName, false),
              "Water (g+s)|Acid");
    EXPECT_EQ(list.GetLongestString(CProcComponents::ComponentName), "Water (g+s)");
}

TEST_F(ProcUnitTest, SortByPutsTheHeaviestFirstWhateverTheColumnAndKeepsTheOwner)
{
    std::vector<double> ascending(5000); // ascending input: a last-element pivot's worst case
    for (std::size_t i = 0; i < ascending.size(); ++i)
        ascending[i] = static_cast<double>(i);
    for (const auto& input : {std::vector<double>{3, 1, 4, 1, 5, 9, 2, 6}, {2, 2, 2}, {}, ascending}) {
        CProcComponents list;
        for (double m : input)
            list += make("c", {.mass = m});
        list.SortBy(CProcComponents::ComponentName);
        std::vector<double> want = input, got;
        std::sort(want.rbegin(), want.rend());
        for (int i = 0; i < list.Size(); ++i) {
            got.push_back(list[i].GetMass());
            EXPECT_EQ(list[i].GetOwner(), &list) << "moved, not copied";
        }
        EXPECT_EQ(got, want);
    }
}

} // namespace
} // namespace batchplant

#pragma once
// The sample campaign's constants (steps, materials, utilities, the plan's
// start) and the plan of one batch: its unit procedures and operations as the
// recipes build them, before the scheduler places them in time.

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sample/SampleGenerator.h"
#include "sample/SampleModel.h"

namespace batchplant::sample {

// ---- constants of the campaign ---------------------------------------------

inline constexpr int kSteps = 4;
inline constexpr int kBatchesPerScale = 96;
// The plan starts on Monday 2024-04-01 at 06:00.
inline constexpr int kPlanYear = 2024, kPlanMonth = 4, kPlanDay = 1, kPlanWeekday = 1;
inline constexpr long kPlanStartSecondOfDay = 6 * 3600;
// The one batch that overflows R-103: its quench solution is charged three
// times over.
inline constexpr int kOverflowStep = 2, kOverflowBatch = 3, kOverflowCharges = 3;

// Stream categories.
inline constexpr int kProcess = 1, kFeed = 2, kProduct = 3, kWaste = 4, kCleaning = -5, kUtilityCategory = 5;

inline constexpr double kAtm = 1.01325; // bar

inline const char* const kStepNames[kSteps] = {"Amidation", "Coupling", "Salt Formation and Isolation",
                                               "Milling and Blending"};
inline const char* const kStepVersions[kSteps] = {"v2.1", "v1.0", "v3.0", "v1.2"};
inline const int kStepPlants[kSteps] = {1, 1, 2, 2};
inline const int kStepMainEquipment[kSteps] = {R101, R102, R201, BL201};
inline const char* const kReactions[kSteps] = {
    "Benzylamine + Acetic anhydride -> Int-1 (N-benzylacetamide) + Acetic acid",
    "Int-1 + 4-Bromoanisole -> Int-2 (coupled amide) + Hydrogen bromide; quench: HBr + NaOH -> NaBr + Water",
    "Int-2 + Hydrogen chloride -> API hydrochloride",
    "API hydrochloride blended with microcrystalline cellulose",
};
// Key input and output materials of each step, and a second input (0: none).
inline const int kStepKeyInput[kSteps] = {0, Int1, Int2, ApiHcl};
inline const int kStepKeyOutput[kSteps] = {Int1, Int2, ApiHcl, ApiHcl};
inline const int kStepInput2[kSteps] = {Benzylamine, Bromoanisole, HydrogenChloride, Cellulose};

inline const Reaction kAmidation{
    {{Benzylamine, 1}, {AceticAnhydride, 1}}, {{Int1, 1}, {AceticAcid, 1}}, Liquid1, -45000.0};
inline const Reaction kCoupling{{{Int1, 1}, {Bromoanisole, 1}}, {{Int2, 1}, {HydrogenBromide, 1}}, Liquid1, -30000.0};
inline const Reaction kNeutralisation{
    {{HydrogenBromide, 1}, {SodiumHydroxide, 1}}, {{SodiumBromide, 1}, {Water, 1}}, Liquid2, -57000.0};
inline const Reaction kSaltFormation{{{Int2, 1}, {HydrogenChloride, 1}}, {{ApiHcl, 1}}, Liquid1, -25000.0};

// Utilities: name, inlet and outlet temperature (C), pressure (bar), heat
// taken up per kg (kJ/kg), density (kg/m3), phase and composition.
enum Utility { Steam, CoolingWater, ChilledBrine, CipHotWater };
struct UtilityDef {
    const char* name;
    double inletC, outletC, pressureBar, kjPerKg, density;
};
inline const UtilityDef kUtilities[] = {
    {"Steam", 151.8, 151.8, 4.8, 2108.0, 2.55},
    {"Cooling Water", 25.0, 35.0, 3.0, 41.8, 995.0},
    {"Chilled Brine", -10.0, -5.0, 3.0, 17.5, 1050.0},
    {"CIP Hot Water", 80.0, 60.0, 3.0, 250.8, 972.0},
};

inline double heatCapacity(const Mixture& m)
{
    double c = 0.0;
    for (int mat = 1; mat <= kMaterials; ++mat)
        c += m.materialMass(mat) * materialDef(mat).heatCapacity;
    return c; // kJ/K
}

inline int primaryMaterial(const Mixture& m)
{
    int best = 0;
    double bestMass = 0.0;
    for (int mat = 1; mat <= kMaterials; ++mat) {
        if (m.materialMass(mat) > bestMass) {
            bestMass = m.materialMass(mat);
            best = mat;
        }
    }
    return best;
}

// ---- plans -----------------------------------------------------------------

class Sim;
struct OpInst;
using Action = std::function<void(Sim&, const OpInst&)>;

struct UnitProc {
    int id = 0;
    int seq = 0;
    std::string name;
    int equipment = 0;
    int ops = 0;
};

struct OpInst {
    int step = 0, batch = 0;
    int up = 0; // index into the plan's unit procedures
    int upId = 0, opId = 0;
    const char* type = "";
    int equipment = 0;
    long start = 0, end = 0; // relative to the batch start until placed
    bool contents = true;
    int depositTank = 0; // the op fills this buffer tank or store with the batch's material
    int drawTank = 0;    // the op takes the batch's material out of it
    std::vector<std::pair<int, double>> labor;
    Action action;
    const std::string* upName = nullptr;
};

struct BatchPlan {
    int step = 0, batch = 0;
    std::deque<UnitProc> ups;
    std::deque<OpInst> ops;
    long start = 0;
};

struct RecipeOp {
    int step, upId, upSeq, opSeq;
    std::string upName, type, text;
};

// Collects the operations of one batch. The recipe (TextRecipe) is the same
// for every batch; the first batch defines it and later ones are checked
// against it.
class BatchBuilder {
public:
    BatchBuilder(int step, int batch, Rng& rng, std::map<int, RecipeOp>& recipe, std::vector<int>& newOps)
        : plan_(std::make_shared<BatchPlan>()), rng_(rng), recipe_(recipe), newOps_(newOps)
    {
        plan_->step = step;
        plan_->batch = batch;
    }

    Rng& rng() { return rng_; }
    int batch() const { return plan_->batch; }
    std::shared_ptr<BatchPlan> plan() { return plan_; }

    int up(int seq, const char* name, int equipment)
    {
        UnitProc u;
        u.id = plan_->step * 100 + seq;
        u.seq = seq;
        u.name = name;
        u.equipment = equipment;
        plan_->ups.push_back(u);
        cursors_.push_back(0);
        return static_cast<int>(plan_->ups.size()) - 1;
    }

    OpInst& op(int up, const char* type, const char* text, long start, long duration)
    {
        UnitProc& u = plan_->ups[static_cast<std::size_t>(up)];
        const int opSeq = ++u.ops;
        OpInst o;
        o.step = plan_->step;
        o.batch = plan_->batch;
        o.up = up;
        o.upId = u.id;
        o.opId = u.id * 100 + opSeq;
        o.type = type;
        o.equipment = u.equipment;
        o.start = start;
        o.end = start + duration;
        o.upName = &u.name;
        auto found = recipe_.find(o.opId);
        if (found == recipe_.end()) {
            recipe_.emplace(o.opId, RecipeOp{o.step, u.id, u.seq, opSeq, u.name, type, text});
            newOps_.push_back(o.opId);
        } else if (found->second.type != type) {
            throw SampleGeneratorError("sample recipe differs between batches at operation " + std::to_string(o.opId));
        }
        cursors_[static_cast<std::size_t>(up)] = std::max(cursors_[static_cast<std::size_t>(up)], o.end);
        plan_->ops.push_back(std::move(o));
        return plan_->ops.back();
    }

    // The same interval as `source`, in another unit procedure (the receiving
    // side of a transfer); created after the source so that it runs after it.
    OpInst& alongside(int up, const char* type, const char* text, const OpInst& source)
    {
        return op(up, type, text, source.start, source.end - source.start);
    }

    long cursor(int up) const { return cursors_[static_cast<std::size_t>(up)]; }
    long sync(int a, int b) const { return std::max(cursor(a), cursor(b)); }

private:
    std::shared_ptr<BatchPlan> plan_;
    Rng& rng_;
    std::map<int, RecipeOp>& recipe_;
    std::vector<int>& newOps_;
    std::vector<long> cursors_;
};

} // namespace batchplant::sample

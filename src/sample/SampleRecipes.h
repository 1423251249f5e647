#pragma once
// The recipes of the sample campaign: what one batch of each step does, as
// operations with their durations, labor and material actions.

#include <optional>

#include "sample/SampleSim.h"

namespace batchplant::sample {

// Clean in place: pre-rinse, caustic wash and final rinse, each in and out.
void cip(BatchBuilder& b, int up, int vessel, long start, bool contractLabor, bool hotWater);

// One stream of a transfer: where it goes, its category, label and icon.
struct Flow {
    int to, category;
    const char* label;
    int icon;
};

// A "Transfer" out of `vessel`: its condensed contents leave as `liquid`,
// then, with `gas`, the gas left in it. The receiving side and the labor are
// the caller's.
OpInst& transfer(BatchBuilder& b, int up, int vessel, const char* text, long start, long duration, Flow liquid,
                 std::optional<Flow> gas = std::nullopt);

// An operation that only feeds `m` from `from` (0: outside the plant) along `into`.
OpInst& feed(BatchBuilder& b, int up, const char* type, const char* text, long start, long duration, int from,
             const Mixture& m, Flow into);

// Reaction under reflux through CD-101: the solvent boils up, 99 % comes
// back as condensate, the rest and the swept nitrogen leave to the vent header.
void refluxReaction(BatchBuilder& b, int reactorUp, int condenserUp, int reactor, const Reaction& reaction,
                    double conversion, long start, long duration, const char* vaporLabel, const char* refluxLabel,
                    int refluxIcon, const char* offGasLabel);

// Heats or cools a reactor under the reflux condenser: the utility takes the
// heat, and the vapor line to the condenser reports a row with no mass.
OpInst& heatUnderCondenser(BatchBuilder& b, int reactorUp, int reactor, const char* type, const char* text,
                           long duration, double tempC, Utility u, const char* vaporLabel);

// The steps in the synthesis plant (SampleSynthesis.cpp) and in the
// isolation and finishing plant (SampleIsolation.cpp).
void planAmidation(BatchBuilder& b);
void planCoupling(BatchBuilder& b);
void planSaltFormation(BatchBuilder& b);
void planBlending(BatchBuilder& b);

using PlanFn = void (*)(BatchBuilder&);
inline constexpr PlanFn kPlans[kSteps] = {planAmidation, planCoupling, planSaltFormation, planBlending};

// Buffer capacity in batches.
inline int bufferBatches(int tank) { return tank == BT101 ? 4 : 3; }

} // namespace batchplant::sample

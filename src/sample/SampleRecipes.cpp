// The operations that several steps' recipes share.

#include "sample/SampleRecipes.h"

namespace batchplant::sample {

void cip(BatchBuilder& b, int up, int vessel, long start, bool contractLabor, bool hotWater)
{
    Rng& r = b.rng();
    const double cap = equipmentDef(vessel).capacityLiters;
    const double stages[3] = {cap * 0.12 * r.uniform(0.95, 1.05), cap * 0.10 * r.uniform(0.95, 1.05),
                              cap * 0.12 * r.uniform(0.95, 1.05)};
    OpInst& o = b.op(up, "CIP", "Clean in place: pre-rinse, caustic wash and final rinse with purified water.", start,
                     r.minutes(45, 60));
    o.labor = {{contractLabor ? 0 : 1, contractLabor ? 1.5 : 1.0}};
    o.action = [vessel, stages, hotWater](Sim& s, const OpInst& op) {
        static const char* const names[3][2] = {{"CIP pre-rinse in", "CIP pre-rinse out"},
                                                {"CIP caustic wash in", "CIP caustic wash out"},
                                                {"CIP final rinse in", "CIP final rinse out"}};
        double total = 0.0;
        for (int i = 0; i < 3; ++i) {
            const Mixture w = Mixture::pure(Water, Liquid1, stages[i]);
            s.move(op, 0, vessel, w, kCleaning, names[i][0], 90 + 2 * i);
            s.move(op, vessel, 0, w, kCleaning, names[i][1], 91 + 2 * i);
            total += stages[i];
        }
        s.mix(vessel) = Mixture{};
        s.temp(vessel) = 20.0;
        s.pressure(vessel) = kAtm;
        if (hotWater) s.utility(op, CipHotWater, 0, total * 4.18 * 60.0);
    };
}

OpInst& transfer(BatchBuilder& b, int up, int vessel, const char* text, long start, long duration, Flow liquid,
                 std::optional<Flow> gas)
{
    OpInst& o = b.op(up, "Transfer", text, start, duration);
    o.action = [vessel, liquid, gas](Sim& s, const OpInst& op) {
        s.move(op, vessel, liquid.to, s.mix(vessel).condensed(), liquid.category, liquid.label, liquid.icon);
        if (gas) s.move(op, vessel, gas->to, s.mix(vessel).onlyPhase(Gas), gas->category, gas->label, gas->icon);
    };
    return o;
}

OpInst& feed(BatchBuilder& b, int up, const char* type, const char* text, long start, long duration, int from,
             const Mixture& m, Flow into)
{
    OpInst& o = b.op(up, type, text, start, duration);
    o.action = [from, m, into](Sim& s, const OpInst& op) {
        s.move(op, from, into.to, m, into.category, into.label, into.icon);
    };
    return o;
}

void refluxReaction(BatchBuilder& b, int reactorUp, int condenserUp, int reactor, const Reaction& reaction,
                    double conversion, long start, long duration, const char* vaporLabel, const char* refluxLabel,
                    int refluxIcon, const char* offGasLabel)
{
    Rng& r = b.rng();
    const double boilup = r.uniform(0.06, 0.09); // share of the solvent per hour
    const double purge = r.uniform(0.5, 0.7);
    auto evaporated = std::make_shared<double>(0.0);
    OpInst& reactOp =
        b.op(reactorUp, "React", "React under reflux at 110 C; keep the condenser on cooling water.", start, duration);
    reactOp.labor = {{2, 0.5}, {4, 0.25}};
    OpInst& condense =
        b.alongside(condenserUp, "Condense", "Condense the reactor vapors and return the condensate.", reactOp);
    const OpInst* condenseOp = &condense;
    reactOp.action = [=](Sim& s, const OpInst& o) {
        Mixture& m = s.mix(reactor);
        const double extent = react(m, reaction, conversion);
        const double tol =
            std::min(m.at(Toluene, Liquid1), boilup * (o.end - o.start) / 3600.0 * m.at(Toluene, Liquid1));
        m.at(Toluene, Liquid1) -= tol;
        m.at(Toluene, Gas) += tol;
        Mixture vap;
        vap.at(Toluene, Gas) = tol;
        vap.at(Nitrogen, Gas) = purge * m.at(Nitrogen, Gas);
        s.vapor(o, reactor, CD101, vap, "Before Condenser", vaporLabel);
        s.utility(o, Steam, reactor, std::max(0.3 * tol * 351.0, tol * 351.0 + extent * reaction.heatOfReaction));
        // The condenser's share of the work: condensate back, the rest to the vent header.
        Mixture& c = s.mix(CD101);
        s.temp(CD101) = 30.0;
        c.movePhase(Toluene, Gas, Liquid1, 0.99);
        s.move(*condenseOp, CD101, reactor, c.onlyPhase(Liquid1), kProcess, refluxLabel, refluxIcon);
        s.vapor(*condenseOp, CD101, INV103, s.mix(CD101).onlyPhase(Gas), "After Condenser", offGasLabel);
        s.mix(CD101) = Mixture{};
        *evaporated = tol;
    };
    condense.action = [=](Sim& s, const OpInst& o) { s.utility(o, CoolingWater, CD101, -0.99 * *evaporated * 351.0); };
    // A quality sample is taken while the reaction runs.
    const long sampleStart = start + static_cast<long>(duration * r.uniform(0.4, 0.6)) / 60 * 60;
    OpInst& sampleOp = b.op(reactorUp, "Sample", "Take an in-process sample for HPLC conversion check.", sampleStart,
                            r.minutes(15, 20));
    sampleOp.contents = false;
    sampleOp.labor = {{3, 1.0}};
}

OpInst& heatUnderCondenser(BatchBuilder& b, int reactorUp, int reactor, const char* type, const char* text,
                           long duration, double tempC, Utility u, const char* vaporLabel)
{
    OpInst& op = b.op(reactorUp, type, text, b.cursor(reactorUp), duration);
    op.labor = {{1, 0.5}};
    op.action = [reactor, tempC, u, vaporLabel](Sim& s, const OpInst& o) {
        s.heatTo(o, reactor, tempC, u);
        s.noVapor(o, reactor, CD101, "Before Condenser", vaporLabel);
    };
    return op;
}

} // namespace batchplant::sample

// The recipes of the synthesis plant: amidation and coupling.

#include "sample/SampleRecipes.h"

namespace batchplant::sample {

// Step 1: amidation in R-101, crystallization in CR-101, filtration and
// dissolution of the cake in NF-101, the solution held in BT-101.
void planAmidation(BatchBuilder& b)
{
    Rng& r = b.rng();
    const int uV = b.up(1, "P-1 / V-101 Toluene Day Tank", V101);
    const int uR = b.up(2, "P-2 / R-101 Amidation", R101);
    const int uC = b.up(3, "P-3 / CD-101 Reflux Condenser", CD101);
    const int uX = b.up(4, "P-4 / CR-101 Crystallization", CR101);
    const int uF = b.up(5, "P-5 / NF-101 Filtration and Dissolution", NF101);
    const int uB = b.up(6, "P-6 / BT-101 Intermediate Hold", BT101);

    const double toluene = 1300.0 * r.uniform(0.98, 1.02);
    const double amine = 450.0 * r.uniform(0.98, 1.02);
    const double anhydride =
        amine / materialDef(Benzylamine).molecularWeight * 1.05 * materialDef(AceticAnhydride).molecularWeight;
    const double n2 = r.uniform(1.5, 2.5);
    const double doseConversion = r.uniform(0.55, 0.65), finalConversion = r.uniform(0.975, 0.99);
    const double crystallized = r.uniform(0.92, 0.95), retained = r.uniform(0.08, 0.12);
    const double wash = r.uniform(180.0, 220.0), dissolve = r.uniform(1000.0, 1100.0);

    OpInst& fill = feed(b, uV, "Charge", "Fill V-101 with 1500 L of toluene from the solvent tank farm.", 0,
                        r.minutes(25, 35), INV102, Mixture::pure(Toluene, Liquid1, toluene), {V101, kFeed, "S-101", 1});
    fill.labor = {{1, 0.5}};
    OpInst& toReactor = transfer(b, uV, V101, "Transfer the toluene to R-101.", b.sync(uV, uR), r.minutes(20, 30),
                                 {R101, kProcess, "S-102", 2});
    b.alongside(uR, "Transfer In", "Receive toluene from V-101.", toReactor).labor = {{1, 1.0}};
    feed(b, uR, "Inert", "Inert the reactor with nitrogen.", b.cursor(uR), r.minutes(10, 15), 0,
         Mixture::pure(Nitrogen, Gas, n2), {R101, kFeed, "S-103", 3});
    OpInst& amineOp = feed(b, uR, "Charge", "Charge 450 kg of benzylamine from drums.", b.cursor(uR), r.minutes(25, 40),
                           INV101, Mixture::pure(Benzylamine, Liquid1, amine), {R101, kFeed, "S-104", 4});
    amineOp.labor = {{1, 2.7}};
    heatUnderCondenser(b, uR, R101, "Heat", "Heat to reflux (110 C).", r.minutes(45, 70), 110.0, Steam, "V-101");
    OpInst& dose = b.op(uR, "Charge", "Dose 1.05 eq of acetic anhydride over 60 to 90 min at reflux.", b.cursor(uR),
                        r.minutes(60, 90));
    dose.labor = {{1, 1.0}};
    dose.action = [anhydride, doseConversion](Sim& s, const OpInst& o) {
        s.move(o, INV101, R101, Mixture::pure(AceticAnhydride, Liquid1, anhydride), kFeed, "S-105", 5);
        const double extent = react(s.mix(R101), kAmidation, doseConversion);
        s.temp(R101) = 110.0;
        s.utility(o, CoolingWater, R101, extent * kAmidation.heatOfReaction);
    };
    refluxReaction(b, uR, uC, R101, kAmidation, (finalConversion - doseConversion) / (1.0 - doseConversion),
                   b.cursor(uR), r.minutes(180, 300), "V-102", "S-106", 6, "V-103");
    heatUnderCondenser(b, uR, R101, "Cool", "Cool to 20 C.", r.minutes(60, 90), 20.0, CoolingWater, "V-104");
    OpInst& toCryst = transfer(b, uR, R101, "Transfer the reaction mass to CR-101; vent the nitrogen.", b.cursor(uR),
                               r.minutes(30, 45), {CR101, kProcess, "S-107", 7}, Flow{INV103, kWaste, "S-108", 8});
    toCryst.labor = {{1, 1.0}};
    b.alongside(uX, "Transfer In", "Receive the reaction mass from R-101.", toCryst);
    cip(b, uR, R101, b.cursor(uR), false, false);

    OpInst& cryst =
        b.op(uX, "Crystallize", "Cool to 0 C over 4 to 6 h to crystallize Int-1.", b.cursor(uX), r.minutes(240, 360));
    cryst.labor = {{1, 0.5}};
    cryst.action = [crystallized](Sim& s, const OpInst& o) {
        s.heatTo(o, CR101, 0.0, ChilledBrine);
        s.mix(CR101).movePhase(Int1, Liquid1, Solid, crystallized);
    };
    b.op(uX, "Hold", "Age the slurry at 0 C.", b.cursor(uX), r.minutes(60, 120));
    OpInst& toFilter = transfer(b, uX, CR101, "Transfer the slurry to NF-101.", b.cursor(uX), r.minutes(40, 60),
                                {NF101, kProcess, "S-109", 9});
    toFilter.labor = {{1, 1.0}};
    OpInst& filter = b.alongside(uF, "Filter", "Filter the slurry; send the mother liquor to waste.", toFilter);
    filter.action = [retained](Sim& s, const OpInst& o) {
        const Mixture liquid = s.mix(NF101).onlyPhase(Liquid1);
        s.move(o, NF101, 0, liquid.scaled(1.0 - retained), kWaste, "S-110", 10);
    };
    cip(b, uX, CR101, b.cursor(uX), false, false);

    OpInst& washOp = b.op(uF, "Wash", "Displacement wash with 200 kg of toluene.", b.cursor(uF), r.minutes(30, 45));
    washOp.labor = {{1, 1.0}};
    washOp.action = [wash](Sim& s, const OpInst& o) {
        s.move(o, INV102, NF101, Mixture::pure(Toluene, Liquid1, wash), kFeed, "S-111", 11);
        const Mixture liquid = s.mix(NF101).onlyPhase(Liquid1);
        s.move(o, NF101, 0, liquid.scaled(std::min(1.0, wash / liquid.mass())), kWaste, "S-112", 12);
    };
    feed(b, uF, "Charge", "Charge 1050 kg of toluene onto the cake.", b.cursor(uF), r.minutes(20, 30), INV102,
         Mixture::pure(Toluene, Liquid1, dissolve), {NF101, kFeed, "S-113", 13});
    OpInst& warm =
        b.op(uF, "Heat", "Heat to 60 C and stir until the cake has dissolved.", b.cursor(uF), r.minutes(40, 60));
    warm.action = [](Sim& s, const OpInst& o) {
        for (int mat = 1; mat <= kMaterials; ++mat)
            s.mix(NF101).movePhase(mat, Solid, Liquid1, 1.0);
        s.heatTo(o, NF101, 60.0, Steam);
    };
    OpInst& toBuffer = b.op(uF, "Transfer", "Transfer the Int-1 solution to BT-101.", b.cursor(uF), r.minutes(30, 45));
    toBuffer.labor = {{1, 1.0}};
    toBuffer.action = [amine](Sim& s, const OpInst& o) {
        const Mixture solution = s.mix(NF101).condensed();
        const double kmol = solution.materialMass(Int1) / materialDef(Int1).molecularWeight;
        s.move(o, NF101, BT101, solution, kProcess, "S-114", 14);
        s.output(o.step, solution.materialMass(Int1),
                 100.0 * kmol / (amine / materialDef(Benzylamine).molecularWeight));
    };
    b.alongside(uB, "Transfer In", "Receive the Int-1 solution from NF-101.", toBuffer).depositTank = BT101;
    cip(b, uF, NF101, b.cursor(uF), false, false);
}

// Step 2: coupling in R-102, quench and phase split in R-103, the organic
// phase blended in V-102 and held in BT-102.
void planCoupling(BatchBuilder& b)
{
    Rng& r = b.rng();
    const int uB = b.up(1, "P-1 / BT-101 Intermediate Supply", BT101);
    const int uR = b.up(2, "P-2 / R-102 Coupling", R102);
    const int uC = b.up(3, "P-3 / CD-101 Reflux Condenser", CD101);
    const int uQ = b.up(4, "P-4 / R-103 Quench and Extraction", R103);
    const int uV = b.up(5, "P-5 / V-102 Solution Blending", V102);

    const double n2 = r.uniform(1.5, 2.5), catalyst = r.uniform(1.8, 2.2);
    const double conversion = r.uniform(0.96, 0.98);
    const int charges = b.batch() == kOverflowBatch ? kOverflowCharges : 1;
    const double water = 650.0 * r.uniform(0.97, 1.03) * charges;
    const double causticExcess = 1.1 * charges;
    auto int1In = std::make_shared<double>(0.0);

    OpInst& draw = b.op(uB, "Transfer", "Transfer one batch of Int-1 solution to R-102.", 0, r.minutes(30, 45));
    draw.drawTank = BT101;
    draw.labor = {{1, 1.0}};
    draw.action = [int1In](Sim& s, const OpInst& o) {
        const Mixture m = s.drawPortion(BT101, o.batch);
        *int1In = m.materialMass(Int1) / materialDef(Int1).molecularWeight;
        s.move(o, BT101, R102, m, kProcess, "S-201", 1);
    };
    b.alongside(uR, "Transfer In", "Receive the Int-1 solution from BT-101.", draw);
    feed(b, uR, "Inert", "Inert the reactor with nitrogen.", b.cursor(uR), r.minutes(10, 15), 0,
         Mixture::pure(Nitrogen, Gas, n2), {R102, kFeed, "S-202", 2});
    OpInst& bromo = b.op(uR, "Charge", "Charge 1.02 eq of 4-bromoanisole.", b.cursor(uR), r.minutes(30, 45));
    bromo.labor = {{1, 1.0}};
    bromo.action = [](Sim& s, const OpInst& o) {
        const double kmol = s.mix(R102).materialMass(Int1) / materialDef(Int1).molecularWeight * 1.02;
        s.move(o, INV101, R102, Mixture::pure(Bromoanisole, Liquid1, kmol * materialDef(Bromoanisole).molecularWeight),
               kFeed, "S-203", 3);
    };
    OpInst& cat =
        feed(b, uR, "Charge", "Charge 2 kg of palladium catalyst under nitrogen.", b.cursor(uR), r.minutes(10, 15),
             INV101, Mixture::pure(PdCatalyst, Liquid1, catalyst), {R102, kFeed, "S-204", 4});
    cat.labor = {{2, 0.5}};
    heatUnderCondenser(b, uR, R102, "Heat", "Heat to reflux (110 C).", r.minutes(60, 80), 110.0, Steam, "V-201");
    refluxReaction(b, uR, uC, R102, kCoupling, conversion, b.cursor(uR), r.minutes(360, 480), "V-202", "S-205", 5,
                   "V-203");
    heatUnderCondenser(b, uR, R102, "Cool", "Cool to 25 C.", r.minutes(60, 90), 25.0, CoolingWater, "V-204");
    OpInst& toQuench = transfer(b, uR, R102, "Transfer the reaction mass to R-103; vent the nitrogen.", b.cursor(uR),
                                r.minutes(30, 45), {R103, kProcess, "S-206", 6}, Flow{INV103, kWaste, "S-207", 7});
    toQuench.labor = {{1, 1.0}};
    b.alongside(uQ, "Transfer In", "Receive the reaction mass from R-102.", toQuench);
    cip(b, uR, R102, b.cursor(uR), false, false);

    OpInst& quench = b.op(uQ, "Quench", "Quench with 650 kg of water and 1.1 eq of sodium hydroxide.", b.cursor(uQ),
                          r.minutes(45, 60));
    quench.labor = {{1, 1.0}};
    quench.action = [water, causticExcess](Sim& s, const OpInst& o) {
        const double hbr = s.mix(R103).materialMass(HydrogenBromide) / materialDef(HydrogenBromide).molecularWeight;
        Mixture solution = Mixture::pure(Water, Liquid2, water);
        solution.at(SodiumHydroxide, Liquid2) = hbr * causticExcess * materialDef(SodiumHydroxide).molecularWeight;
        s.move(o, INV101, R103, solution, kFeed, "S-208", 8);
        const double extent = react(s.mix(R103), kNeutralisation, 1.0);
        s.utility(o, CoolingWater, R103, extent * kNeutralisation.heatOfReaction);
    };
    OpInst& decant = b.op(uQ, "Decant", "Settle for one hour, then drain the aqueous phase to waste.", b.cursor(uQ),
                          r.minutes(60, 90));
    decant.labor = {{1, 0.5}};
    decant.action = [](Sim& s, const OpInst& o) {
        s.move(o, R103, 0, s.mix(R103).onlyPhase(Liquid2), kWaste, "S-209", 9);
    };
    OpInst& toBlend = transfer(b, uQ, R103, "Transfer the organic phase to V-102.", b.cursor(uQ), r.minutes(30, 45),
                               {V102, kProcess, "S-210", 10});
    toBlend.labor = {{1, 1.0}};
    b.alongside(uV, "Transfer In", "Receive the organic phase from R-103.", toBlend);
    cip(b, uQ, R103, b.cursor(uQ), true, true);

    OpInst& blend = b.op(uV, "Agitate", "Agitate for one hour to homogenize.", b.cursor(uV), r.minutes(45, 75));
    blend.labor = {{1, 0.5}};
    OpInst& toBuffer = b.op(uV, "Transfer", "Transfer the Int-2 solution to BT-102.", b.cursor(uV), r.minutes(30, 45));
    toBuffer.labor = {{1, 1.0}};
    toBuffer.depositTank = BT102;
    toBuffer.action = [int1In](Sim& s, const OpInst& o) {
        const Mixture m = s.mix(V102).condensed();
        const double kmol = m.materialMass(Int2) / materialDef(Int2).molecularWeight;
        s.move(o, V102, BT102, m, kProcess, "S-211", 11);
        s.output(o.step, m.materialMass(Int2), *int1In > 0.0 ? 100.0 * kmol / *int1In : 0.0);
    };
    cip(b, uV, V102, b.cursor(uV), false, false);
}

} // namespace batchplant::sample

// The recipes of the isolation and finishing plant: salt formation and
// isolation, milling and blending.

#include "sample/SampleRecipes.h"

namespace batchplant::sample {

// Step 3: solvent swap and salt formation in R-201, crystallization with
// heptane in CR-201, centrifuge CF-201, dryer DR-201 into the drum store.
void planSaltFormation(BatchBuilder& b)
{
    Rng& r = b.rng();
    const int uR = b.up(1, "P-1 / R-201 Solvent Swap and Salt Formation", R201);
    const int uD = b.up(2, "P-2 / RCV-201 Distillate Receiver", RCV201);
    const int uH = b.up(3, "P-3 / V-201 Heptane Day Tank", V201);
    const int uX = b.up(4, "P-4 / CR-201 Crystallization", CR201);
    const int uF = b.up(5, "P-5 / CF-201 Centrifugation", CF201);
    const int uY = b.up(6, "P-6 / DR-201 Drying", DR201);

    const double n2 = r.uniform(1.5, 2.5);
    const double swap = r.uniform(0.72, 0.78), ipa = r.uniform(1150.0, 1250.0), heptane = r.uniform(1000.0, 1100.0);
    const double crystallized = r.uniform(0.94, 0.97), retained = r.uniform(0.04, 0.06);
    const double wash = r.uniform(140.0, 160.0);
    auto int2In = std::make_shared<double>(0.0);

    OpInst& draw = b.op(uR, "Transfer In", "Receive one batch of Int-2 solution from BT-102.", 0, r.minutes(30, 45));
    draw.drawTank = BT102;
    draw.labor = {{1, 1.0}};
    draw.action = [int2In](Sim& s, const OpInst& o) {
        const Mixture m = s.drawPortion(BT102, o.batch);
        *int2In = m.materialMass(Int2) / materialDef(Int2).molecularWeight;
        s.move(o, BT102, R201, m, kProcess, "S-301", 1);
    };
    feed(b, uR, "Inert", "Inert the reactor with nitrogen.", b.cursor(uR), r.minutes(10, 15), 0,
         Mixture::pure(Nitrogen, Gas, n2), {R201, kFeed, "S-302", 2});
    OpInst& distill = b.op(uR, "Distill", "Distill off three quarters of the toluene at 300 mbar.", b.cursor(uR),
                           r.minutes(180, 240));
    distill.labor = {{1, 0.5}};
    distill.action = [swap](Sim& s, const OpInst& o) {
        Mixture& m = s.mix(R201);
        const double boiled = m.at(Toluene, Liquid1) * swap;
        s.heatTo(o, R201, 60.0, Steam);
        s.pressure(R201) = 0.3;
        const double lost = boiled * 0.005;
        m.at(Toluene, Liquid1) -= lost;
        m.at(Toluene, Gas) += lost;
        s.vapor(o, R201, 0, Mixture::pure(Toluene, Gas, lost), "None", "V-301");
        s.move(o, R201, RCV201, Mixture::pure(Toluene, Liquid1, boiled - lost), kProcess, "S-303", 3);
        s.utility(o, Steam, R201, boiled * materialDef(Toluene).latentHeat);
        s.pressure(R201) = kAtm;
    };
    b.alongside(uD, "Transfer In", "Collect the distillate from R-201.", distill);
    OpInst& toWaste = transfer(b, uD, RCV201, "Send the distillate to solvent recovery.", b.cursor(uD),
                               r.minutes(30, 45), {INV201, kWaste, "S-304", 4});
    toWaste.labor = {{1, 0.5}};
    OpInst& ipaOp = feed(b, uR, "Charge", "Charge 1200 kg of isopropanol.", b.cursor(uR), r.minutes(30, 40), INV203,
                         Mixture::pure(Isopropanol, Liquid1, ipa), {R201, kFeed, "S-305", 5});
    ipaOp.labor = {{1, 1.0}};
    OpInst& heat = b.op(uR, "Heat", "Heat to 60 C.", b.cursor(uR), r.minutes(40, 60));
    heat.labor = {{1, 0.5}};
    heat.action = [](Sim& s, const OpInst& o) {
        s.heatTo(o, R201, 60.0, Steam);
        s.noVapor(o, R201, 0, "None", "V-302");
    };
    OpInst& hcl =
        b.op(uR, "Charge", "Charge 1.05 eq of hydrogen chloride in isopropanol.", b.cursor(uR), r.minutes(30, 45));
    hcl.labor = {{2, 1.0}};
    hcl.action = [](Sim& s, const OpInst& o) {
        const double kmol = s.mix(R201).materialMass(Int2) / materialDef(Int2).molecularWeight * 1.05;
        s.move(o, INV203, R201,
               Mixture::pure(HydrogenChloride, Liquid1, kmol * materialDef(HydrogenChloride).molecularWeight), kFeed,
               "S-306", 6);
    };
    OpInst& salt = b.op(uR, "React", "Stir at 60 C to form the hydrochloride salt.", b.cursor(uR), r.minutes(60, 120));
    salt.labor = {{2, 0.5}};
    salt.action = [](Sim& s, const OpInst& o) {
        const double extent = react(s.mix(R201), kSaltFormation, 0.99);
        s.utility(o, CoolingWater, R201, extent * kSaltFormation.heatOfReaction);
    };
    OpInst& toCryst = transfer(b, uR, R201, "Transfer the salt solution to CR-201; vent the nitrogen.", b.cursor(uR),
                               r.minutes(30, 45), {CR201, kProcess, "S-307", 7}, Flow{0, kWaste, "S-308", 8});
    toCryst.labor = {{1, 1.0}};
    b.alongside(uX, "Transfer In", "Receive the salt solution from R-201.", toCryst);
    cip(b, uR, R201, b.cursor(uR), false, false);

    // The heptane day tank is filled just before CR-201 needs it.
    const long antisolvent = b.cursor(uX);
    const long fillTime = r.minutes(25, 35);
    OpInst& fill = feed(b, uH, "Charge", "Fill V-201 with 1050 kg of n-heptane.", antisolvent - fillTime, fillTime,
                        INV203, Mixture::pure(Heptane, Liquid1, heptane), {V201, kFeed, "S-309", 9});
    fill.labor = {{1, 0.5}};
    OpInst& dose = transfer(b, uH, V201, "Dose the heptane into CR-201.", antisolvent, r.minutes(30, 45),
                            {CR201, kProcess, "S-310", 10});
    b.alongside(uX, "Transfer In", "Receive the heptane antisolvent from V-201.", dose);
    OpInst& cryst = b.op(uX, "Crystallize", "Cool to 5 C over 5 to 7 h to crystallize the salt.", b.cursor(uX),
                         r.minutes(300, 420));
    cryst.labor = {{1, 0.5}};
    cryst.action = [crystallized](Sim& s, const OpInst& o) {
        s.heatTo(o, CR201, 5.0, ChilledBrine);
        s.mix(CR201).movePhase(ApiHcl, Liquid1, Solid, crystallized);
    };
    b.op(uX, "Hold", "Age the slurry at 5 C.", b.cursor(uX), r.minutes(60, 90));
    OpInst& toCentrifuge = transfer(b, uX, CR201, "Feed the slurry to CF-201.", b.cursor(uX), r.minutes(60, 90),
                                    {CF201, kProcess, "S-311", 11});
    toCentrifuge.labor = {{1, 1.0}};
    OpInst& spin = b.alongside(uF, "Centrifuge", "Spin off the mother liquor to waste.", toCentrifuge);
    spin.labor = {{1, 1.0}};
    spin.action = [retained](Sim& s, const OpInst& o) {
        const Mixture liquid = s.mix(CF201).onlyPhase(Liquid1);
        s.move(o, CF201, INV201, liquid.scaled(1.0 - retained), kWaste, "S-312", 12);
    };
    cip(b, uX, CR201, b.cursor(uX), false, false);
    OpInst& washOp = b.op(uF, "Wash", "Wash the cake with 150 kg of isopropanol.", b.cursor(uF), r.minutes(30, 45));
    washOp.action = [wash](Sim& s, const OpInst& o) {
        s.move(o, INV203, CF201, Mixture::pure(Isopropanol, Liquid1, wash), kFeed, "S-313", 13);
        const Mixture liquid = s.mix(CF201).onlyPhase(Liquid1);
        s.move(o, CF201, INV201, liquid.scaled(std::min(1.0, wash / liquid.mass())), kWaste, "S-314", 14);
    };
    OpInst& discharge = transfer(b, uF, CF201, "Discharge the wet cake to DR-201.", b.cursor(uF), r.minutes(20, 30),
                                 {DR201, kProcess, "S-315", 15});
    discharge.labor = {{1, 2.0}};
    b.alongside(uY, "Transfer In", "Load the wet cake onto the dryer trays.", discharge);
    cip(b, uF, CF201, b.cursor(uF), false, false);

    OpInst& dry = b.op(uY, "Dry", "Dry at 50 C and 100 mbar to constant weight.", b.cursor(uY), r.minutes(480, 720));
    dry.labor = {{1, 0.2}};
    dry.action = [](Sim& s, const OpInst& o) {
        Mixture& m = s.mix(DR201);
        Mixture condensate, gas;
        double duty = 0.0;
        s.temp(DR201) = 50.0;
        s.pressure(DR201) = 0.1;
        for (int mat = 1; mat <= kMaterials; ++mat) {
            m.movePhase(mat, Liquid2, Liquid1, 1.0);
            const double kg = m.at(mat, Liquid1);
            if (kg <= 0.0) continue;
            if (materialDef(mat).latentHeat > 0.0) {
                duty += kg * materialDef(mat).latentHeat;
                condensate.at(mat, Liquid1) = 0.99 * kg;
                gas.at(mat, Gas) = kg - 0.99 * kg;
                m.at(mat, Liquid1) = 0.99 * kg;
                m.at(mat, Gas) += kg - 0.99 * kg;
            } else {
                m.movePhase(mat, Liquid1, Solid, 1.0);
            }
        }
        s.utility(o, Steam, DR201, duty);
        s.move(o, DR201, INV201, condensate, kWaste, "S-316", 16);
        s.vapor(o, DR201, 0, gas, "After Condenser", "V-303");
        s.pressure(DR201) = kAtm;
    };
    OpInst& unload = b.op(uY, "Transfer", "Unload the dry salt into drums.", b.cursor(uY), r.minutes(40, 60));
    unload.labor = {{1, 2.0}};
    unload.depositTank = INV204;
    unload.action = [int2In](Sim& s, const OpInst& o) {
        const Mixture m = s.mix(DR201).condensed();
        const double kmol = m.materialMass(ApiHcl) / materialDef(ApiHcl).molecularWeight;
        s.move(o, DR201, INV204, m, kProcess, "S-317", 17);
        s.noVapor(o, DR201, 0, "None", "V-304");
        s.output(o.step, m.materialMass(ApiHcl), *int2In > 0.0 ? 100.0 * kmol / *int2In : 0.0);
    };
    cip(b, uY, DR201, b.cursor(uY), false, false);
}

// Step 4: the dried salt blended with cellulose in BL-201 and packed.
void planBlending(BatchBuilder& b)
{
    Rng& r = b.rng();
    const int uB = b.up(1, "P-1 / BL-201 Blending and Packing", BL201);
    const double excipient = r.uniform(1.15, 1.25), retain = r.uniform(0.004, 0.006);
    auto apiIn = std::make_shared<double>(0.0);

    OpInst& api =
        b.op(uB, "Charge", "Charge one batch of API hydrochloride from the drum store.", 0, r.minutes(30, 45));
    api.drawTank = INV204;
    api.labor = {{1, 1.5}};
    api.action = [apiIn](Sim& s, const OpInst& o) {
        const Mixture m = s.drum(o.batch);
        *apiIn = m.materialMass(ApiHcl);
        s.move(o, INV204, BL201, m, kProcess, "S-401", 1);
    };
    OpInst& mcc = b.op(uB, "Charge", "Charge microcrystalline cellulose (1.2 parts per part of API).", b.cursor(uB),
                       r.minutes(30, 45));
    mcc.labor = {{1, 1.5}};
    mcc.action = [excipient](Sim& s, const OpInst& o) {
        const double kg = s.mix(BL201).materialMass(ApiHcl) * excipient;
        s.move(o, INV203, BL201, Mixture::pure(Cellulose, Solid, kg), kFeed, "S-402", 2);
    };
    OpInst& blend = b.op(uB, "Agitate", "Blend for 90 to 120 min.", b.cursor(uB), r.minutes(90, 120));
    blend.labor = {{1, 0.5}};
    OpInst& pack =
        b.op(uB, "Transfer", "Discharge into lined drums; keep retain samples.", b.cursor(uB), r.minutes(45, 60));
    pack.labor = {{1, 2.0}, {3, 0.5}};
    pack.action = [apiIn, retain](Sim& s, const OpInst& o) {
        const Mixture m = s.mix(BL201).condensed();
        const Mixture product = m.scaled(1.0 - retain);
        s.move(o, BL201, INV202, product, kProduct, "S-403", 3);
        s.move(o, BL201, 0, s.mix(BL201).condensed(), kProduct, "S-404", 4);
        s.output(o.step, product.mass(), *apiIn > 0.0 ? 100.0 * product.materialMass(ApiHcl) / *apiIn : 0.0);
    };
    cip(b, uB, BL201, b.cursor(uB), true, false);
}

} // namespace batchplant::sample

#pragma once
// The simulation of the sample campaign: vessels' contents, temperatures and
// pressures as the operations run in time order, and every row the run
// writes (schedule, contents, streams, utilities, vapors, labor, phases).

#include <cmath>
#include <map>
#include <optional>
#include <vector>

#include "db/Sqlite.h"
#include "sample/SampleCampaign.h"

namespace batchplant::sample {

// ---- the simulation ----------------------------------------------------------

struct VesselState {
    Mixture mix;
    double tempC = 20.0;
    double pressureBar = kAtm;
};

struct StepStats {
    std::vector<long> batchStart, batchEnd;
    std::vector<double> batchSize, yield;
    std::map<int, long> occupancy;   // equipment → seconds in use
    std::map<int, double> maxVolume; // equipment → largest contents volume, liters
    long firstStart = -1, lastEnd = 0;
};

enum class Owner { Contents, Stream, Utility, AirEmission, Composite };

class Sim {
public:
    explicit Sim(const sqlite::Connection& db)
        : schedule_(db, "INSERT INTO EquipmentSchedule VALUES (?,?,?,?,?,?,?,?,?)", SQLITE_PREPARE_PERSISTENT),
          contents_(db, "INSERT INTO EquipmentContents VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                    SQLITE_PREPARE_PERSISTENT),
          stream_(db, "INSERT INTO StreamSummary VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                  SQLITE_PREPARE_PERSISTENT),
          utility_(db,
                   "INSERT INTO UtilitySummary VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                   SQLITE_PREPARE_PERSISTENT),
          vapor_(db, "INSERT INTO AirEmissionSummary VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                 SQLITE_PREPARE_PERSISTENT),
          composite_(db, "INSERT INTO CompositeContents VALUES (?,?,?,?,?,?,?,?,?,?)", SQLITE_PREPARE_PERSISTENT),
          phase_(db, "INSERT INTO ThermodynamicPhase VALUES (?,?,?,?,?,?,?,?,?,?)", SQLITE_PREPARE_PERSISTENT),
          component_(db, "INSERT INTO PhaseComponents VALUES (?,?,?,?,?)", SQLITE_PREPARE_PERSISTENT),
          labor_(db, "INSERT INTO LaborSummary VALUES (?,?,?,?,?,?,?,?,?,?,?)", SQLITE_PREPARE_PERSISTENT),
          vessels_(kEquipment + 1)
    {
    }

    SampleSummary counts;
    StepStats stats[kSteps];

    Mixture& mix(int e) { return vessels_.at(static_cast<std::size_t>(e)).mix; }
    double& temp(int e) { return vessels_.at(static_cast<std::size_t>(e)).tempC; }
    double& pressure(int e) { return vessels_.at(static_cast<std::size_t>(e)).pressureBar; }

    static bool holdsMaterial(int e) { return e > 0 && equipmentDef(e).kind != Inventory; }

    // Moves `m` from `from` to `to` (0: outside the plant) and writes the stream row.
    void move(const OpInst& o, int from, int to, Mixture m, int category, const char* label, int icon)
    {
        m.clean();
        double tempC, pressureBar;
        takeOut(from, m, tempC, pressureBar);
        if (holdsMaterial(to)) {
            const double c0 = heatCapacity(mix(to)), c1 = heatCapacity(m);
            if (c0 + c1 > 0.0) temp(to) = (c0 * temp(to) + c1 * tempC) / (c0 + c1);
            mix(to) += m;
        }
        if (to > 0 && equipmentDef(to).kind == Buffer) deposits_[to][o.batch] += m.mass();
        if (to == INV204) drums_[o.batch] += m;
        writeStream(o, from, to, m, category, label, icon, tempC, pressureBar);
        if (from > 0 && equipmentDef(from).kind == Buffer) writeComposite(from, o.end);
        if (to > 0 && equipmentDef(to).kind == Buffer) writeComposite(to, o.end);
    }

    // The share of a buffer tank's well-mixed contents that belongs to `batch`.
    Mixture drawPortion(int tank, int batch)
    {
        auto& byBatch = deposits_[tank];
        const auto found = byBatch.find(batch);
        if (found == byBatch.end())
            throw SampleGeneratorError("sample: batch drawn from a buffer tank before it was filled");
        const double wanted = found->second;
        byBatch.erase(found);
        const double total = mix(tank).mass();
        if (total <= 0.0) return {};
        double share = std::min(1.0, wanted / total);
        if (total - wanted < 1e-6 * std::max(1.0, wanted)) share = 1.0;
        return mix(tank).scaled(share);
    }

    Mixture drum(int batch)
    {
        const auto found = drums_.find(batch);
        if (found == drums_.end())
            throw SampleGeneratorError("sample: batch taken from the drum store before it was stored");
        Mixture m = found->second;
        drums_.erase(found);
        return m;
    }

    // A vapor stream: `gas` leaves `from` (whose gas phase must hold it).
    void vapor(const OpInst& o, int from, int to, Mixture gas, const char* control, const char* label)
    {
        gas.clean();
        double tempC, pressureBar;
        takeOut(from, gas, tempC, pressureBar);
        if (holdsMaterial(to)) mix(to) += gas;
        writeVapor(o, from, to, gas, control, label, tempC, pressureBar);
    }

    // Heats or cools a vessel's contents to `tempC`, charging the utility with the heat.
    void heatTo(const OpInst& o, int e, double tempC, Utility u)
    {
        const double duty = heatCapacity(mix(e)) * (tempC - temp(e));
        temp(e) = tempC;
        utility(o, u, e, duty);
    }

    void utility(const OpInst& o, Utility u, int equipment, double dutyKJ)
    {
        const UtilityDef& d = kUtilities[u];
        const double kg = std::abs(dutyKJ) / d.kjPerKg;
        Mixture m;
        if (u == Steam) {
            m.at(Water, Gas) = kg;
        } else if (u == ChilledBrine) {
            m.at(Water, Liquid1) = 0.7 * kg;
            m.at(Glycol, Liquid1) = 0.3 * kg;
        } else {
            m.at(Water, Liquid1) = kg;
        }
        const long long id = ++counts.utilities;
        const double hours = (o.end - o.start) / 3600.0;
        const double volume = kg / d.density;
        utility_.run(id, d.name, sqlite::Null{}, o.batch, o.step, o.upId, *o.upName, o.opId, o.type, kUtilityCategory,
                     nullable(equipment), static_cast<double>(o.start), "s", static_cast<double>(o.end), "s", d.inletC,
                     "C", d.outletC, d.pressureBar, "bar", d.pressureBar, kg, "kg", m.moles(), "kmole", volume,
                     "Cubic m", volume / hours, "Cubic m/h", dutyKJ, "KJ");
        writePhases(Owner::Utility, id, m);
    }

    // A vapor row with no mass (the emission model reported nothing).
    void noVapor(const OpInst& o, int from, int to, const char* control, const char* label)
    {
        writeVapor(o, from, to, Mixture{}, control, label, temp(from), pressure(from));
    }

    void output(int step, double kg, double yieldPercent)
    {
        stats[step - 1].batchSize.push_back(kg);
        stats[step - 1].yield.push_back(yieldPercent);
    }

    // Runs one operation: its material action, then its schedule, contents and labor rows.
    void run(const OpInst& o)
    {
        if (o.action) o.action(*this, o);
        const long long scheduleId = ++counts.operations;
        schedule_.run(scheduleId, o.equipment, o.batch, o.step, o.upId, o.opId, o.start / 3600.0, o.end / 3600.0, "h");
        if (o.contents) writeContents(o);
        for (const auto& [grade, operators] : o.labor) {
            labor_.run(++counts.laborRows, o.step, o.batch, o.upId, o.opId, o.equipment, grade, o.start / 3600.0,
                       o.end / 3600.0, "h", operators);
        }
        StepStats& s = stats[o.step - 1];
        if (s.firstStart < 0 || o.start < s.firstStart) s.firstStart = o.start;
        s.lastEnd = std::max(s.lastEnd, o.end);
        lastEnd_ = std::max(lastEnd_, o.end);
    }

    long lastEnd() const { return lastEnd_; }

private:
    // Takes `m` out of `from` and gives the temperature and pressure it
    // leaves at: those of the vessel, or 20 C and atmospheric pressure from
    // outside the plant or an inventory location (which hold no contents).
    void takeOut(int from, const Mixture& m, double& tempC, double& pressureBar)
    {
        tempC = holdsMaterial(from) ? temp(from) : 20.0;
        pressureBar = holdsMaterial(from) ? pressure(from) : kAtm;
        if (holdsMaterial(from)) {
            mix(from) -= m;
            mix(from).clean();
        }
    }

    void writeStream(const OpInst& o, int from, int to, const Mixture& m, int category, const char* label, int icon,
                     double tempC, double pressureBar)
    {
        const long long id = ++counts.streams;
        const double condensed = m.condensedVolume();
        const double liters = (condensed > 0.0 ? condensed : m.gasVolume(tempC, pressureBar)) * 1000.0;
        const double hours = (o.end - o.start) / 3600.0;
        const int primary = primaryMaterial(m);
        stream_.run(id, label, o.batch, o.step, o.upId, *o.upName, o.opId, o.type,
                    primary ? materialDef(primary).name : nullptr, category, icon, nullable(from), nullable(to),
                    o.start / 60.0, "min", o.end / 60.0, "min", tempC, "C", pressureBar / kAtm, "atm", liters / hours,
                    "liter/h", m.mass(), "kg", liters, "liter", m.moles(), "kmole");
        // Cleaning streams are reported without composition.
        if (category != kCleaning) writePhases(Owner::Stream, id, m);
    }

    void writeVapor(const OpInst& o, int from, int to, const Mixture& gas, const char* control, const char* label,
                    double tempC, double pressureBar)
    {
        const long long id = ++counts.vaporEmissions;
        const double m3 = gas.gasVolume(tempC, pressureBar);
        const double hours = (o.end - o.start) / 3600.0;
        vapor_.run(id, label, o.batch, o.step, o.upId, *o.upName, o.opId, o.type, kWaste, control, nullable(from),
                   nullable(to), o.start / 60.0, "min", o.end / 60.0, "min", tempC, "C", pressureBar / kAtm, "atm",
                   m3 / hours, "Cubic m/h", gas.mass(), "kg", m3, "Cubic m", gas.moles(), "kmole");
        if (gas.mass() > 0.0) writePhases(Owner::AirEmission, id, gas);
    }

    void writeComposite(int tank, long time)
    {
        const Mixture& m = mix(tank);
        const long long id = ++counts.compositeContents;
        composite_.run(id, tank, time / 3600.0, "h", m.mass(), "kg", m.moles(), "kmole", m.condensedVolume(),
                       "Cubic m");
        writePhases(Owner::Composite, id, m);
    }

    void writeContents(const OpInst& o)
    {
        const int e = o.equipment;
        const Mixture& m = mix(e);
        const double mass = m.mass(), moles = m.moles(), volume = m.condensedVolume();
        std::optional<double> mw, viscosity, cp, density;
        if (mass > 0.0) {
            mw = mass / moles;
            cp = heatCapacity(m) / mass;
        }
        if (volume > 0.0) density = (mass - m.phaseMass(Gas)) / volume;
        const double liquidMoles = m.phaseMoles(Liquid1) + m.phaseMoles(Liquid2);
        if (liquidMoles > 0.0) {
            double lnMu = 0.0;
            for (int mat = 1; mat <= kMaterials; ++mat) {
                const double n = (m.at(mat, Liquid1) + m.at(mat, Liquid2)) / materialDef(mat).molecularWeight;
                lnMu += n / liquidMoles * std::log(materialDef(mat).viscosity);
            }
            const double solidShare = volume > 0.0 ? m.phaseVolume(Solid) / volume : 0.0;
            viscosity = std::exp(lnMu) * (1.0 + 2.5 * solidShare);
        }
        const long long id = ++counts.contents;
        contents_.run(id, e, o.batch, o.step, o.upId, *o.upName, o.opId, o.end / 60.0, "min", volume * 1000.0, "liter",
                      mass, "kg", moles, "kmole", temp(e), "C", pressure(e), "bar", mw, viscosity, "cp", cp, "KJ/kg-K",
                      density, "kg/Cubic m");
        writePhases(Owner::Contents, id, m);
        // The overflow batch is an operator's mistake, not the design the
        // potential batch size is worked out from.
        if (o.step != kOverflowStep || o.batch != kOverflowBatch) {
            StepStats& s = stats[o.step - 1];
            s.maxVolume[e] = std::max(s.maxVolume[e], volume * 1000.0);
        }
    }

    // One phase row per non-empty phase and one component row per material in
    // it. Phase fractions are shares of the owner's mass, moles and condensed
    // volume (the gas phase has volume share 0 beside condensed phases, 1 alone);
    // component fractions are shares of the phase (mole fractions stand for
    // volume fractions in the gas).
    void writePhases(Owner owner, long long ownerId, const Mixture& m)
    {
        const double mass = m.mass(), moles = m.moles(), volume = m.condensedVolume();
        if (mass <= 0.0) return;
        for (int p = 0; p < kPhases; ++p) {
            const double pm = m.phaseMass(p);
            if (pm <= 0.0) continue;
            const double pn = m.phaseMoles(p), pv = m.phaseVolume(p);
            const double volumeShare = p == Gas ? (volume > 0.0 ? 0.0 : 1.0) : pv / volume;
            const long long phaseId = ++counts.phases;
            auto ownerValue = [&](Owner o) { return owner == o ? std::optional<long long>(ownerId) : std::nullopt; };
            phase_.run(phaseId, phaseName(p), ownerValue(Owner::Contents), ownerValue(Owner::Stream),
                       ownerValue(Owner::Utility), ownerValue(Owner::AirEmission), ownerValue(Owner::Composite),
                       pm / mass, pn / moles, volumeShare);
            for (int mat = 1; mat <= kMaterials; ++mat) {
                const double kg = m.at(mat, p);
                if (kg <= 0.0) continue;
                const MaterialDef& d = materialDef(mat);
                const double n = kg / d.molecularWeight;
                const double v = p == Gas ? n / pn : kg / (p == Solid ? d.solidDensity : d.liquidDensity) / pv;
                component_.run(phaseId, mat, kg / pm, n / pn, v);
                ++counts.phaseComponents;
            }
        }
    }

    static std::optional<long long> nullable(int equipment)
    {
        return equipment > 0 ? std::optional<long long>(equipment) : std::nullopt;
    }

    sqlite::Statement schedule_, contents_, stream_, utility_, vapor_, composite_, phase_, component_, labor_;
    std::vector<VesselState> vessels_;
    std::map<int, std::map<int, double>> deposits_; // tank → batch → kg
    std::map<int, Mixture> drums_;                  // batch → dried product in the drum store
    long lastEnd_ = 0;
};

} // namespace batchplant::sample

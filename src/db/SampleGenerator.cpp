// The sample campaign: four process steps of a small API synthesis run in two
// plants. Every batch of every step is first planned on its own (operations
// with durations drawn from the seed), then placed on the plant's time line
// by a list scheduler (equipment is used one batch at a time, buffer tanks
// hold a bounded number of batches, batches start inside the working time of
// the step's main vessel), and finally simulated in time order: each
// operation moves material between vessels, and every stream, utility, vapor,
// labor and contents row is written from that simulation, so the rows agree
// with each other.

#include "batchplant/db/SampleGenerator.h"

#include "batchplant/db/ResultsSchema.h"
#include "db/SampleModel.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <limits>
#include <cmath>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <queue>
#include <string>
#include <system_error>
#include <vector>

namespace batchplant {

namespace {

using namespace sample;

// ---- SQLite ----------------------------------------------------------------

struct Null {};

[[noreturn]] void fail(sqlite3* db, const std::string& what)
{
    throw SampleGeneratorError(what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

void exec(sqlite3* db, const std::string& sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "unknown error";
        sqlite3_free(message);
        throw SampleGeneratorError("cannot run \"" + sql.substr(0, 60) + "\": " + text);
    }
}

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) : db_(db)
    {
        if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) != SQLITE_OK)
            fail(db, "cannot prepare \"" + sql.substr(0, 60) + "\"");
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    template <class... Args> void run(const Args&... args)
    {
        int i = 1;
        (bind(i++, args), ...);
        if (sqlite3_step(stmt_) != SQLITE_DONE) fail(db_, "cannot write a row");
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }

private:
    void check(int rc)
    {
        if (rc != SQLITE_OK) fail(db_, "cannot bind a value");
    }
    void bind(int i, int v) { check(sqlite3_bind_int64(stmt_, i, v)); }
    void bind(int i, long v) { check(sqlite3_bind_int64(stmt_, i, v)); }
    void bind(int i, long long v) { check(sqlite3_bind_int64(stmt_, i, v)); }
    void bind(int i, double v) { check(sqlite3_bind_double(stmt_, i, v)); }
    void bind(int i, const char* v)
    {
        check(v ? sqlite3_bind_text(stmt_, i, v, -1, SQLITE_STATIC) : sqlite3_bind_null(stmt_, i));
    }
    void bind(int i, const std::string& v) { check(sqlite3_bind_text(stmt_, i, v.c_str(), -1, SQLITE_TRANSIENT)); }
    void bind(int i, Null) { check(sqlite3_bind_null(stmt_, i)); }
    void bind(int i, const std::optional<double>& v) { v ? bind(i, *v) : bind(i, Null{}); }
    void bind(int i, const std::optional<long long>& v) { v ? bind(i, *v) : bind(i, Null{}); }
    void bind(int i, const std::optional<std::string>& v) { v ? bind(i, *v) : bind(i, Null{}); }

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// The statements of a schema text, each with its own text; CREATE INDEX
// statements are kept apart so that they can run after the bulk inserts.
void runSchema(sqlite3* db, const char* text, std::vector<std::string>& deferredIndexes)
{
    const char* tail = text;
    while (tail && *tail) {
        sqlite3_stmt* stmt = nullptr;
        const char* next = nullptr;
        if (sqlite3_prepare_v2(db, tail, -1, &stmt, &next) != SQLITE_OK) fail(db, "the schema does not compile");
        tail = next;
        if (!stmt) continue; // only blanks or comments were left
        std::string sql = sqlite3_sql(stmt);
        // Skip the comments and blanks before the statement's first word.
        std::size_t p = 0;
        for (;;) {
            while (p < sql.size() && std::isspace(static_cast<unsigned char>(sql[p])))
                ++p;
            if (sql.compare(p, 2, "--") == 0) {
                p = sql.find('\n', p);
                if (p == std::string::npos) p = sql.size();
            } else if (sql.compare(p, 2, "/*") == 0) {
                p = sql.find("*/", p);
                p = p == std::string::npos ? sql.size() : p + 2;
            } else {
                break;
            }
        }
        std::string head = sql.substr(p, 20);
        for (char& c : head)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const bool isIndex = head.rfind("CREATE INDEX", 0) == 0 || head.rfind("CREATE UNIQUE INDEX", 0) == 0;
        if (isIndex) {
            deferredIndexes.push_back(sql);
            sqlite3_finalize(stmt);
            continue;
        }
        const int rc = sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            fail(db, "cannot run the schema statement \"" + sql.substr(p, 60) + "\"");
    }
}

// ---- constants of the campaign ---------------------------------------------

constexpr int kSteps = 4;
constexpr int kBatchesPerScale = 96;
// The plan starts on Monday 2024-04-01 at 06:00.
constexpr int kPlanYear = 2024, kPlanMonth = 4, kPlanDay = 1, kPlanWeekday = 1;
constexpr long kPlanStartSecondOfDay = 6 * 3600;
// The one batch that overflows R-103: its quench solution is charged three
// times over.
constexpr int kOverflowStep = 2, kOverflowBatch = 3, kOverflowCharges = 3;

// Stream categories.
constexpr int kProcess = 1, kFeed = 2, kProduct = 3, kWaste = 4, kCleaning = -5, kUtilityCategory = 5;

constexpr double kAtm = 1.01325; // bar

const char* const kStepNames[kSteps] = {"Amidation", "Coupling", "Salt Formation and Isolation",
                                        "Milling and Blending"};
const char* const kStepVersions[kSteps] = {"v2.1", "v1.0", "v3.0", "v1.2"};
const int kStepPlants[kSteps] = {1, 1, 2, 2};
const int kStepMainEquipment[kSteps] = {R101, R102, R201, BL201};
const char* const kReactions[kSteps] = {
    "Benzylamine + Acetic anhydride -> Int-1 (N-benzylacetamide) + Acetic acid",
    "Int-1 + 4-Bromoanisole -> Int-2 (coupled amide) + Hydrogen bromide; quench: HBr + NaOH -> NaBr + Water",
    "Int-2 + Hydrogen chloride -> API hydrochloride",
    "API hydrochloride blended with microcrystalline cellulose",
};
// Key input and output materials of each step, and a second input (0: none).
const int kStepKeyInput[kSteps] = {0, Int1, Int2, ApiHcl};
const int kStepKeyOutput[kSteps] = {Int1, Int2, ApiHcl, ApiHcl};
const int kStepInput2[kSteps] = {Benzylamine, Bromoanisole, HydrogenChloride, Cellulose};

const Reaction kAmidation{{{Benzylamine, 1}, {AceticAnhydride, 1}}, {{Int1, 1}, {AceticAcid, 1}}, Liquid1, -45000.0};
const Reaction kCoupling{{{Int1, 1}, {Bromoanisole, 1}}, {{Int2, 1}, {HydrogenBromide, 1}}, Liquid1, -30000.0};
const Reaction kNeutralisation{
    {{HydrogenBromide, 1}, {SodiumHydroxide, 1}}, {{SodiumBromide, 1}, {Water, 1}}, Liquid2, -57000.0};
const Reaction kSaltFormation{{{Int2, 1}, {HydrogenChloride, 1}}, {{ApiHcl, 1}}, Liquid1, -25000.0};

// Utilities: name, inlet and outlet temperature (C), pressure (bar), heat
// taken up per kg (kJ/kg), density (kg/m3), phase and composition.
enum Utility { Steam, CoolingWater, ChilledBrine, CipHotWater };
struct UtilityDef {
    const char* name;
    double inletC, outletC, pressureBar, kjPerKg, density;
};
const UtilityDef kUtilities[] = {
    {"Steam", 151.8, 151.8, 4.8, 2108.0, 2.55},
    {"Cooling Water", 25.0, 35.0, 3.0, 41.8, 995.0},
    {"Chilled Brine", -10.0, -5.0, 3.0, 17.5, 1050.0},
    {"CIP Hot Water", 80.0, 60.0, 3.0, 250.8, 972.0},
};

double heatCapacity(const Mixture& m)
{
    double c = 0.0;
    for (int mat = 1; mat <= kMaterials; ++mat)
        c += m.materialMass(mat) * materialDef(mat).heatCapacity;
    return c; // kJ/K
}

int primaryMaterial(const Mixture& m)
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
    explicit Sim(sqlite3* db)
        : schedule_(db, "INSERT INTO EquipmentSchedule VALUES (?,?,?,?,?,?,?,?,?)"),
          contents_(db, "INSERT INTO EquipmentContents VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
          stream_(db, "INSERT INTO StreamSummary VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
          utility_(db,
                   "INSERT INTO UtilitySummary VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
          vapor_(db, "INSERT INTO AirEmissionSummary VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
          composite_(db, "INSERT INTO CompositeContents VALUES (?,?,?,?,?,?,?,?,?,?)"),
          phase_(db, "INSERT INTO ThermodynamicPhase VALUES (?,?,?,?,?,?,?,?,?,?)"),
          component_(db, "INSERT INTO PhaseComponents VALUES (?,?,?,?,?)"),
          labor_(db, "INSERT INTO LaborSummary VALUES (?,?,?,?,?,?,?,?,?,?,?)"), vessels_(kEquipment + 1)
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
        utility_.run(id, d.name, Null{}, o.batch, o.step, o.upId, *o.upName, o.opId, o.type, kUtilityCategory,
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

    Statement schedule_, contents_, stream_, utility_, vapor_, composite_, phase_, component_, labor_;
    std::vector<VesselState> vessels_;
    std::map<int, std::map<int, double>> deposits_; // tank → batch → kg
    std::map<int, Mixture> drums_;                  // batch → dried product in the drum store
    long lastEnd_ = 0;
};

// ---- recipes -----------------------------------------------------------------

// Clean in place: pre-rinse, caustic wash and final rinse, each in and out.
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

// Reaction under reflux through CD-101: the solvent boils up, 99 % comes
// back as condensate, the rest and the swept nitrogen leave to the vent header.
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

// Heats or cools a reactor under the reflux condenser: the utility takes the
// heat, and the vapor line to the condenser reports a row with no mass.
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

    OpInst& fill =
        b.op(uV, "Charge", "Fill V-101 with 1500 L of toluene from the solvent tank farm.", 0, r.minutes(25, 35));
    fill.labor = {{1, 0.5}};
    fill.action = [toluene](Sim& s, const OpInst& o) {
        s.move(o, INV102, V101, Mixture::pure(Toluene, Liquid1, toluene), kFeed, "S-101", 1);
    };
    OpInst& toReactor = b.op(uV, "Transfer", "Transfer the toluene to R-101.", b.sync(uV, uR), r.minutes(20, 30));
    toReactor.action = [](Sim& s, const OpInst& o) {
        s.move(o, V101, R101, s.mix(V101).condensed(), kProcess, "S-102", 2);
    };
    b.alongside(uR, "Transfer In", "Receive toluene from V-101.", toReactor).labor = {{1, 1.0}};
    OpInst& inert = b.op(uR, "Inert", "Inert the reactor with nitrogen.", b.cursor(uR), r.minutes(10, 15));
    inert.action = [n2](Sim& s, const OpInst& o) {
        s.move(o, 0, R101, Mixture::pure(Nitrogen, Gas, n2), kFeed, "S-103", 3);
    };
    OpInst& amineOp = b.op(uR, "Charge", "Charge 450 kg of benzylamine from drums.", b.cursor(uR), r.minutes(25, 40));
    amineOp.labor = {{1, 2.7}};
    amineOp.action = [amine](Sim& s, const OpInst& o) {
        s.move(o, INV101, R101, Mixture::pure(Benzylamine, Liquid1, amine), kFeed, "S-104", 4);
    };
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
    OpInst& toCryst = b.op(uR, "Transfer", "Transfer the reaction mass to CR-101; vent the nitrogen.", b.cursor(uR),
                           r.minutes(30, 45));
    toCryst.labor = {{1, 1.0}};
    toCryst.action = [](Sim& s, const OpInst& o) {
        s.move(o, R101, CR101, s.mix(R101).condensed(), kProcess, "S-107", 7);
        s.move(o, R101, INV103, s.mix(R101).onlyPhase(Gas), kWaste, "S-108", 8);
    };
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
    OpInst& toFilter = b.op(uX, "Transfer", "Transfer the slurry to NF-101.", b.cursor(uX), r.minutes(40, 60));
    toFilter.labor = {{1, 1.0}};
    toFilter.action = [](Sim& s, const OpInst& o) {
        s.move(o, CR101, NF101, s.mix(CR101).condensed(), kProcess, "S-109", 9);
    };
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
    OpInst& solvent = b.op(uF, "Charge", "Charge 1050 kg of toluene onto the cake.", b.cursor(uF), r.minutes(20, 30));
    solvent.action = [dissolve](Sim& s, const OpInst& o) {
        s.move(o, INV102, NF101, Mixture::pure(Toluene, Liquid1, dissolve), kFeed, "S-113", 13);
    };
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
    OpInst& inert = b.op(uR, "Inert", "Inert the reactor with nitrogen.", b.cursor(uR), r.minutes(10, 15));
    inert.action = [n2](Sim& s, const OpInst& o) {
        s.move(o, 0, R102, Mixture::pure(Nitrogen, Gas, n2), kFeed, "S-202", 2);
    };
    OpInst& bromo = b.op(uR, "Charge", "Charge 1.02 eq of 4-bromoanisole.", b.cursor(uR), r.minutes(30, 45));
    bromo.labor = {{1, 1.0}};
    bromo.action = [](Sim& s, const OpInst& o) {
        const double kmol = s.mix(R102).materialMass(Int1) / materialDef(Int1).molecularWeight * 1.02;
        s.move(o, INV101, R102, Mixture::pure(Bromoanisole, Liquid1, kmol * materialDef(Bromoanisole).molecularWeight),
               kFeed, "S-203", 3);
    };
    OpInst& cat =
        b.op(uR, "Charge", "Charge 2 kg of palladium catalyst under nitrogen.", b.cursor(uR), r.minutes(10, 15));
    cat.labor = {{2, 0.5}};
    cat.action = [catalyst](Sim& s, const OpInst& o) {
        s.move(o, INV101, R102, Mixture::pure(PdCatalyst, Liquid1, catalyst), kFeed, "S-204", 4);
    };
    heatUnderCondenser(b, uR, R102, "Heat", "Heat to reflux (110 C).", r.minutes(60, 80), 110.0, Steam, "V-201");
    refluxReaction(b, uR, uC, R102, kCoupling, conversion, b.cursor(uR), r.minutes(360, 480), "V-202", "S-205", 5,
                   "V-203");
    heatUnderCondenser(b, uR, R102, "Cool", "Cool to 25 C.", r.minutes(60, 90), 25.0, CoolingWater, "V-204");
    OpInst& toQuench = b.op(uR, "Transfer", "Transfer the reaction mass to R-103; vent the nitrogen.", b.cursor(uR),
                            r.minutes(30, 45));
    toQuench.labor = {{1, 1.0}};
    toQuench.action = [](Sim& s, const OpInst& o) {
        s.move(o, R102, R103, s.mix(R102).condensed(), kProcess, "S-206", 6);
        s.move(o, R102, INV103, s.mix(R102).onlyPhase(Gas), kWaste, "S-207", 7);
    };
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
    OpInst& toBlend = b.op(uQ, "Transfer", "Transfer the organic phase to V-102.", b.cursor(uQ), r.minutes(30, 45));
    toBlend.labor = {{1, 1.0}};
    toBlend.action = [](Sim& s, const OpInst& o) {
        s.move(o, R103, V102, s.mix(R103).condensed(), kProcess, "S-210", 10);
    };
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
    OpInst& inert = b.op(uR, "Inert", "Inert the reactor with nitrogen.", b.cursor(uR), r.minutes(10, 15));
    inert.action = [n2](Sim& s, const OpInst& o) {
        s.move(o, 0, R201, Mixture::pure(Nitrogen, Gas, n2), kFeed, "S-302", 2);
    };
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
    OpInst& toWaste = b.op(uD, "Transfer", "Send the distillate to solvent recovery.", b.cursor(uD), r.minutes(30, 45));
    toWaste.labor = {{1, 0.5}};
    toWaste.action = [](Sim& s, const OpInst& o) {
        s.move(o, RCV201, INV201, s.mix(RCV201).condensed(), kWaste, "S-304", 4);
    };
    OpInst& ipaOp = b.op(uR, "Charge", "Charge 1200 kg of isopropanol.", b.cursor(uR), r.minutes(30, 40));
    ipaOp.labor = {{1, 1.0}};
    ipaOp.action = [ipa](Sim& s, const OpInst& o) {
        s.move(o, INV203, R201, Mixture::pure(Isopropanol, Liquid1, ipa), kFeed, "S-305", 5);
    };
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
    OpInst& toCryst = b.op(uR, "Transfer", "Transfer the salt solution to CR-201; vent the nitrogen.", b.cursor(uR),
                           r.minutes(30, 45));
    toCryst.labor = {{1, 1.0}};
    toCryst.action = [](Sim& s, const OpInst& o) {
        s.move(o, R201, CR201, s.mix(R201).condensed(), kProcess, "S-307", 7);
        s.move(o, R201, 0, s.mix(R201).onlyPhase(Gas), kWaste, "S-308", 8);
    };
    b.alongside(uX, "Transfer In", "Receive the salt solution from R-201.", toCryst);
    cip(b, uR, R201, b.cursor(uR), false, false);

    // The heptane day tank is filled just before CR-201 needs it.
    const long antisolvent = b.cursor(uX);
    const long fillTime = r.minutes(25, 35);
    OpInst& fill = b.op(uH, "Charge", "Fill V-201 with 1050 kg of n-heptane.", antisolvent - fillTime, fillTime);
    fill.labor = {{1, 0.5}};
    fill.action = [heptane](Sim& s, const OpInst& o) {
        s.move(o, INV203, V201, Mixture::pure(Heptane, Liquid1, heptane), kFeed, "S-309", 9);
    };
    OpInst& dose = b.op(uH, "Transfer", "Dose the heptane into CR-201.", antisolvent, r.minutes(30, 45));
    dose.action = [](Sim& s, const OpInst& o) {
        s.move(o, V201, CR201, s.mix(V201).condensed(), kProcess, "S-310", 10);
    };
    b.alongside(uX, "Transfer In", "Receive the heptane antisolvent from V-201.", dose);
    OpInst& cryst = b.op(uX, "Crystallize", "Cool to 5 C over 5 to 7 h to crystallize the salt.", b.cursor(uX),
                         r.minutes(300, 420));
    cryst.labor = {{1, 0.5}};
    cryst.action = [crystallized](Sim& s, const OpInst& o) {
        s.heatTo(o, CR201, 5.0, ChilledBrine);
        s.mix(CR201).movePhase(ApiHcl, Liquid1, Solid, crystallized);
    };
    b.op(uX, "Hold", "Age the slurry at 5 C.", b.cursor(uX), r.minutes(60, 90));
    OpInst& toCentrifuge = b.op(uX, "Transfer", "Feed the slurry to CF-201.", b.cursor(uX), r.minutes(60, 90));
    toCentrifuge.labor = {{1, 1.0}};
    toCentrifuge.action = [](Sim& s, const OpInst& o) {
        s.move(o, CR201, CF201, s.mix(CR201).condensed(), kProcess, "S-311", 11);
    };
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
    OpInst& discharge = b.op(uF, "Transfer", "Discharge the wet cake to DR-201.", b.cursor(uF), r.minutes(20, 30));
    discharge.labor = {{1, 2.0}};
    discharge.action = [](Sim& s, const OpInst& o) {
        s.move(o, CF201, DR201, s.mix(CF201).condensed(), kProcess, "S-315", 15);
    };
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

using PlanFn = void (*)(BatchBuilder&);
const PlanFn kPlans[kSteps] = {planAmidation, planCoupling, planSaltFormation, planBlending};

// Buffer capacity in batches.
int bufferBatches(int tank) { return tank == BT101 ? 4 : 3; }

// ---- scheduling --------------------------------------------------------------

class Scheduler {
public:
    // `origin`: the earliest batch start, in seconds from midnight of the plan's first day.
    Scheduler(const std::vector<CalendarDef>& calendars, long origin) : calendars_(calendars), origin_(origin) {}

    // Places the batch: returns the batch start in seconds from midnight of
    // the plan's first day and books its equipment.
    long place(BatchPlan& plan)
    {
        const int step = plan.step;
        long t = lastStart(step);
        for (const OpInst& o : plan.ops) {
            if (o.drawTank) t = std::max(t, depositEnd_[o.drawTank].at(plan.batch) - o.start);
            if (o.depositTank && equipmentDef(o.depositTank).kind == Buffer) {
                const int older = plan.batch - bufferBatches(o.depositTank);
                if (older >= 1) t = std::max(t, drawEnd_[o.depositTank].at(older) - o.start);
            }
        }
        // Unit procedure spans of the equipment used one batch at a time.
        std::map<int, std::pair<long, long>> spans;
        for (const OpInst& o : plan.ops) {
            if (equipmentDef(o.equipment).kind != Process) continue;
            auto [it, inserted] = spans.emplace(o.equipment, std::make_pair(o.start, o.end));
            if (!inserted) {
                it->second.first = std::min(it->second.first, o.start);
                it->second.second = std::max(it->second.second, o.end);
            }
        }
        const CalendarDef* calendar = nullptr;
        const int calendarId = equipmentDef(kStepMainEquipment[step - 1]).calendar;
        for (const CalendarDef& c : calendars_)
            if (c.id == calendarId) calendar = &c;

        for (int round = 0;; ++round) {
            if (round > 100000) throw SampleGeneratorError("sample: the scheduler does not settle");
            const long before = t;
            if (calendar) t = calendarNextWorking(*calendar, kPlanWeekday, t);
            for (const auto& [equipment, span] : spans)
                t = std::max(t, lastEnd_[equipment] - span.first);
            for (const OpInst& o : plan.ops) {
                const int tank = bufferOf(o);
                if (!tank) continue;
                const long at = t + o.start;
                const long free = earliestFree(busy_[tank], at, o.end - o.start);
                t += free - at;
            }
            if (t == before) break;
        }
        for (const auto& [equipment, span] : spans)
            lastEnd_[equipment] = t + span.second;
        for (OpInst& o : plan.ops) {
            o.start += t;
            o.end += t;
            if (const int tank = bufferOf(o)) busy_[tank].emplace(o.start, o.end);
            if (o.depositTank) depositEnd_[o.depositTank][plan.batch] = o.end;
            if (o.drawTank) drawEnd_[o.drawTank][plan.batch] = o.end;
        }
        lastStart_[step] = t;
        plan.start = t;
        return t;
    }

    long lastStart(int step) const
    {
        const auto found = lastStart_.find(step);
        return found == lastStart_.end() ? origin_ : found->second;
    }

private:
    // The buffer tank whose transfers may not overlap, if the op is one.
    static int bufferOf(const OpInst& o)
    {
        const int tank = o.depositTank ? o.depositTank : o.drawTank;
        return tank && equipmentDef(tank).kind == Buffer ? tank : 0;
    }

    static long earliestFree(const std::map<long, long>& busy, long at, long length)
    {
        auto it = busy.upper_bound(at);
        if (it != busy.begin()) {
            const auto before = std::prev(it);
            if (before->second > at) at = before->second;
        }
        for (; it != busy.end() && it->first < at + length; ++it)
            at = std::max(at, it->second);
        return at;
    }

    const std::vector<CalendarDef>& calendars_;
    long origin_;
    std::map<int, long> lastStart_;
    std::map<int, long> lastEnd_;
    std::map<int, std::map<long, long>> busy_;
    std::map<int, std::map<int, long>> depositEnd_, drawEnd_;
};

// ---- static tables -------------------------------------------------------------

void writeStaticTables(sqlite3* db, SampleSummary& summary)
{
    {
        Statement s(db, "INSERT INTO FacilitySummary VALUES (?,?)");
        s.run(1, "Building 1 - Synthesis");
        s.run(2, "Building 2 - Isolation and Finishing");
        summary.plants = 2;
    }
    {
        Statement s(db, "INSERT INTO EquipmentSummary VALUES (?,?,?,?,?,?,?,?,?,?)");
        for (int id = 1; id <= kEquipment; ++id) {
            const EquipmentDef& e = equipmentDef(id);
            s.run(e.id, e.tag, e.category, e.classId, e.type, e.capacity, e.capacityUom, e.maxFillFactor, e.plant,
                  e.calendar ? std::optional<long long>(e.calendar) : std::nullopt);
        }
        summary.equipment = kEquipment;
    }
    {
        Statement s(db, "INSERT INTO PureComponents VALUES (?,?,?)");
        for (int id = 1; id <= kMaterials; ++id)
            s.run(id, materialDef(id).name, materialDef(id).molecularWeight);
    }
    {
        Statement s(db, "INSERT INTO LaborCategory VALUES (?,?)");
        s.run(1, "Operator");
        s.run(2, "Senior Operator");
        s.run(3, "QC Analyst");
        s.run(4, "Shift Supervisor");
    }
    {
        Statement cal(db, "INSERT INTO Calendars (CalendarID, Name) VALUES (?,?)");
        Statement week(db, "INSERT INTO CalendarWeekShifts (CalendarID, DayOfWeek, ShiftNo, StartSecond, EndSecond) "
                           "VALUES (?,?,?,?,?)");
        Statement exc(db, "INSERT INTO CalendarExceptions (CalendarID, ExceptionDate) VALUES (?,?)");
        Statement excShift(db, "INSERT INTO CalendarExceptionShifts (CalendarID, ExceptionDate, ShiftNo, StartSecond, "
                               "EndSecond) VALUES (?,?,?,?,?)");
        const long firstDay = daysFromCivil(kPlanYear, kPlanMonth, kPlanDay);
        for (const CalendarDef& c : calendarDefs()) {
            cal.run(c.id, c.name);
            for (int day = 0; day < 7; ++day) {
                int n = 0;
                for (const ShiftDef& s : c.week[static_cast<std::size_t>(day)])
                    week.run(c.id, day, n++, s.start, s.end);
            }
            for (const auto& [offset, shifts] : c.exceptions) {
                const std::string date = isoDate(firstDay + offset);
                exc.run(c.id, date);
                int n = 0;
                for (const ShiftDef& s : shifts)
                    excShift.run(c.id, date, n++, s.start, s.end);
            }
        }
        summary.calendars = static_cast<long long>(calendarDefs().size());
    }
}

void writeRecipe(Statement& stmt, const std::map<int, RecipeOp>& recipe, std::vector<int>& newOps)
{
    for (int id : newOps) {
        const RecipeOp& r = recipe.at(id);
        stmt.run(id, r.step, r.upId, r.upName, r.upSeq, r.opSeq, r.type, r.text);
    }
    newOps.clear();
}

double mean(const std::vector<double>& v)
{
    double s = 0.0;
    for (double x : v)
        s += x;
    return v.empty() ? 0.0 : s / static_cast<double>(v.size());
}

void writePlanAndSteps(sqlite3* db, const Sim& sim, long long batches, long planStart)
{
    const long long epochStart = static_cast<long long>(daysFromCivil(kPlanYear, kPlanMonth, kPlanDay)) * 86400;
    Statement plan(db, "INSERT INTO PPlan VALUES (?,?,?)");
    plan.run(1, "Campaign 2024-Q2 - API hydrochloride", isoDateTime(epochStart + planStart));
    Statement req(db, "INSERT INTO ProductionPlanSummary (RequirementID, PlanID, StepID, NumberOfBatches) "
                      "VALUES (?,?,?,?)");
    Statement step(db, "INSERT INTO StepSummary (StepID, StepName, StepVersionName, KeyInputIntermediateID, "
                       "KeyOutputIntermediateID, InputIntermediate2ID, InputIntermediate3ID, OutputIntermediate2ID, "
                       "OutputIntermediate3ID, NumberOfBatches, TimeLimitingEquipmentID, AverageBatchTime, "
                       "AverageBatchTimeUOM, AverageCycleTime, AverageCycleTimeUOM, CampaignTime, CampaignTimeUOM, "
                       "AverageBatchSize, AverageBatchSizeUOM, PotentialBatchSize, PotentialBatchSizeUOM, "
                       "MinimumBatchSize, MinimumBatchSizeUOM, AverageStepYield, ReactionText, SimulationDateTime, "
                       "StartDateTime, PlantID) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    const std::string simulated = isoDateTime(epochStart - 3 * 86400 + 14 * 3600 + 37 * 60 + 12);
    for (int i = 0; i < kSteps; ++i) {
        const StepStats& s = sim.stats[i];
        req.run(i + 1, 1, i + 1, batches);
        double batchTime = 0.0;
        for (std::size_t b = 0; b < s.batchStart.size(); ++b)
            batchTime += (s.batchEnd[b] - s.batchStart[b]) / 3600.0;
        batchTime /= static_cast<double>(std::max<std::size_t>(1, s.batchStart.size()));
        const double cycle = s.batchStart.size() > 1 ? (s.batchStart.back() - s.batchStart.front()) / 3600.0 /
                                                           static_cast<double>(s.batchStart.size() - 1)
                                                     : batchTime;
        int limiting = 0;
        long longest = -1;
        for (const auto& [equipment, seconds] : s.occupancy) {
            if (equipmentDef(equipment).kind == Process && seconds > longest) {
                longest = seconds;
                limiting = equipment;
            }
        }
        // The largest batch the step's vessels allow at their fill limits.
        double headroom = 10.0;
        for (const auto& [equipment, liters] : s.maxVolume) {
            const EquipmentDef& e = equipmentDef(equipment);
            if (e.kind == Process && liters > 0.0)
                headroom = std::min(headroom, e.capacityLiters * e.maxFillFactor / liters);
        }
        const double size = mean(s.batchSize);
        const double smallest = s.batchSize.empty() ? 0.0 : *std::min_element(s.batchSize.begin(), s.batchSize.end());
        auto id = [](int material) { return material ? std::optional<long long>(material) : std::nullopt; };
        step.run(i + 1, kStepNames[i], kStepVersions[i], id(kStepKeyInput[i]), id(kStepKeyOutput[i]),
                 id(kStepInput2[i]), Null{}, Null{}, Null{}, batches, id(limiting), batchTime, "h", cycle, "h",
                 (s.lastEnd - s.firstStart) / 86400.0, "day", size, "kg", size * std::max(1.0, headroom), "kg",
                 smallest, "kg", mean(s.yield), kReactions[i], simulated,
                 // The last step's row carries no start time, as steps of a plan may.
                 i + 1 < kSteps ? std::optional<std::string>(isoDateTime(epochStart + planStart + s.firstStart))
                                : std::nullopt,
                 kStepPlants[i]);
    }
}

// Fills an open, empty database; the caller commits and closes it.
SampleSummary populate(sqlite3* db, const SampleOptions& options, std::vector<std::string>& indexes)
{
    auto report = [&](double share) {
        if (options.progress) options.progress(share);
    };
    SampleSummary summary;
    exec(db, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA cache_size = -65536; "
             "PRAGMA locking_mode = EXCLUSIVE");
    exec(db, "BEGIN");
    runSchema(db, ResultsSchemaSql(), indexes);
    runSchema(db, CalendarSchemaSql(), indexes);
    writeStaticTables(db, summary);

    Statement recipeStmt(db, "INSERT INTO TextRecipe (OperationID, StepID, UnitProcedureID, UnitProcedureName, "
                             "UnitProcedureSequenceNumber, OperationSequenceNumber, OperationName, RecipeText) "
                             "VALUES (?,?,?,?,?,?,?,?)");
    std::map<int, RecipeOp> recipe;
    std::vector<int> newOps;
    Rng rng(options.seed);
    Sim sim(db);
    Scheduler scheduler(calendarDefs(), kPlanStartSecondOfDay);
    const long long batches = SampleBatchesPerStep(options.scale);

    struct Pending {
        long start;
        long long order;
        std::shared_ptr<BatchPlan> plan;
        const OpInst* op;
        bool operator>(const Pending& o) const { return start != o.start ? start > o.start : order > o.order; }
    };
    std::priority_queue<Pending, std::vector<Pending>, std::greater<Pending>> pending;
    long long order = 0;
    auto runUntil = [&](long watermark) {
        while (!pending.empty() && pending.top().start < watermark) {
            const Pending p = pending.top();
            pending.pop();
            sim.run(*p.op);
        }
    };

    // Times in the tables count from the plan start (06:00 of day one), the
    // scheduler's from midnight of day one.
    const long planStart = kPlanStartSecondOfDay;
    for (long long k = 1; k <= batches; ++k) {
        for (int step = 1; step <= kSteps; ++step) {
            BatchBuilder builder(step, static_cast<int>(k), rng, recipe, newOps);
            kPlans[step - 1](builder);
            writeRecipe(recipeStmt, recipe, newOps);
            std::shared_ptr<BatchPlan> plan = builder.plan();
            scheduler.place(*plan);
            StepStats& stats = sim.stats[step - 1];
            long first = plan->ops.front().start, last = plan->ops.front().end;
            for (OpInst& o : plan->ops) {
                o.start -= planStart;
                o.end -= planStart;
                first = std::min(first, o.start);
                last = std::max(last, o.end);
                pending.push({o.start, order++, plan, &o});
            }
            stats.batchStart.push_back(first);
            stats.batchEnd.push_back(last);
            std::map<int, std::pair<long, long>> spans;
            for (const OpInst& o : plan->ops) {
                auto [it, inserted] = spans.emplace(o.equipment, std::make_pair(o.start, o.end));
                if (!inserted) {
                    it->second.first = std::min(it->second.first, o.start);
                    it->second.second = std::max(it->second.second, o.end);
                }
            }
            for (const auto& [equipment, span] : spans)
                stats.occupancy[equipment] += span.second - span.first;
        }
        long watermark = scheduler.lastStart(1);
        for (int step = 2; step <= kSteps; ++step)
            watermark = std::min(watermark, scheduler.lastStart(step));
        runUntil(watermark - planStart);
        report(0.85 * static_cast<double>(k) / static_cast<double>(batches));
    }
    runUntil(std::numeric_limits<long>::max());

    summary.steps = kSteps;
    summary.batchesPerStep = batches;
    writePlanAndSteps(db, sim, batches, planStart);
    const SampleSummary& c = sim.counts;
    summary.operations = c.operations;
    summary.contents = c.contents;
    summary.streams = c.streams;
    summary.utilities = c.utilities;
    summary.vaporEmissions = c.vaporEmissions;
    summary.compositeContents = c.compositeContents;
    summary.phases = c.phases;
    summary.phaseComponents = c.phaseComponents;
    summary.laborRows = c.laborRows;
    summary.campaignDays = sim.lastEnd() / 86400.0;

    return summary;
}

} // namespace

long long SampleBatchesPerStep(int scale) { return static_cast<long long>(kBatchesPerScale) * scale; }

SampleSummary GenerateSampleDatabase(const std::filesystem::path& path, const SampleOptions& options)
{
    if (options.scale < 1 || options.scale > SampleOptions::kMaxScale)
        throw SampleGeneratorError("sample: scale must be between 1 and " + std::to_string(SampleOptions::kMaxScale) +
                                   ", not " + std::to_string(options.scale));
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) throw SampleGeneratorError("sample: " + path.string() + " already exists");

    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.string().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXRESCODE,
                        nullptr) != SQLITE_OK) {
        const std::string text = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        std::filesystem::remove(path, ec);
        throw SampleGeneratorError("sample: cannot create " + path.string() + ": " + text);
    }
    auto report = [&](double share) {
        if (options.progress) options.progress(share);
    };
    try {
        std::vector<std::string> indexes;
        SampleSummary summary = populate(db, options, indexes);
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            exec(db, indexes[i]);
            report(0.85 + 0.12 * static_cast<double>(i + 1) / static_cast<double>(indexes.size()));
        }
        exec(db, "PRAGMA analysis_limit = 1000; ANALYZE");
        exec(db, "COMMIT");
        if (sqlite3_close(db) != SQLITE_OK) fail(db, "cannot close " + path.string());
        db = nullptr;
        report(1.0);
        return summary;
    } catch (...) {
        sqlite3_close_v2(db);
        std::filesystem::remove(path, ec);
        throw;
    }
}

} // namespace batchplant

// The sample campaign: four process steps of a small API synthesis run in two
// plants. Every batch of every step is first planned on its own (operations
// with durations drawn from the seed), then placed on the plant's time line
// by a list scheduler (equipment is used one batch at a time, buffer tanks
// hold a bounded number of batches, batches start inside the working time of
// the step's main vessel), and finally simulated in time order: each
// operation moves material between vessels, and every stream, utility, vapor,
// labor and contents row is written from that simulation, so the rows agree
// with each other.

#include "sample/SampleGenerator.h"

#include <cctype>
#include <limits>
#include <queue>
#include <system_error>

#include "batchplant/db/ResultsSchema.h"
#include "sample/SampleScheduler.h"

namespace batchplant {

namespace {

using namespace sample;
using sqlite::Connection;
using sqlite::Null;
using sqlite::Statement;

// The statements of a schema text, each with its own text; CREATE INDEX
// statements are kept apart so that they can run after the bulk inserts.
void runSchema(const Connection& db, const char* text, std::vector<std::string>& deferredIndexes)
{
    const char* tail = text;
    while (tail && *tail) {
        Statement stmt = Statement::next(db, tail);
        if (!stmt) continue; // only blanks or comments were left
        std::string sql = stmt.sql();
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
        if (isIndex)
            deferredIndexes.push_back(sql);
        else
            stmt.step();
    }
}

// ---- static tables -------------------------------------------------------------

void writeStaticTables(const Connection& db, SampleSummary& summary)
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

void writePlanAndSteps(const Connection& db, const Sim& sim, long long batches, long planStart)
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
SampleSummary populate(const Connection& db, const SampleOptions& options, std::vector<std::string>& indexes)
{
    auto report = [&](double share) {
        if (options.progress) options.progress(share);
    };
    SampleSummary summary;
    db.exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA cache_size = -65536; "
            "PRAGMA locking_mode = EXCLUSIVE");
    db.exec("BEGIN");
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

    Connection db;
    try {
        db = Connection(path.string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    } catch (const CDaoException& e) {
        std::filesystem::remove(path, ec);
        throw SampleGeneratorError("sample: cannot create " + path.string() + ": " + e.what());
    }
    auto report = [&](double share) {
        if (options.progress) options.progress(share);
    };
    try {
        std::vector<std::string> indexes;
        SampleSummary summary = populate(db, options, indexes);
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            db.exec(indexes[i]);
            report(0.85 + 0.12 * static_cast<double>(i + 1) / static_cast<double>(indexes.size()));
        }
        // Whole statistics: a sampled ANALYZE (analysis_limit) counts about a
        // thousand rows per equipment whatever the scale, and on long runs
        // that led SQLite to read the contents query equipment by equipment
        // and sort it, instead of walking its schedule index in order. The
        // whole pass takes seconds even at scale 100.
        db.exec("ANALYZE");
        db.exec("COMMIT");
        db.close();
        report(1.0);
        return summary;
    } catch (const CDaoException& e) {
        db = Connection();
        std::filesystem::remove(path, ec);
        throw SampleGeneratorError("sample: cannot write " + path.string() + ": " + e.what());
    } catch (...) {
        db = Connection();
        std::filesystem::remove(path, ec);
        throw;
    }
}

} // namespace batchplant

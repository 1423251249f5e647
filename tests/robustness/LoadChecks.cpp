#include "LoadChecks.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "TestSupport.h"
#include "batchplant/db/Dao.h"
#include "batchplant/foundation/CFacilityAbort.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/StepInfo.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant::test {

namespace fs = std::filesystem;

namespace {

// Units whose texts are formatted and searched for "nan"/"inf", per
// procedure: formatting every unit of a large run would dominate the suite.
constexpr int kTextUnitsPerProcedure = 12;
// Composite groups and components asked for, per type and per group.
constexpr int kCompositeGroups = 16;
constexpr int kCompositeComponents = 16;
// Day counts of COleDateTime's valid range (years 100 to 9999).
constexpr double kFirstValidDay = -657435.0;
constexpr double kLastValidDay = 2958466.0;

class Checker {
public:
    Checker(LoadOutcome& out, std::string view) : out_(out), view_(std::move(view)) {}

    void fail(const std::string& what) { out_.failures.push_back(view_ + ": " + what); }

    void finite(double value, const std::string& what)
    {
        if (!std::isfinite(value)) {
            std::ostringstream s;
            s << what << " is " << value;
            fail(s.str());
        }
    }

    void text(const CString& value, const std::string& what)
    {
        if (ShowsNonFinite(value.str())) fail(what + " shows a non-finite number: \"" + value.str() + "\"");
    }

    void date(const COleDateTime& value, const std::string& what)
    {
        if (value.GetStatus() != COleDateTime::valid) return;
        if (!std::isfinite(value.m_dt) || value.m_dt < kFirstValidDay || value.m_dt > kLastValidDay) {
            std::ostringstream s;
            s << what << " is a valid date-time of day count " << value.m_dt << ", outside the calendar";
            fail(s.str());
        }
    }

    void procedure(const CProcedure* proc, const std::string& owner)
    {
        if (!proc) return;
        const int n = proc->GetNumProcs();
        for (int i = 0; i < n && i < kTextUnitsPerProcedure; ++i) {
            const std::string at = owner + " unit " + std::to_string(i);
            text(proc->GetStartTimeStrAt(i), at + " start text");
            text(proc->GetEndTimeStrAt(i), at + " end text");
            text(proc->GetTemperatureAStrAt(i), at + " temperature text");
            text(proc->GetTemperatureBStrAt(i), at + " second temperature text");
            text(proc->GetPressureAStrAt(i), at + " pressure text");
            text(proc->GetPressureBStrAt(i), at + " second pressure text");
            text(proc->GetFlowRateAt(i, CProcedure::VolumetricFlowRate), at + " volumetric flow text");
            text(proc->GetFlowRateAt(i, CProcedure::MassFlowRate), at + " mass flow text");
            text(proc->GetFlowRateAt(i, CProcedure::MolarFlowRate), at + " molar flow text");
            text(proc->GetContentsAt(i), at + " contents text");
        }
    }

    void colour(double r, double g, double b, double a, const std::string& what)
    {
        finite(r, what + " red");
        finite(g, what + " green");
        finite(b, what + " blue");
        finite(a, what + " alpha");
    }

    // What the views draw and show at the current time.
    void drawn(const Facility& f)
    {
        for (int i = 0; i < f.GetNumFloors(); ++i)
            if (const Plane* p = f.GetFloorByIndex(i)) finite(p->GetHeight(), "floor " + std::to_string(i) + " height");
        for (int i = 0; i < f.GetNumVessels(); ++i) {
            const Vessel* v = f.GetVesselByIndex(i);
            if (!v) continue;
            const std::string at = "vessel " + std::to_string(i);
            finite(v->GetX(), at + " x");
            finite(v->GetY(), at + " y");
            finite(v->GetZ(), at + " z");
            finite(v->GetRadius(), at + " radius");
            finite(v->GetHeight(), at + " height");
            finite(v->GetVolume(), at + " level");
            finite(v->GetOverflowLevel(), at + " overflow level");
            double r, g, b, a;
            v->GetCurrentColor(r, g, b, a);
            colour(r, g, b, a, at + " colour");
            v->GetContentsColor(r, g, b, a);
            colour(r, g, b, a, at + " contents colour");
            text(v->GetCurrentOp(), at + " current operation");
        }
        eachStream(f, [&](const Stream* s, const std::string& at) {
            finite(s->GetRadius(), at + " radius");
            finite(s->GetFlowFraction(), at + " flow fraction");
            finite(s->GetFlowPosition(), at + " flow position");
            finite(s->GetSegmentStart(), at + " segment start");
            finite(s->GetSegmentEnd(), at + " segment end");
            finite(s->GetPathLength(), at + " path length");
            double r, g, b, a;
            s->GetCurrentColor(r, g, b, a);
            colour(r, g, b, a, at + " colour");
            s->GetContentsColor(r, g, b, a);
            colour(r, g, b, a, at + " contents colour");
        });
    }

    // What loading built: procedures, dates and the item texts.
    void loaded(const Facility& f)
    {
        date(f.GetStartTime(), "the run's start time");
        date(f.GetSimulationTime(), "the simulation date");
        for (int i = 0; i < f.GetNumSteps(); ++i)
            date(f.GetStepByIndex(i).GetSimulationTime(), "step " + std::to_string(i) + " simulation date");
        for (int i = 0; i < f.GetNumVessels(); ++i)
            if (const Vessel* v = f.GetVesselByIndex(i)) {
                procedure(v->GetProc(), "vessel " + std::to_string(i));
                text(v->GetCapacity(), "vessel " + std::to_string(i) + " capacity");
            }
        eachStream(f, [&](const Stream* s, const std::string& at) { procedure(s->GetProc(), at); });
        for (int item = 1; item <= f.GetNumDrawables() && item <= 40; ++item) {
            CString name, procedures, capacity;
            f.GetInfoForBox(item, name, procedures, capacity);
            text(procedures, "info box " + std::to_string(item) + " procedures");
            text(capacity, "info box " + std::to_string(item) + " capacity");
        }
    }

    template <class Fn> void eachStream(const Facility& f, Fn fn)
    {
        for (int i = 0; i < f.GetNumConnectingStreams(); ++i)
            if (const Stream* s = f.GetStreamByIndex(i)) fn(s, "connecting stream " + std::to_string(i));
        for (int i = 0; i < f.GetNumUniStreams(); ++i)
            if (const Stream* s = f.GetUniStreamByIndex(i)) fn(s, "input/output stream " + std::to_string(i));
        for (int i = 0; i < f.GetNumUtilStreams(); ++i)
            if (const Stream* s = f.GetUtilStreamByIndex(i)) fn(s, "utility stream " + std::to_string(i));
        for (int i = 0; i < f.GetNumVaporStreams(); ++i)
            if (const Stream* s = f.GetVaporStreamByIndex(i)) fn(s, "vapor stream " + std::to_string(i));
    }

private:
    LoadOutcome& out_;
    std::string view_;
};

void checkMessages(const MessageRecorder& recorder, Checker& check, std::vector<std::string>& into)
{
    for (std::size_t i = 0; i < recorder.count(); ++i) {
        const std::string& t = recorder.texts()[i];
        if (t.find_first_not_of(" \t\r\n") == std::string::npos) check.fail("a message box without text");
        if ((recorder.types()[i] & 0xFu) != MB_OK) check.fail("a message box that is not OK-only: \"" + t + "\"");
        into.push_back(t);
    }
}

int vesselUnits(const Facility& f)
{
    int n = 0;
    for (int i = 0; i < f.GetNumVessels(); ++i)
        if (const Vessel* v = f.GetVesselByIndex(i); v && v->GetProc()) n += v->GetProc()->GetNumProcs();
    return n;
}

// The clock and the time-driven state at a few times of the run, then a few
// frames of playing.
void animate(Facility& f, Checker& check)
{
    f.InitAnim();
    f.SetRelativeAnimationTime(1.0);
    const long last = f.GetAnimationTime();
    const long times[] = {0, -1, last / 4, last / 2, last - 1, last, last + 3600};
    for (long t : times) {
        f.SetAnimationTime(t);
        check.drawn(f);
    }
    long at = 0;
    CString ops;
    f.SetCurrentAnimationParams(at, ops);
    check.text(ops, "the running operations");
    f.ResetTime();
    f.InitAnim(Facility::Forward);
    for (int frame = 0; frame < 24 && !f.AnimBoundaryReached(); ++frame) {
        int time = 0, lastTime = 0;
        f.Animate(time, lastTime);
        f.SetAnimationTime(time);
    }
    check.drawn(f);
}

void loadPlant(const fs::path& path, const LoadPlan& plan, LoadOutcome& out)
{
    Checker check(out, "3-D view");
    MessageRecorder recorder;
    auto facility = std::make_unique<Facility>();
    {
        CDaoDatabase db;
        try {
            db.Open(CString(path.string()), false, plan.openPlantReadOnly);
        } catch (const CDaoException& e) {
            out.plantOpenFailed = true;
            if (e.GetDescription().IsEmpty()) check.fail("opening failed without a description");
        }
        if (!out.plantOpenFailed) {
            try {
                facility->ReadVisioDatabase(&db);
            } catch (const CFacilityAbort&) {
                out.plantAborted = true;
            } catch (const CDaoException& e) {
                out.plantException = e.GetDescription().str();
                if (out.plantException.empty()) check.fail("a CDaoException without a description left the load");
            }
        }
        db.Close();
    }
    checkMessages(recorder, check, out.plantMessages);

    const Facility& f = *facility;
    out.vessels = f.GetNumVessels();
    out.floors = f.GetNumFloors();
    out.processStreams = f.GetNumConnectingStreams() + f.GetNumUniStreams();
    out.otherStreams = f.GetNumUtilStreams() + f.GetNumVaporStreams();
    out.units = vesselUnits(f);
    out.hasCalendar = f.GetCalendar() != nullptr;

    if (out.plantAborted) {
        // The step loader stops the load after telling the user; nothing
        // after it is read.
        if (std::find(out.plantMessages.begin(), out.plantMessages.end(),
                      "There were no results found for this step") == out.plantMessages.end())
            check.fail("the load stopped without \"There were no results found for this step\"");
        if (out.vessels || out.floors || out.processStreams || out.otherStreams || out.hasCalendar)
            check.fail("equipment, streams or calendars were read after the load stopped");
    }
    check.loaded(f);
    animate(*facility, check);
}

void checkComposites(GanttFacility& g, unsigned types, LoadOutcome& out, Checker& check)
{
    const CompositeSetting settings[] = {Mass, Volume, Moles, Duty, Operators};
    for (int type = 0; type < kNumCompTypes; ++type) {
        if (!(types & (1u << type))) continue;
        const auto t = static_cast<CompType>(type);
        const std::string name = std::string("composite ") + CompTypeName(t);
        Array<long> groups;
        Array<CString> groupNames;
        g.GetCompositeVessels(groups, groupNames, t);
        if (groups.GetSize() > 0) ++out.compositeTypesBuilt;
        for (int gi = 0; gi < groups.GetSize() && gi < kCompositeGroups; ++gi) {
            Array<long> components;
            Array<CString> componentNames;
            g.GetCompositeComponents(static_cast<int>(groups[gi]), components, componentNames, t);
            for (int ci = 0; ci < components.GetSize() && ci < kCompositeComponents; ++ci) {
                const std::string at =
                    name + " group " + std::to_string(groups[gi]) + " component " + std::to_string(components[ci]);
                for (CompositeSetting s : settings) {
                    Hash<long, double> list;
                    g.GetCompositeList(list, groups[gi], components[ci], t, s);
                    out.profileEntries += list.GetCount();
                    for (int k = 0; k < list.GetCount(); ++k)
                        check.finite(list.GetAt(k), at + " value at " + std::to_string(list.GetKeyAt(k)));
                    CString timeUnit, valueUnit;
                    double timeFactor = 1.0, valueFactor = 1.0, valueOffset = 0.0;
                    g.GetCompositeUnits(t, groups[gi], components[ci], static_cast<CompositeSetting>(s | PerTime),
                                        timeUnit, timeFactor, valueUnit, valueFactor, valueOffset);
                    check.finite(timeFactor, at + " time factor");
                    check.finite(valueFactor, at + " value factor");
                    check.finite(valueOffset, at + " value offset");
                    if (timeFactor == 0.0 || valueFactor == 0.0)
                        check.fail(at + " has a unit factor of 0, which the host divides by");
                }
            }
        }
    }
}

void loadSchedule(const fs::path& path, const LoadPlan& plan, LoadOutcome& out)
{
    Checker check(out, "schedule view");
    MessageRecorder recorder;
    GanttFacility g;
    try {
        out.scheduleRead = g.ReadGanttDatabase(CString(path.string()));
    } catch (const CFacilityAbort&) {
        out.scheduleAborted = true;
    } catch (const CDaoException& e) {
        check.fail("a CDaoException left ReadGanttDatabase(path), which reports database errors by returning "
                   "false: " +
                   e.GetDescription().str());
    }
    if (out.scheduleAborted && g.GetNumSchedVessels() != 0) check.fail("vessels were read after the load stopped");

    out.scheduleVessels = g.GetNumSchedVessels();
    for (int v = 0; v < g.GetNumSchedVessels(); ++v) {
        const int n = g.GetNumTimeBlocks(v);
        out.blocks += n;
        for (int b = 0; b < n; ++b) {
            CString stepName, stepVersion, op, recText;
            long stepID = 0, opID = 0, start = 0, end = 0;
            short batch = 0;
            bool empty = false;
            if (g.GetScheduleInfo(v, b, stepName, stepVersion, op, stepID, opID, recText, start, end, batch, empty) !=
                1)
                check.fail("block " + std::to_string(b) + " of vessel " + std::to_string(v) + " has no details");
        }
        const Array<long> inUse = g.GetInUseBlocks(v);
        if (inUse.GetSize() % 2 != 0) check.fail("vessel " + std::to_string(v) + " has an odd in-use block list");
    }
    check.loaded(g);

    // Working-time blocks of every vessel's calendar over the first month.
    const COleDateTime from = g.GetStartTime();
    if (from.GetStatus() == COleDateTime::valid && std::isfinite(from.m_dt) && from.m_dt > kFirstValidDay &&
        from.m_dt < kLastValidDay - 40.0) {
        const COleDateTime to = from + COleDateTimeSpan(31.0);
        for (int v = 0; v < g.GetNumSchedVessels(); ++v) {
            List<COleDateTime> blocks;
            g.GetCalendarBlocks(v, from, to, blocks);
            for (int i = 0; i < blocks.GetCount(); ++i) {
                const COleDateTime& d = blocks.GetAt(i);
                if (d.GetStatus() != COleDateTime::valid || !std::isfinite(d.m_dt) || d < from || to < d)
                    check.fail("calendar block boundary " + std::to_string(i) + " of vessel " + std::to_string(v) +
                               " lies outside the asked range");
            }
        }
    }

    if (!g.GetDatabasePath().IsEmpty()) checkComposites(g, plan.compositeTypes, out, check);
    checkMessages(recorder, check, out.scheduleMessages);
}

} // namespace

bool ShowsNonFinite(const std::string& text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const char* word : {"nan", "inf"}) {
        for (std::size_t at = lower.find(word); at != std::string::npos; at = lower.find(word, at + 1)) {
            const bool before = at == 0 || !std::isalpha(static_cast<unsigned char>(lower[at - 1]));
            const std::size_t after = at + 3;
            const bool afterOk = after >= lower.size() || !std::isalpha(static_cast<unsigned char>(lower[after])) ||
                                 lower.compare(after, 5, "inity") == 0;
            if (before && afterOk) return true;
        }
    }
    return false;
}

std::string LoadOutcome::summary() const
{
    std::ostringstream s;
    s << "3-D: ";
    if (plantOpenFailed)
        s << "open refused";
    else if (plantAborted)
        s << "stopped (no steps)";
    else if (!plantException.empty())
        s << "CDaoException \"" << plantException.substr(0, 90) << "\"";
    else
        s << vessels << " vessels, " << units << " units, " << processStreams << "+" << otherStreams << " streams";
    s << ", " << plantMessages.size() << " boxes";
    if (!plantMessages.empty()) s << " (first \"" << plantMessages.front().substr(0, 70) << "\")";
    s << "; schedule: "
      << (scheduleAborted ? "stopped"
          : scheduleRead  ? "read"
                          : "false")
      << ", " << scheduleVessels << " vessels, " << blocks << " blocks, " << compositeTypesBuilt << " composite types, "
      << scheduleMessages.size() << " boxes";
    return s.str();
}

LoadOutcome LoadAndCheck(const fs::path& path, const LoadPlan& plan)
{
    LoadOutcome out;
    const std::string before = ReadFile(path);
    if (plan.plant) loadPlant(path, plan, out);
    if (plan.schedule) loadSchedule(path, plan, out);
    if (ReadFile(path) != before) out.failures.push_back("the file changed while it was read");
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        fs::path side = path;
        side += suffix;
        std::error_code ec;
        if (fs::exists(side, ec)) out.failures.push_back(std::string("a ") + suffix + " file was left beside it");
    }
    return out;
}

} // namespace batchplant::test

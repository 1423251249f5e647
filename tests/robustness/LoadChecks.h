#pragma once
// Loading a results database the way the hosts do (both views, animation,
// calendars, composite profiles) and checking every answer for what must
// hold whatever the file holds: no NaN or infinity, clear OK-only messages,
// the documented exceptions only, and no change to the file.

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "batchplant/db/Dao.h"
#include "batchplant/foundation/CFacilityAbort.h"
#include "batchplant/gantt/CompositeTypes.h"
#include "batchplant/gantt/GanttFacility.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/StepInfo.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant::test {

namespace fs = std::filesystem;

struct LoadPlan {
    bool plant = true, schedule = true; // the 3-D view's and the schedule view's loads
    unsigned compositeTypes = 0x1FFu;   // bit per CompType, read after the schedule load
    bool openPlantReadOnly = false;     // how the 3-D host opens the file
};

struct LoadOutcome {
    bool plantOpenFailed = false, plantAborted = false; // Open threw; CFacilityAbort left the load
    std::string plantException;                         // a CDaoException that left ReadVisioDatabase
    std::vector<std::string> plantMessages, scheduleMessages;
    int vessels = 0, processStreams = 0, otherStreams = 0, floors = 0, units = 0;
    bool hasCalendar = false, scheduleRead = false, scheduleAborted = false;
    int scheduleVessels = 0, blocks = 0, compositeTypesBuilt = 0;
    std::vector<std::string> failures; // invariant violations, one line each
};

// "nan" or "inf" as a word of its own, as printf writes them, in any case.
inline bool ShowsNonFinite(const std::string& text)
{
    for (std::size_t at = 0; at + 3 <= text.size(); ++at) {
        const auto low = [&](std::size_t i) { return std::tolower(static_cast<unsigned char>(text[i])); };
        const bool word = (low(at) == 'n' && low(at + 1) == 'a' && low(at + 2) == 'n') ||
                          (low(at) == 'i' && low(at + 1) == 'n' && low(at + 2) == 'f');
        if (!word || (at > 0 && std::isalpha(low(at - 1)))) continue;
        if (at + 3 == text.size() || !std::isalpha(low(at + 3)) || text.compare(at + 3, 5, "inity") == 0) return true;
    }
    return false;
}

// Day counts of COleDateTime's valid range (years 100 to 9999).
constexpr double kFirstValidDay = -657435.0, kLastValidDay = 2958466.0;

struct Checker {
    LoadOutcome& out;
    std::string view;

    void fail(const std::string& what) { out.failures.push_back(view + ": " + what); }
    void finite(std::initializer_list<double> values, const std::string& what)
    {
        for (double v : values)
            if (!std::isfinite(v)) return fail(what + " holds " + std::to_string(v));
    }
    void text(const CString& value, const std::string& what)
    {
        if (ShowsNonFinite(value.str())) fail(what + " shows a non-finite number: \"" + value.str() + "\"");
    }
    void date(const COleDateTime& d, const std::string& what)
    {
        if (d.GetStatus() == COleDateTime::valid && !(d.m_dt >= kFirstValidDay && d.m_dt <= kLastValidDay))
            fail(what + " is a valid date-time of day count " + std::to_string(d.m_dt) + ", outside the calendar");
    }
    // The texts of the first units of a procedure (formatting every unit of
    // a large run would dominate the suite).
    void procedure(const CProcedure* p, const std::string& owner)
    {
        for (int i = 0; p && i < p->GetNumProcs() && i < 12; ++i)
            for (const CString& t :
                 {p->GetStartTimeStrAt(i), p->GetEndTimeStrAt(i), p->GetTemperatureAStrAt(i),
                  p->GetTemperatureBStrAt(i), p->GetPressureAStrAt(i), p->GetPressureBStrAt(i),
                  p->GetFlowRateAt(i, CProcedure::VolumetricFlowRate), p->GetFlowRateAt(i, CProcedure::MassFlowRate),
                  p->GetFlowRateAt(i, CProcedure::MolarFlowRate), p->GetContentsAt(i)})
                text(t, owner + " unit " + std::to_string(i));
    }
    template <class T> void colours(const T& item, const std::string& at)
    {
        double c[8];
        item.GetCurrentColor(c[0], c[1], c[2], c[3]);
        item.GetContentsColor(c[4], c[5], c[6], c[7]);
        finite({c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]}, at + " colour");
    }
    template <class Fn> static void eachStream(const Facility& f, Fn fn)
    {
        for (int i = 0; i < f.GetNumConnectingStreams(); ++i)
            if (const Stream* s = f.GetStreamByIndex(i)) fn(*s, "connecting stream " + std::to_string(i));
        for (int i = 0; i < f.GetNumUniStreams(); ++i)
            if (const Stream* s = f.GetUniStreamByIndex(i)) fn(*s, "input/output stream " + std::to_string(i));
        for (int i = 0; i < f.GetNumUtilStreams(); ++i)
            if (const Stream* s = f.GetUtilStreamByIndex(i)) fn(*s, "utility stream " + std::to_string(i));
        for (int i = 0; i < f.GetNumVaporStreams(); ++i)
            if (const Stream* s = f.GetVaporStreamByIndex(i)) fn(*s, "vapor stream " + std::to_string(i));
    }
    // What the views draw and show at the current time.
    void drawn(const Facility& f)
    {
        for (int i = 0; i < f.GetNumFloors(); ++i)
            if (const Plane* p = f.GetFloorByIndex(i)) finite({p->GetHeight()}, "floor " + std::to_string(i));
        for (int i = 0; i < f.GetNumVessels(); ++i)
            if (const Vessel* v = f.GetVesselByIndex(i)) {
                const std::string at = "vessel " + std::to_string(i);
                finite({v->GetX(), v->GetY(), v->GetZ(), v->GetRadius(), v->GetHeight(), v->GetVolume(),
                        v->GetOverflowLevel()},
                       at + " place, size or level");
                colours(*v, at);
                text(v->GetCurrentOp(), at + " current operation");
            }
        eachStream(f, [&](const Stream& s, const std::string& at) {
            finite({s.GetRadius(), s.GetFlowFraction(), s.GetFlowPosition(), s.GetSegmentStart(), s.GetSegmentEnd(),
                    s.GetPathLength()},
                   at + " size or flow");
            colours(s, at);
        });
    }
    // What loading built: dates, procedures and the item texts.
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
        eachStream(f, [&](const Stream& s, const std::string& at) { procedure(s.GetProc(), at); });
        for (int item = 1; item <= f.GetNumDrawables() && item <= 40; ++item) {
            CString name, procedures, capacity;
            f.GetInfoForBox(item, name, procedures, capacity);
            text(procedures + " " + capacity, "info box " + std::to_string(item));
        }
    }
    void messages(const MessageRecorder& recorder, std::vector<std::string>& into)
    {
        for (std::size_t i = 0; i < recorder.count(); ++i) {
            const std::string& t = recorder.texts()[i];
            if (t.find_first_not_of(" \t\r\n") == std::string::npos) fail("a message box without text");
            if ((recorder.types()[i] & 0xFu) != MB_OK) fail("a message box that is not OK-only: \"" + t + "\"");
            into.push_back(t);
        }
    }
};

inline void loadPlant(const fs::path& path, const LoadPlan& plan, LoadOutcome& out)
{
    Checker check{out, "3-D view"};
    MessageRecorder recorder;
    Facility f;
    {
        CDaoDatabase db;
        try {
            db.Open(CString(path.string()), false, plan.openPlantReadOnly);
            f.ReadVisioDatabase(&db);
        } catch (const CFacilityAbort&) {
            out.plantAborted = true;
        } catch (const CDaoException& e) {
            out.plantOpenFailed = !db.IsOpen();
            if (db.IsOpen()) out.plantException = e.GetDescription().str();
            if (e.GetDescription().IsEmpty()) check.fail("a CDaoException without a description");
        }
        db.Close();
    }
    check.messages(recorder, out.plantMessages);
    out.vessels = f.GetNumVessels();
    out.floors = f.GetNumFloors();
    out.processStreams = f.GetNumConnectingStreams() + f.GetNumUniStreams();
    out.otherStreams = f.GetNumUtilStreams() + f.GetNumVaporStreams();
    for (int i = 0; i < f.GetNumVessels(); ++i)
        if (const Vessel* v = f.GetVesselByIndex(i); v && v->GetProc()) out.units += v->GetProc()->GetNumProcs();
    out.hasCalendar = f.GetCalendar() != nullptr;
    if (out.plantAborted) {
        // The step loader stops the load after telling the user; nothing after it is read.
        const auto& m = out.plantMessages;
        if (std::find(m.begin(), m.end(), "There were no results found for this step") == m.end())
            check.fail("the load stopped without \"There were no results found for this step\"");
        if (out.vessels || out.floors || out.processStreams || out.otherStreams || out.hasCalendar)
            check.fail("equipment, streams or calendars were read after the load stopped");
    }
    check.loaded(f);
    // The time-driven state at a few times of the run, then a few frames of playing.
    f.InitAnim();
    f.SetRelativeAnimationTime(1.0);
    const long last = f.GetAnimationTime();
    for (long t : {0L, -1L, last / 4, last / 2, last - 1, last, last + 3600}) {
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

inline void checkComposites(GanttFacility& g, unsigned types, LoadOutcome& out, Checker& check)
{
    for (int type = 0; type < kNumCompTypes; ++type) {
        if (!(types & (1u << type))) continue;
        const auto t = static_cast<CompType>(type);
        Array<long> groups, components;
        Array<CString> names;
        g.GetCompositeVessels(groups, names, t);
        out.compositeTypesBuilt += groups.GetSize() > 0;
        for (int gi = 0; gi < groups.GetSize() && gi < 16; ++gi) {
            g.GetCompositeComponents(static_cast<int>(groups[gi]), components, names, t);
            for (int ci = 0; ci < components.GetSize() && ci < 16; ++ci)
                for (CompositeSetting s : {Mass, Volume, Moles, Duty, Operators}) {
                    const std::string at = std::string("composite ") + CompTypeName(t) + " group " +
                                           std::to_string(groups[gi]) + " component " + std::to_string(components[ci]);
                    Hash<long, double> list;
                    g.GetCompositeList(list, groups[gi], components[ci], t, s);
                    for (int k = 0; k < list.GetCount(); ++k)
                        check.finite({list.GetAt(k)}, at + " value at " + std::to_string(list.GetKeyAt(k)));
                    CString timeUnit, valueUnit;
                    double timeFactor = 1.0, valueFactor = 1.0, valueOffset = 0.0;
                    g.GetCompositeUnits(t, groups[gi], components[ci], static_cast<CompositeSetting>(s | PerTime),
                                        timeUnit, timeFactor, valueUnit, valueFactor, valueOffset);
                    check.finite({timeFactor, valueFactor, valueOffset}, at + " unit factors");
                    if (timeFactor == 0.0 || valueFactor == 0.0)
                        check.fail(at + " has a unit factor of 0, which the host divides by");
                }
        }
    }
}

inline void loadSchedule(const fs::path& path, const LoadPlan& plan, LoadOutcome& out)
{
    Checker check{out, "schedule view"};
    MessageRecorder recorder;
    GanttFacility g;
    try {
        out.scheduleRead = g.ReadGanttDatabase(CString(path.string()));
    } catch (const CFacilityAbort&) {
        out.scheduleAborted = true;
    } catch (const CDaoException& e) {
        check.fail("a CDaoException left ReadGanttDatabase(path), which returns false instead: " +
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
        if (g.GetInUseBlocks(v).GetSize() % 2 != 0) check.fail("vessel " + std::to_string(v) + " odd in-use list");
    }
    check.loaded(g);
    // Working-time blocks of every vessel's calendar over the first month.
    const COleDateTime from = g.GetStartTime();
    if (from.GetStatus() == COleDateTime::valid && from.m_dt > kFirstValidDay && from.m_dt < kLastValidDay - 40.0) {
        const COleDateTime to = from + COleDateTimeSpan(31.0);
        for (int v = 0; v < g.GetNumSchedVessels(); ++v) {
            List<COleDateTime> blocks;
            g.GetCalendarBlocks(v, from, to, blocks);
            for (int i = 0; i < blocks.GetCount(); ++i)
                if (const COleDateTime& d = blocks.GetAt(i);
                    d.GetStatus() != COleDateTime::valid || !std::isfinite(d.m_dt) || d < from || to < d)
                    check.fail("a calendar block boundary of vessel " + std::to_string(v) + " is outside the range");
        }
    }
    if (!g.GetDatabasePath().IsEmpty()) checkComposites(g, plan.compositeTypes, out, check);
    check.messages(recorder, out.scheduleMessages);
}

// Loads as planned; the file must be the same byte for byte afterwards, with
// no -journal, -wal or -shm file beside it.
inline LoadOutcome LoadAndCheck(const fs::path& path, const LoadPlan& plan)
{
    LoadOutcome out;
    const std::string before = ReadFile(path);
    if (plan.plant) loadPlant(path, plan, out);
    if (plan.schedule) loadSchedule(path, plan, out);
    if (ReadFile(path) != before) out.failures.push_back("the file changed while it was read");
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        if (std::error_code ec; fs::exists(path.string() + suffix, ec))
            out.failures.push_back(std::string("a ") + suffix + " file was left beside it");
    return out;
}

inline std::string Summary(const LoadOutcome& o)
{
    std::ostringstream s;
    s << "3-D: "
      << (o.plantOpenFailed ? "open refused"
          : o.plantAborted  ? "stopped"
                            : o.plantException)
      << " " << o.vessels << " vessels, " << o.units << " units, " << o.processStreams << "+" << o.otherStreams
      << " streams, boxes:";
    for (const std::string& m : o.plantMessages)
        s << " \"" << m.substr(0, 70) << "\"";
    s << "; schedule: "
      << (o.scheduleAborted ? "stopped"
          : o.scheduleRead  ? "read"
                            : "false")
      << ", " << o.scheduleVessels << " vessels, " << o.blocks << " blocks, " << o.compositeTypesBuilt
      << " composite types, boxes:";
    for (const std::string& m : o.scheduleMessages)
        s << " \"" << m.substr(0, 70) << "\"";
    return s.str();
}

} // namespace batchplant::test

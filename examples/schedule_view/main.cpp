// A schedule host in miniature: loads the schedule view of a results
// database and prints what a Gantt chart draws: per vessel its operation
// blocks with their dates, the stretches in which it holds material between
// operations and the working time of its calendar; then one labor and one
// utilities profile with their units. Usage: schedule_view RESULTS.db
// [--rows N] (at most N lines per list). Exit codes: 0 done, 1 the output
// could not be written, 2 bad arguments or no run to show.
#include <batchplant/batchplant.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace batchplant;

namespace {

// Block times are simulated seconds from the run's start.
CString dateAt(const GanttFacility& gantt, long seconds)
{
    return (gantt.GetStartTime() + COleDateTimeSpan(seconds / 86400.0)).Format("%Y-%m-%d %H:%M");
}

// One group of a profile type: its components summed (rates add up), shown
// in the units the first component gives.
void printProfile(GanttFacility& gantt, CompType type, CompositeSetting setting, long rows)
{
    Array<long> groups;
    Array<CString> groupNames;
    gantt.GetCompositeVessels(groups, groupNames, type);
    if (groups.GetSize() == 0) {
        std::printf("\n%s: no profile in this run\n", CompTypeName(type));
        return;
    }
    Array<long> components;
    Array<CString> componentNames;
    gantt.GetCompositeComponents(static_cast<int>(groups[0]), components, componentNames, type);
    Hash<long, double> profile; // seconds -> value in internal units
    for (int c = 0; c < components.GetSize(); ++c)
        gantt.GetCompositeList(profile, groups[0], components[c], type, setting);
    CString timeUnit, valueUnit;
    double timeFactor = 1.0, valueFactor = 1.0, valueOffset = 0.0;
    if (components.GetSize() > 0)
        gantt.GetCompositeUnits(type, groups[0], components[0], setting, timeUnit, timeFactor, valueUnit, valueFactor,
                                valueOffset);
    std::printf("\n%s profile of %s (%d components, %d points), in %s over %s:\n", CompTypeName(type),
                groupNames[0].c_str(), components.GetSize(), profile.GetCount(), valueUnit.c_str(), timeUnit.c_str());
    for (int i = 0; i < profile.GetCount() && i < rows; ++i) {
        const long t = profile.GetKeyAt(i);
        std::printf("  %s  t = %10.3f %s  %12.3f %s\n", dateAt(gantt, t).c_str(), t / timeFactor, timeUnit.c_str(),
                    (profile.GetAt(i) - valueOffset) / valueFactor, valueUnit.c_str());
    }
}

} // namespace

int main(int argc, char** argv)
{
    char* end = nullptr;
    const bool given = argc == 4 && std::string(argv[2]) == "--rows";
    const long rows = given ? std::strtol(argv[3], &end, 10) : 5;
    if (argc != (given ? 4 : 2) || (end && *end) || rows < 1 || rows > 100000) {
        std::fprintf(stderr, "usage: schedule_view RESULTS.db [--rows N (1 or more)]\n");
        return 2;
    }
    SetMessageBoxHandler([](const CString& text, unsigned type) {
        std::fprintf(stderr, "schedule_view: message: %s\n", text.c_str());
        return DefaultMessageBoxAnswer(type);
    });

    // The facility opens the file itself, read-only, and keeps its path: the
    // profiles are read from it on first use.
    GanttFacility gantt;
    try {
        if (!gantt.ReadGanttDatabase(CString(argv[1]))) {
            std::fprintf(stderr, "schedule_view: cannot read %s as a results database\n", argv[1]);
            return 2;
        }
    } catch (const CFacilityAbort&) {
        std::fprintf(stderr, "schedule_view: %s holds no process steps\n", argv[1]);
        return 2;
    }
    if (gantt.GetNumSchedVessels() == 0) {
        std::fprintf(stderr, "schedule_view: %s holds no equipment\n", argv[1]);
        return 2;
    }

    std::printf("%s, from %s: %d vessels\n", gantt.GetPlanName().c_str(), gantt.GetStartTime().Format().c_str(),
                gantt.GetNumSchedVessels());
    // The calendars are asked over the run: from its start to the last end.
    long runEnd = 0;
    for (int v = 0; v < gantt.GetNumSchedVessels(); ++v) {
        Array<long> times = gantt.GetVesselByIndex(v)->GetProc()->GetTimeList();
        for (int i = 0; i < times.GetSize(); ++i)
            if (times[i] > runEnd) runEnd = times[i];
    }
    const COleDateTime from = gantt.GetStartTime();
    const COleDateTime to = from + COleDateTimeSpan(runEnd / 86400.0);

    for (int v = 0; v < gantt.GetNumSchedVessels(); ++v) {
        const Vessel* vessel = gantt.GetVesselByIndex(v);
        std::printf("\n%s (%s, %s): %d blocks\n", vessel->GetName().c_str(), vessel->GetClass().c_str(),
                    vessel->GetPlantName().c_str(), gantt.GetNumTimeBlocks(v));
        for (int b = 0; b < gantt.GetNumTimeBlocks(v) && b < rows; ++b) {
            CString step, version, op, recipe;
            long stepID = 0, opID = 0, start = 0, end = 0;
            short batch = 0;
            bool empty = false;
            gantt.GetScheduleInfo(v, b, step, version, op, stepID, opID, recipe, start, end, batch, empty);
            std::printf("  %s - %s  batch %d  %s (%s): %s%s\n", dateAt(gantt, start).c_str(),
                        dateAt(gantt, end).c_str(), batch, step.c_str(), version.c_str(), op.c_str(),
                        empty ? " [empty]" : "");
        }
        const Array<long> inUse = gantt.GetInUseBlocks(v); // start, end, start, end, ...
        std::printf("  in use between operations: %d stretches\n", inUse.GetSize() / 2);
        for (int i = 0; i + 1 < inUse.GetSize() && i / 2 < rows; i += 2)
            std::printf("    %s - %s\n", dateAt(gantt, inUse[i]).c_str(), dateAt(gantt, inUse[i + 1]).c_str());
        List<COleDateTime> working; // start, end, start, end, ...
        gantt.GetCalendarBlocks(v, from, to, working);
        const int calendar = vessel->GetCalendarID(); // -1: none, working around the clock
        std::printf("  %s: %d working blocks in the run\n",
                    calendar < 0 ? "no calendar" : CString::Formatted("calendar %d", calendar).c_str(),
                    working.GetCount() / 2);
        for (int i = 0; i + 1 < working.GetCount() && i / 2 < rows; i += 2)
            std::printf("    %s - %s\n", working.GetAt(i).Format("%Y-%m-%d %H:%M").c_str(),
                        working.GetAt(i + 1).Format("%Y-%m-%d %H:%M").c_str());
    }

    printProfile(gantt, Labor, Operators, rows);
    printProfile(gantt, Utilities, Duty | PerTime, rows);
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "schedule_view: cannot write the output\n");
        return 1;
    }
    return 0;
}

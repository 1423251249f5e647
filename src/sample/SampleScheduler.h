#pragma once
// The list scheduler of the sample campaign: places each batch's plan on the
// plant's time line (equipment used one batch at a time, buffer tanks
// holding a bounded number of batches, batch starts inside the working time
// of the step's main vessel).

#include <map>
#include <utility>
#include <vector>

#include "sample/SampleRecipes.h"

namespace batchplant::sample {

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

} // namespace batchplant::sample

// The facility's animation clock: building the timeline from the operation
// times, stepping and seeking it, and setting every vessel and stream to the
// clock's time.

#include "batchplant/animation/AnimTimeline.h"
#include "batchplant/foundation/Keys.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {

namespace {

void appendTimes(const CProcedure* procedure, std::vector<long>& out)
{
    if (!procedure) return;
    const Array<long> times = procedure->GetTimeList();
    for (int i = 0; i < times.GetSize(); ++i)
        out.push_back(times[i]);
}

// Frames per interval for a number of frames per operation: one more, so
// that the interval's end is a frame of its own; at least 2.
int framesFor(int framesPerOp) { return framesPerOp < 1 ? 2 : framesPerOp + 1; }

// Streams take the time as an int; a time beyond its range is held at the
// range's limit rather than wrapped into an unrelated time.
int streamTime(long t) { return detail::clampToInt32(t); }

} // namespace

void Facility::InitAnim()
{
    if (m_timeline) return;
    auto timeline = std::make_unique<AnimTimeline>();
    std::vector<long> times;
    for (int i = 0; i < m_vessels.GetCount(); ++i)
        if (const Vessel* v = m_vessels.GetAt(i)) appendTimes(v->GetProc(), times);
    // Uni, utility and vapor streams run within their vessels' operations
    // and add no time points.
    for (int i = 0; i < m_streams.GetCount(); ++i)
        if (const Stream* s = m_streams.GetAt(i)) appendTimes(s->GetProc(), times);
    timeline->Insert(times);
    m_timeline = std::move(timeline);
}

void Facility::InitAnim(AnimDirection direction)
{
    InitAnim();
    m_animDirection = direction;
}

int Facility::Animate(int& time, int& lastTime)
{
    if (!m_timeline) return 1;
    AnimTimeline& clock = *m_timeline;
    const long before = clock.GetCurrentTime();
    switch (m_animDirection) {
    case Forward:
        clock.StepForward();
        // Leaving the start, the first frame may still show time 0.
        if (clock.GetCurrentTime() == 0) clock.StepForward();
        break;
    case Backward:
        clock.StepBackward();
        if (clock.GetCurrentTime() == before) clock.StepBackward();
        break;
    default:
        break;
    }
    // Every point comes from an operation time, which is held in 32 bits.
    time = streamTime(clock.GetCurrentTime());
    lastTime = streamTime(clock.GetLastTime());
    return clock.GetFrame() == 0 ? 1 : 0;
}

int Facility::AnimBoundaryReached() const
{
    if (!m_timeline) return 1;
    const AnimTimeline& clock = *m_timeline;
    if (!clock.CursorHasNeighbours()) return 1;
    switch (m_animDirection) {
    case Forward:
        return clock.CursorAtLast() ? 1 : 0;
    case Backward:
        return clock.CursorAtFirst() ? 1 : 0;
    default:
        return 0;
    }
}

void Facility::SetAnimationTime(long t)
{
    if (!m_timeline) return;
    m_timeline->Seek(t);
    m_timeline->SetFramesPerInterval(framesFor(m_framesPerOp));
    for (int i = 0; i < m_vessels.GetCount(); ++i)
        if (Vessel* v = m_vessels.GetAt(i)) v->SetPropertiesByTime(t);
    setStreamTimes(streamTime(t));
}

void Facility::SetRelativeAnimationTime(double r)
{
    if (m_timeline) m_timeline->SeekRelative(r);
}

void Facility::ResetTime()
{
    for (int i = 0; i < m_vessels.GetCount(); ++i)
        if (Vessel* v = m_vessels.GetAt(i)) v->SetPropertiesByTime(0);
    setStreamTimes(0);
    if (m_timeline) m_timeline->SeekRelative(0.0);
}

long Facility::GetAnimationTime() { return m_timeline ? m_timeline->GetCurrentTime() : 0; }

long Facility::GetLastAnimationTime() const { return m_timeline ? m_timeline->GetLastTime() : 0; }

void Facility::SetCurrentAnimationParams(long& time, CString& ops)
{
    if (!m_timeline) return;
    ClearAllSelections();
    time = GetAnimationTime();
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        Vessel* v = m_vessels.GetAt(i);
        if (!v) continue;
        v->SetPropertiesByTime(time);
        const CString op = v->GetCurrentOp(time);
        if (!op.IsEmpty() && ops.Find(op) < 0) ops += op;
    }
    setStreamTimes(streamTime(time));
    m_timeline->SetFramesPerInterval(framesFor(m_framesPerOp));
}

void Facility::setStreamTimes(int t)
{
    ForEachStream([t](Stream& s) { s.SetPropertiesByTime(t); });
}

} // namespace batchplant

#pragma once
// The animation clock: the distinct start and end times of the plant's
// operations in ascending order, walked as a ring (after the last point comes
// the first again), with a cursor on the point where the current interval
// starts and a frame index inside that interval.
//
// The interval from the cursor's time t0 to the next point's time t1 is shown
// in F frames f = 0 .. F - 1 at t0 + ((t1 - t0) * f) / (F - 1), so the last
// frame shows t1 and the next step shows t1 again as frame 0 of the next
// interval. All arithmetic is integral and truncates toward zero.
//
// The points are kept in one sorted array and the cursor is a position in
// it, so seeking a time is a binary search rather than a walk of the ring;
// the answers are those of the walk.

#include <cstddef>
#include <vector>

namespace batchplant {

// The animation clock a facility builds in Facility::InitAnim (described at
// the top of AnimTimeline.h).
class AnimTimeline {
public:
    // Frames per interval when the timeline is created.
    static constexpr int kInitialFrames = 20;

    AnimTimeline() = default;

    // Adds a time point; the last time becomes t if t is greater. A time that
    // is already there is not added twice. A cursor keeps its point.
    void Insert(long t);
    // Inserts every time of the list (what one Insert per entry would give).
    void Insert(const std::vector<long>& times);

    // The clock's time: 0 with fewer than two points. Without a cursor, a
    // forward step is made first (which is why this is not const).
    long GetCurrentTime();

    // One frame forward or backward (see the class comment); nothing with
    // fewer than two points. The first step of a clock without a cursor puts
    // the cursor on the first point.
    void StepForward();
    void StepBackward();

    // Puts the clock at t: the cursor on the point p with p <= t < next(p)
    // and the frame f = ((F - 1) * (t - p)) / (next(p) - p). Nothing changes
    // for a t before the first point or at or after the last one.
    void Seek(long t);
    // Seeks trunc(r × last time) with r limited to 0.0 .. 1.0 (a NaN counts
    // as 0.0).
    void SeekRelative(double r);

    int GetFramesPerInterval() const { return frames_; }
    // Changes F. F is never below 2, so that the frame division never
    // divides by zero: anything smaller gives 2. The frame index is rescaled
    // to the new F (f' = (f × (F' - 1)) / (F - 1)) so that the clock stays
    // inside its interval, near the time it showed.
    void SetFramesPerInterval(int frames);
    int GetFrame() const { return frame_; }

    // The greatest time inserted; 0 while empty.
    long GetLastTime() const { return last_; }
    int GetNumPoints() const { return static_cast<int>(points_.size()); }
    // The i-th point in ascending order; 0 for a position out of range.
    long GetPoint(int i) const;
    bool HasCursor() const { return cursor_ >= 0; }
    // Time of the cursor's point; 0 without a cursor.
    long GetCursorTime() const { return cursor_ >= 0 ? points_[static_cast<std::size_t>(cursor_)] : 0; }
    // The cursor stands on the first or the last point (false without one).
    bool CursorAtFirst() const { return cursor_ == 0; }
    bool CursorAtLast() const { return cursor_ >= 0 && cursor_ == GetNumPoints() - 1; }
    // A point has a neighbour once there are at least two points (a lone
    // point has neither next nor previous).
    bool CursorHasNeighbours() const { return cursor_ >= 0 && points_.size() >= 2; }

private:
    int next(int i) const { return (i + 1 == GetNumPoints()) ? 0 : i + 1; }
    int previous(int i) const { return (i == 0) ? GetNumPoints() - 1 : i - 1; }

    std::vector<long> points_;
    int cursor_ = -1;
    int frames_ = kInitialFrames;
    int frame_ = 0;
    long last_ = 0;
};

} // namespace batchplant

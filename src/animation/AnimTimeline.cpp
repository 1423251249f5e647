#include "batchplant/animation/AnimTimeline.h"

#include <algorithm>
#include <cmath>

namespace batchplant {

namespace {

// Wide enough for (F - 1) × (t1 - t0) with any two long times, so no time a
// caller inserts can overflow the frame arithmetic.
__extension__ typedef __int128 Wide;

} // namespace

void AnimTimeline::Insert(long t)
{
    if (t > last_) last_ = t;
    const auto at = std::lower_bound(points_.begin(), points_.end(), t);
    if (at != points_.end() && *at == t) return;
    const int position = static_cast<int>(at - points_.begin());
    points_.insert(at, t);
    // The cursor stays on its point, which moved up by one.
    if (cursor_ >= position) ++cursor_;
}

void AnimTimeline::Insert(const std::vector<long>& times)
{
    if (times.empty()) return;
    if (cursor_ >= 0) {
        // Keep the cursor on its point: insert one by one.
        for (long t : times)
            Insert(t);
        return;
    }
    for (long t : times)
        if (t > last_) last_ = t;
    points_.insert(points_.end(), times.begin(), times.end());
    std::sort(points_.begin(), points_.end());
    points_.erase(std::unique(points_.begin(), points_.end()), points_.end());
}

long AnimTimeline::GetPoint(int i) const
{
    if (i < 0 || i >= GetNumPoints()) return 0;
    return points_[static_cast<std::size_t>(i)];
}

long AnimTimeline::GetCurrentTime()
{
    if (points_.size() < 2) return 0;
    if (cursor_ < 0) StepForward();
    const Wide t0 = points_[static_cast<std::size_t>(cursor_)];
    const Wide t1 = points_[static_cast<std::size_t>(next(cursor_))];
    // Between t0 and t1 (f never exceeds F - 1), so it fits a long.
    return static_cast<long>(t0 + ((t1 - t0) * frame_) / (frames_ - 1));
}

void AnimTimeline::StepForward()
{
    if (points_.size() < 2) return;
    if (cursor_ >= 0)
        ++frame_;
    else
        cursor_ = 0;
    if (frame_ >= frames_) {
        cursor_ = next(cursor_);
        frame_ = 0;
    }
}

void AnimTimeline::StepBackward()
{
    if (points_.size() < 2) return;
    if (cursor_ >= 0)
        --frame_;
    else
        cursor_ = 0;
    if (frame_ < 0) {
        cursor_ = previous(cursor_);
        frame_ = frames_ - 1;
    }
}

void AnimTimeline::Seek(long t)
{
    // The last point opens no interval of its own here: its successor is the
    // first point again.
    if (points_.size() < 2 || t < points_.front() || t >= points_.back()) return;
    // The last point p <= t; p is not the last point since t < back().
    const auto after = std::upper_bound(points_.begin(), points_.end(), t);
    const int p = static_cast<int>(after - points_.begin()) - 1;
    const Wide t0 = points_[static_cast<std::size_t>(p)];
    const Wide t1 = points_[static_cast<std::size_t>(p + 1)];
    cursor_ = p;
    frame_ = static_cast<int>((static_cast<Wide>(frames_ - 1) * (t - t0)) / (t1 - t0));
}

void AnimTimeline::SeekRelative(double r)
{
    double c = r;
    if (!(c > 0.0)) c = 0.0; // also NaN
    if (c > 1.0) c = 1.0;
    // 0 <= c <= 1 and the last time is never negative. Rounding to double
    // can carry a huge last time just past the range of long: that is the
    // last time itself.
    const double t = std::trunc(c * static_cast<double>(last_));
    Seek(t >= static_cast<double>(last_) ? last_ : static_cast<long>(t));
}

void AnimTimeline::SetFramesPerInterval(int frames)
{
    if (frames < 2) frames = 2;
    if (frames == frames_) return;
    frame_ = static_cast<int>((static_cast<Wide>(frame_) * (frames - 1)) / (frames_ - 1));
    frames_ = frames;
}

} // namespace batchplant

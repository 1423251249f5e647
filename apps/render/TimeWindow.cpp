#include "TimeWindow.h"

#include <algorithm>
#include <utility>

namespace batchplant::cli {

std::vector<LodEntry> MergeBlocks(const std::vector<LodBlock>& blocks, const TimeWindow& window)
{
    std::vector<LodEntry> out;
    bool open = false;
    auto close = [&] {
        if (!open) return;
        open = false;
        LodEntry& span = out.back();
        if (span.count == 1) span.batches.clear();
    };
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const LodBlock& b = blocks[i];
        if (!window.Intersects(b.start, b.end)) continue;
        if (window.Visible(static_cast<long long>(b.end) - b.start)) {
            close();
            out.push_back({b.start, b.end, i, 1, {}, b.empty});
            continue;
        }
        // A span a pixel wide closes, unless the next operation keeps its
        // colour: of its one batch (a batch's many short operations read as
        // one bar), or joining a span of several batches (drawn in one
        // neutral colour) that is not yet kSpanPixels wide.
        if (open) {
            const LodEntry& span = out.back();
            const long long width = static_cast<long long>(span.end) - span.start;
            const bool keepsColour =
                span.batches.size() == 1 ? span.batches.front() == b.batch : !window.Visible(width / kSpanPixels);
            if (window.Visible(static_cast<long long>(b.start) - span.end) || (window.Visible(width) && !keepsColour))
                close();
        }
        if (!open) {
            out.push_back({b.start, b.end, i, 1, {b.batch}, b.empty});
            open = true;
        } else {
            LodEntry& span = out.back();
            span.end = std::max(span.end, b.end);
            span.count = i + 1 - span.first;
            span.empty = span.empty && b.empty;
            const auto at = std::lower_bound(span.batches.begin(), span.batches.end(), b.batch);
            if (at == span.batches.end() || *at != b.batch) span.batches.insert(at, b.batch);
        }
    }
    close();
    return out;
}

std::vector<LodStretch> MergeStretches(const std::vector<LodStretch>& stretches, const TimeWindow& window)
{
    std::vector<LodStretch> out;
    for (const LodStretch& s : stretches) {
        if (!window.Intersects(s.start, s.end)) continue;
        if (!out.empty() && !window.Visible(static_cast<long long>(s.start) - out.back().end)) {
            out.back().end = std::max(out.back().end, s.end);
            out.back().count += s.count;
        } else {
            out.push_back(s);
        }
    }
    return out;
}

std::vector<ColumnPoint> DownsampleSteps(const std::vector<std::pair<double, double>>& points, const TimeWindow& window)
{
    const double from = static_cast<double>(window.from);
    const double to = static_cast<double>(window.to);
    // The first point inside the window and the one holding at its start.
    auto first = std::upper_bound(points.begin(), points.end(), from,
                                  [](double t, const std::pair<double, double>& p) { return t < p.first; });
    auto last = std::upper_bound(first, points.end(), to,
                                 [](double t, const std::pair<double, double>& p) { return t < p.first; });
    if (first != points.begin()) --first;

    std::vector<ColumnPoint> out;
    if (last - first <= window.px) {
        for (auto p = first; p != last; ++p)
            out.push_back({p->first, p->second, p->second, p->second});
        return out;
    }
    const double width = (to - from) / window.px;
    auto p = first;
    double holding = 0;
    bool started = false;
    for (int k = 0; k < window.px; ++k) {
        const double c0 = from + k * width;
        const double c1 = k + 1 == window.px ? to + 1 : from + (k + 1) * width;
        while (p != last && p->first <= c0) {
            holding = p->second;
            started = true;
            ++p;
        }
        // Before the first point the profile is not drawn; a column whose
        // first point falls inside it starts there.
        double t = c0;
        if (!started) {
            if (p == last || p->first >= c1) continue;
            t = p->first;
            holding = p->second;
            started = true;
            ++p;
        }
        ColumnPoint column{t, holding, holding, holding};
        for (; p != last && p->first < c1; ++p) {
            holding = p->second;
            column.min = std::min(column.min, holding);
            column.max = std::max(column.max, holding);
        }
        const bool same = !out.empty() && out.back().min == out.back().max && column.min == column.max &&
                          out.back().value == column.value;
        if (!same) out.push_back(column);
    }
    return out;
}

namespace {

template <class Combine>
std::vector<std::pair<double, double>> mergeSteps(const std::vector<std::pair<double, double>>& a,
                                                  const std::vector<std::pair<double, double>>& b, Combine combine)
{
    std::vector<std::pair<double, double>> out;
    std::size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        const double t = j == b.size() || (i < a.size() && a[i].first <= b[j].first) ? a[i].first : b[j].first;
        for (; i < a.size() && a[i].first == t; ++i) {
        }
        for (; j < b.size() && b[j].first == t; ++j) {
        }
        // The value each holds at t: its last point at or before t, if any.
        const double* va = i > 0 ? &a[i - 1].second : nullptr;
        const double* vb = j > 0 ? &b[j - 1].second : nullptr;
        out.emplace_back(t, combine(va, vb));
    }
    return out;
}

} // namespace

std::vector<std::pair<double, double>> HighestSteps(const std::vector<std::pair<double, double>>& a,
                                                    const std::vector<std::pair<double, double>>& b)
{
    return mergeSteps(a, b, [](const double* x, const double* y) { return x && y ? std::max(*x, *y) : x ? *x : *y; });
}

std::vector<std::pair<double, double>> AddSteps(const std::vector<std::pair<double, double>>& a,
                                                const std::vector<std::pair<double, double>>& b)
{
    return mergeSteps(a, b, [](const double* x, const double* y) { return (x ? *x : 0.0) + (y ? *y : 0.0); });
}

} // namespace batchplant::cli

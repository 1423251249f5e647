// A stream's look at a simulated time: whether a transfer runs through it,
// and where the drawn slug of moving material is.

#include <cmath>

#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {

void Stream::GetContentsColor(double& r, double& g, double& b, double& a) const
{
    r = m_contentsColour[0];
    g = m_contentsColour[1];
    b = m_contentsColour[2];
    a = m_contentsColour[3];
}

void Stream::SetPropertiesByTime(long t)
{
    m_currentTime = t;
    const CProcUnit* running = m_procedure ? m_procedure->FrameAt(t, false).running : nullptr;
    m_currentOp = running ? running->GetOp() : CString();
    m_currentBatch = running ? running->GetBatchNum() : 0;
    m_batchKnown = true;
    if (!running || running->OpType().IsEmpty()) {
        SetFlow(0.0, 0.0);
        DisableFlow();
    } else {
        EnableFlow();
    }
}

void Stream::EnableFlow()
{
    if (!m_flowing) {
        m_flowing = 1;
        m_flowFrames = 0;
    } else {
        ++m_flowFrames;
    }
}

void Stream::SetFlow(double position)
{
    if (std::isnan(position))
        m_flowPosition = -1.0;
    else if (position > 2.0)
        m_flowPosition = 2.0;
    else
        m_flowPosition = position < -1.0 ? -1.0 : position;
}

void Stream::SetFlow(double position, double fraction)
{
    m_flowFraction = (fraction > 1.0) ? 1.0 : (fraction > 0.0 ? fraction : 0.0); // a NaN gives 0
    SetFlow(position);
}

void Stream::setflow()
{
    // A stream without its vessels has no path: both ends stay at the origin.
    double x1 = 0.0, y1 = 0.0, z1 = 0.0, x2 = 0.0, y2 = 0.0, z2 = 0.0;
    get_ves_coords(&x1, &y1, &z1, &x2, &y2, &z2);
    double length = std::fabs(x1 - x2) + std::fabs(y1 - y2) + std::fabs(z1 - z2);
    // Vessels placed at no finite position give no drawable path; the slug
    // then has length 0 rather than infinite or NaN ends.
    if (!std::isfinite(length)) length = 0.0;
    m_pathLength = length;

    const double p = m_flowPosition;
    const double q = m_flowFraction;
    if (p < 0.0) {
        // Entering: the head comes in from the start.
        m_segmentStart = 0.0;
        m_segmentEnd = (p + 1.0) * q * length;
    } else if (p >= 1.0) {
        // Draining: the tail runs out at the end.
        m_segmentStart = (1.0 - (2.0 - p) * q) * length;
        m_segmentEnd = length;
    } else {
        m_segmentStart = (p - q > 0.0) ? (p - q) * length : 0.0;
        m_segmentEnd = (p + q < 1.0) ? (p + q) * length : length;
    }
}

void Stream::set_conts_color()
{
    const long batch =
        m_batchKnown ? m_currentBatch : (m_procedure ? m_procedure->GetCurrentBatchNum(m_currentTime) : 0);
    if (batch > 0) {
        const unsigned char* c = kBatchPalette[(batch - 1) % 9];
        m_contentsColour[0] = c[0] / 255.0;
        m_contentsColour[1] = c[1] / 255.0;
        m_contentsColour[2] = c[2] / 255.0;
    }
    if (m_kind & Vapor) {
        m_contentsColour[0] = 0.0;
        m_contentsColour[1] = 1.0;
        m_contentsColour[2] = 0.0;
    } else if (m_kind & Utility) {
        m_contentsColour[0] = 1.0;
        m_contentsColour[1] = 1.0;
        m_contentsColour[2] = 1.0;
    }
}

} // namespace batchplant

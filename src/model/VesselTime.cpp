// The vessel's look at a simulated time, taken from its procedure.

#include <cmath>

#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {

void Vessel::SetPropertiesByTime(long t)
{
    const bool withVolume = m_capacity > 0.0;
    const CProcedure::Frame frame = m_procedure ? m_procedure->FrameAt(t, withVolume) : CProcedure::Frame{};
    if (withVolume && m_procedure) SetVolume(frame.volume / m_capacity);
    m_currentTime = t;
    m_currentBatch = frame.running ? frame.running->GetBatchNum() : 0;
    m_batchKnown = true;
    const CString op = frame.running ? frame.running->OpType() : CString();
    // Enabling the new state before disabling the old one is safe: each
    // temporary colour is its own layer, so the order never leaves a stale
    // colour behind.
    if (op == "React")
        EnableReact();
    else
        DisableReact();
    if (op == "Heat")
        EnableHeat();
    else
        DisableHeat();
    if (op == "Cool")
        EnableCool();
    else
        DisableCool();
    m_active = op.IsEmpty() ? 0 : 1;
}

void Vessel::SetVolumeByTime(long t)
{
    if (m_capacity > 0.0 && m_procedure) SetVolume(m_procedure->GetVolume(t) / m_capacity);
}

void Vessel::SetVolume(double v)
{
    // A level that is not a number (infinite volumes in a database give
    // inf - inf) shows as empty instead of reaching the drawing.
    if (std::isnan(v)) v = 0.0;
    m_volumeFraction = v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
    if (v > 1.0) {
        // An overflow beyond any finite level keeps the last finite level.
        const double level = (v + 0.3) * m_radius;
        if (std::isfinite(level)) m_overflowLevel = level;
        m_overflowing = 1;
    } else {
        m_overflowing = 0;
    }
}

int Vessel::IsActive() const
{
    if (!IsInventory()) return m_active;
    for (int i = 0; i < m_processStreams.GetCount(); ++i) {
        const Stream* s = m_processStreams.GetAt(i);
        if (s && s->IsInUse()) return 1;
    }
    return 0;
}

void Vessel::set_conts_color()
{
    if (!m_procedure) return;
    const long batch = m_batchKnown ? m_currentBatch : m_procedure->GetCurrentBatchNum(m_currentTime);
    if (batch <= 0) return;
    const unsigned char* c = kBatchPalette[(batch - 1) % 9];
    m_contentsColour[0] = c[0] / 255.0;
    m_contentsColour[1] = c[1] / 255.0;
    m_contentsColour[2] = c[2] / 255.0;
}

} // namespace batchplant

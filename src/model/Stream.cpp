#include "batchplant/model/Stream.h"

#include "batchplant/db/StreamRecordsets.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {

namespace {
constexpr double kGrey = 0.7;
} // namespace

Stream::Stream() = default;

Stream::Stream(CDaoStreamSet* row, Vessel* input, Vessel* output, StreamType kind)
{
    long id = 0;
    long fromId = -1;
    long toId = -1;
    if (row) {
        id = row->m_StreamID;
        if (!row->IsFieldNull(&row->m_FromEquipmentID) && row->m_FromEquipmentID != 0) fromId = row->m_FromEquipmentID;
        if (!row->IsFieldNull(&row->m_ToEquipmentID) && row->m_ToEquipmentID != 0) toId = row->m_ToEquipmentID;
    }
    Init(id, fromId, toId, input, output, kind);
}

Stream::~Stream() = default;

void Stream::Init(long id, long fromId, long toId, Vessel* input, Vessel* output, StreamType kind)
{
    m_id = id;
    m_input = input;
    m_output = output;
    m_kind = kind;
    init();
    m_fromID = fromId;
    m_toID = toId;
}

void Stream::init()
{
    // Streams that are not connecting hold their one vessel at both ends and
    // so register twice with it.
    if (m_input) m_input->RegisterStream(this);
    if (m_output) m_output->RegisterStream(this);
    m_currentTime = 0;
    m_batchKnown = false;

    // A third of the smaller vessel's radius. A stream without vessels takes
    // a third of a default vessel's.
    if (m_input) {
        m_radius = m_input->GetRadius() / 3.0;
        if (m_output && m_radius * 3.0 > m_output->GetRadius()) m_radius = m_output->GetRadius() / 3.0;
    } else if (m_output) {
        m_radius = m_output->GetRadius() / 3.0;
    } else {
        m_radius = 0.5 / 3.0;
    }

    m_labelColour[0] = m_labelColour[1] = m_labelColour[2] = 255;
    m_colour.Reset(kGrey, kGrey, kGrey);
    m_alpha = kGrey;
    m_contentsColour[0] = 1.0;
    m_contentsColour[1] = 0.0;
    m_contentsColour[2] = 0.0;
    m_contentsColour[3] = 1.0;
    m_highlighted = 0;
    m_flowing = 0;
    m_flowFraction = 0.0;
    m_flowPosition = -1.0;
    m_segmentStart = 0.0;
    m_segmentEnd = 0.0;
    m_drawingNumbers[0] = 8;
    m_drawingNumbers[1] = 2;
    m_procedure = std::make_unique<CProcedure>();
}

Vessel* Stream::GetInputVessel() const { return (m_kind & Input) ? nullptr : m_input; }

Vessel* Stream::GetOutputVessel() const { return (m_kind & Output) ? nullptr : m_output; }

Vessel* Stream::GetOtherVessel(const Vessel* v) const
{
    if (!(m_kind & Connecting)) return nullptr;
    return m_input != v ? m_input : m_output;
}

int Stream::IsCrossFloor() const
{
    const Plane* a = m_input ? m_input->GetFloor() : nullptr;
    const Plane* b = m_output ? m_output->GetFloor() : nullptr;
    return a != b ? 1 : 0;
}

int Stream::IsConnectingAndDrawable() const
{
    if (!(m_kind & Connecting) || !m_input || !m_output) return 0;
    return (m_input->IsVisible() && m_input->IsShowConnections() && m_output->IsVisible() &&
            m_output->IsShowConnections())
               ? 1
               : 0;
}

CString Stream::GetName() const
{
    return CString::Formatted("[%s] to [%s]", m_input ? m_input->GetName() : CString(),
                              m_output ? m_output->GetName() : CString());
}

CString Stream::GetFullName() const
{
    return CString::Formatted("Connection: [%s] to [%s]", m_input ? m_input->GetName() : CString(),
                              m_output ? m_output->GetName() : CString());
}

CString Stream::PrintProcs() const { return m_procedure ? m_procedure->PrintProcs() : CString(); }

void Stream::IncrementRadius(double d)
{
    const double r = (d > 0.0) ? m_radius * 1.05 : m_radius * 0.95;
    if (r > 0.01) m_radius = r;
}

void Stream::EnableHighlight() { m_colour.Select(m_highlighted); }

void Stream::DisableHighlight() { m_colour.Deselect(m_highlighted); }

void Stream::ToggleHighlight() { m_colour.ToggleSelected(m_highlighted); }

int Stream::GetColor() const { return m_colour.ObjectPacked(m_highlighted); }

void Stream::SetColor(int packed) { m_colour.SetObjectPacked(m_highlighted, packed); }

void Stream::SetCurrentCol(int r, int g, int b) { m_colour.SetShown255(r, g, b); }

void Stream::SetSaveCol(int r, int g, int b) { m_colour.SetBelow255(LayeredColour::Highlight, r, g, b); }

void Stream::SetLabelColor(int packed) { SetColourBytes(m_labelColour, packed); }

void Stream::SetLabelColor(int r, int g, int b) { SetColourBytes(m_labelColour, r, g, b); }

int Stream::GetLabelColor() const { return PackColourBytes(m_labelColour); }

void Stream::GetCurrentColor(double& r, double& g, double& b, double& a) const
{
    m_colour.Shown(r, g, b);
    a = m_alpha;
}

void Stream::get_ves_coords(double* x1, double* y1, double* z1, double* x2, double* y2, double* z2) const
{
    auto set = [](double* out, double v) {
        if (out) *out = v;
    };
    if (m_kind & Connecting) {
        if (!m_input || !m_output) return;
        set(x1, m_input->GetX(this));
        set(y1, m_input->GetY(this));
        set(z1, m_input->GetZ(this));
        set(x2, m_output->GetX(this));
        set(y2, m_output->GetY(this));
        set(z2, m_output->GetZ(this));
    } else if (m_kind & (Input | Utility)) {
        // The stub comes in horizontally from 2.0 away in -Y.
        if (!m_output) return;
        const double x = m_output->GetX(this), y = m_output->GetY(this), z = m_output->GetZ(this);
        set(x1, x);
        set(y1, y - 2.0);
        set(z1, z);
        set(x2, x);
        set(y2, y);
        set(z2, z);
    } else if (m_kind & (Output | Vapor)) {
        // The stub rises 2.0.
        if (!m_input) return;
        const double x = m_input->GetX(this), y = m_input->GetY(this), z = m_input->GetZ(this);
        set(x1, x);
        set(y1, y);
        set(z1, z);
        set(x2, x);
        set(y2, y);
        set(z2, z + 2.0);
    }
}

} // namespace batchplant

#include "batchplant/model/Vessel.h"

#include <cmath>

#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/foundation/Units.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Stream.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant {

namespace {
constexpr double kPi = 3.14159265359;
constexpr double kDefaultCapacity = 0.7853981633975; // pi/4: radius 0.5, height 1.0
constexpr double kGrey = 0.7;
} // namespace

Vessel::Vessel() { m_colour.Reset(kGrey, kGrey, kGrey); }

Vessel::~Vessel() = default;

void Vessel::Init(Plane* floor)
{
    m_floor = floor;
    m_relX = 0.0;
    m_relY = 0.0;
    pre_init();
    init();
}

void Vessel::pre_init()
{
    m_contentsColour[0] = 1.0;
    m_contentsColour[1] = 0.0;
    m_contentsColour[2] = 0.0;
    m_contentsColour[3] = 1.0;
    m_labelColour[0] = 255;
    m_labelColour[1] = 255;
    m_labelColour[2] = 0;
    m_currentTime = 0;
    m_batchKnown = false;
    m_volumeFraction = 0.0;
    m_drawingNumber = 2.0;
    m_force = Vector{};
    m_colour.DropLayers();
    m_highlighted = 0;
    m_cooling = 0;
    m_heating = 0;
    m_overflowing = 0;
    m_positionAssigned = 0;
    m_continuous = 0;
    m_showLabel = 1;
    m_showConnections = 1;
    m_active = 0;
    m_pinned = 0;
    m_visible = true;
    m_plantID = 0;
    m_calendarID = -1;
    m_classID = 0;
    m_class.Empty();
    m_tag.Empty();
    m_plantName.Empty();
    m_capacityUnit.Empty();
    m_uniqueNeighbours = 0;
    m_processStreams.RemoveAll();
    m_ioRegistrations = 0;
    m_inputStream = m_outputStream = m_vaporStream = m_utilityStream = nullptr;
    m_composite = nullptr;
    // A second Init replaces the procedure rather than leaking the first.
    m_procedure = std::make_unique<CProcedure>();
    if (m_floor) m_floor->RegisterVessel(this);
}

void Vessel::init()
{
    m_colour.Reset(kGrey, kGrey, kGrey);
    m_alpha = kGrey;
    m_radius = 0.5;
    m_height = 1.0;
    m_overflowLevel = 1.0;
    m_capacity = kDefaultCapacity;
}

void Vessel::SetDBParams(CDaoEquipmentSet& row)
{
    m_id = row.m_EquipmentID;
    m_classID = row.m_EquipmentClassID;
    m_plantID = row.m_PlantID;
    m_plantName = row.m_PlantName;
    // The table has NULL (read as 0) for equipment without a calendar; a
    // vessel says so with -1, as a default-built one does.
    m_calendarID = row.m_CalendarID > 0 ? row.m_CalendarID : -1;
    m_class = row.m_Class;
    m_tag = row.m_QLTag;
    m_capacityUnit = row.m_CapacityUOM;
    m_capacity = ToInternalUnits(row.m_CapacityUOM, row.m_Capacity, 1.0, 1.0);
    if (row.m_EquipmentType.CompareNoCase("Continuous") == 0) {
        // Continuous equipment holds little at any moment; it is drawn as
        // 600 litres whatever its capacity column says.
        m_capacityUnit = "liter";
        m_capacity = ToInternalUnits("liter", 1.0, 1.0, 1.0);
        m_continuous = 1;
    }
    set_size();
}

void Vessel::set_size()
{
    // A vessel squashed to nothing (or given a size that is not a number)
    // takes the default proportions instead of dividing by zero.
    double aspect = (m_radius > 0.0) ? m_height / m_radius : 0.0;
    if (!(aspect > 0.0) || !std::isfinite(aspect)) aspect = 2.0;
    double volume = m_capacity;
    if (m_continuous) volume *= 600.0;
    if (!(volume > 0.0)) volume = 0.0; // a negative capacity would give NaN
    m_radius = std::pow(volume / (aspect * kPi), 0.3333);
    m_height = m_radius * aspect;
}

void Vessel::ChangeSize(double dr, double dh)
{
    const double r = m_radius + dr / 100.0;
    if (r > 0.1) m_radius = r;
    const double h = m_height + dh / 100.0;
    if (h > 0.1) m_height = h;
    set_size();
}

void Vessel::SwitchFloor(Plane* floor)
{
    if (floor == m_floor) return;
    if (m_floor) m_floor->UnRegisterVessel(this);
    m_floor = floor;
    if (m_floor) m_floor->RegisterVessel(this);
}

CString Vessel::GetName() const { return m_class.IsEmpty() ? CString() : m_tag; }

CString Vessel::GetFullName() const { return m_class.IsEmpty() ? CString() : m_class + ":    " + m_tag; }

CString Vessel::GetCapacity() const
{
    return CString::Formatted("%.3f %s", ToUserUnits(m_capacityUnit, m_capacity, 1.0, 1.0), m_capacityUnit);
}

int Vessel::GetFloorID() const { return m_floor ? m_floor->GetID() : -1; }

CString Vessel::GetFloorName() const { return m_floor ? m_floor->GetName() : CString(); }

CString Vessel::GetDebugName() const
{
    // The tag is held as UTF-8, so the "code page" walked here is UTF-8: a
    // step covers one whole character and a lead byte is one that starts a
    // multibyte sequence.
    auto isLeadByte = [](unsigned char c) { return c >= 0xC2 && c <= 0xF4; };
    auto sequenceLength = [](unsigned char c) -> std::size_t {
        if (c >= 0xF0 && c <= 0xF4) return 4;
        if (c >= 0xE0) return 3;
        if (c >= 0xC2) return 2;
        return 1;
    };
    CString out;
    const std::string& bytes = m_tag.str();
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\0';) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        out.AppendFormat("%c  %d\r\n", static_cast<int>(c), static_cast<int>(c));
        i += sequenceLength(c);
    }
    out += "\r\n";
    for (char16_t unit : m_tag.ToUtf16()) {
        const unsigned char low = static_cast<unsigned char>(unit & 0xFF);
        out.AppendFormat("%c  %d   %d\r\n", static_cast<int>(low), static_cast<int>(low), isLeadByte(low) ? 1 : 0);
    }
    return out;
}

int Vessel::IsInventory() const { return m_class.Find("Inventory") >= 0 ? 1 : 0; }

CString Vessel::GetCurrentOp(long t) const { return m_procedure ? m_procedure->PrintOps(t) : CString(); }

CString Vessel::PrintProcs() const { return m_procedure ? m_procedure->PrintProcs() : CString(); }

int Vessel::GetNumTimeBlocks() const { return m_procedure ? m_procedure->GetNumProcs() : 0; }

double Vessel::GetX() const { return (m_floor ? m_floor->GetCenterX() : 0.0) + m_relX; }

double Vessel::GetY() const { return (m_floor ? m_floor->GetCenterY() : 0.0) + m_relY; }

double Vessel::GetZ() const { return m_floor ? m_floor->GetHeight() : 0.0; }

double Vessel::GetX(const Stream*) const { return GetX(); }

double Vessel::GetY(const Stream* s) const
{
    if (s && (s->IsUtility() || s->IsVapor())) return GetY() + 2.0 * m_radius / 3.0;
    return GetY();
}

int Vessel::streamPosition(const Stream* s) const
{
    for (int i = 0; i < m_processStreams.GetCount(); ++i)
        if (m_processStreams.GetAt(i) == s) return i;
    return -1;
}

double Vessel::GetZ(const Stream* s) const
{
    if (!s) return 0.0;
    const double n = m_processStreams.GetCount();
    const double z0 = GetZ();
    const double h = m_height;
    if (s->IsConnecting()) {
        // A connecting stream that was never registered here has k = 0 and
        // leaves at the base.
        const double k = streamPosition(s) + 1;
        return z0 + k * h / (n + 4.0);
    }
    if (s->IsInput() || s->IsOutput()) return z0 + (n + 2.0) * h / (n + 4.0);
    if (s->IsUtility() || s->IsVapor()) return z0 + (n + 3.0) * h / (n + 4.0);
    return 0.0;
}

void Vessel::RegisterStream(Stream* s)
{
    if (!s) return;
    if (s->IsConnecting())
        m_processStreams.Add(s);
    else if (s->IsInput() || s->IsOutput())
        ++m_ioRegistrations;

    if (s->IsInput())
        m_inputStream = s;
    else if (s->IsOutput())
        m_outputStream = s;
    else if (s->IsUtility())
        m_utilityStream = s;
    else if (s->IsVapor())
        m_vaporStream = s;

    // A neighbour counts once, however many streams join it to this vessel.
    // The last process stream is left out of the comparison: for a
    // connecting stream that is the stream just added.
    const Vessel* other = s->GetOtherVessel(this);
    const int compared = m_processStreams.GetCount() - 1;
    for (int i = 0; i < compared; ++i) {
        const Stream* p = m_processStreams.GetAt(i);
        if (p && p->GetOtherVessel(this) == other) return;
    }
    ++m_uniqueNeighbours;
}

Stream* Vessel::GetStreamByIndex(int i) const
{
    if (i < 0 || i >= m_processStreams.GetCount()) return nullptr;
    return m_processStreams.GetAt(i);
}

Vessel* Vessel::GetConnectingVessel(int i) const
{
    const Stream* s = GetStreamByIndex(i);
    if (!s || !s->IsConnecting()) return nullptr;
    Vessel* in = s->GetInputVessel();
    return in != this ? in : s->GetOutputVessel();
}

int Vessel::IsConnectingVessel(const Vessel* u) const
{
    for (int i = 0; i < m_processStreams.GetCount(); ++i) {
        const Stream* s = m_processStreams.GetAt(i);
        if (s && s->GetOtherVessel(this) == u) return 1;
    }
    return 0;
}

int Vessel::IsInputVessel(int i) const
{
    const Stream* s = GetStreamByIndex(i);
    return (s && s->IsOutputVessel(this)) ? 1 : 0;
}

int Vessel::IsOutputVessel(int i) const
{
    const Stream* s = GetStreamByIndex(i);
    return (s && s->IsInputVessel(this)) ? 1 : 0;
}

int Vessel::IsInputVessel(const Vessel* u) const
{
    for (int i = 0; i < m_processStreams.GetCount(); ++i) {
        const Stream* s = m_processStreams.GetAt(i);
        if (s && s->GetOtherVessel(this) == u) return IsInputVessel(i);
    }
    return 0;
}

int Vessel::IsOutputVessel(const Vessel* u) const
{
    for (int i = 0; i < m_processStreams.GetCount(); ++i) {
        const Stream* s = m_processStreams.GetAt(i);
        if (s && s->GetOtherVessel(this) == u) return IsOutputVessel(i);
    }
    return 0;
}

bool Vessel::IsLeftmostVessel() const
{
    if (m_processStreams.GetCount() == 0) return false;
    for (int i = 0; i < m_processStreams.GetCount(); ++i) {
        const Stream* s = m_processStreams.GetAt(i);
        if (s && s->IsOutputVessel(this)) return false;
    }
    return true;
}

bool Vessel::IsRightmostVessel() const
{
    if (m_processStreams.GetCount() == 0) return false;
    for (int i = 0; i < m_processStreams.GetCount(); ++i) {
        const Stream* s = m_processStreams.GetAt(i);
        if (s && s->IsInputVessel(this)) return false;
    }
    return true;
}

int Vessel::GetConnectScore() const
{
    int score = 0;
    for (int i = 0; i < m_processStreams.GetCount(); ++i)
        if (const Vessel* v = GetConnectingVessel(i)) score += v->GetNumUniqueStreams();
    return score;
}

bool Vessel::IsVisible() const
{
    if (!m_visible) return false;
    if (IsActive()) return true;
    return m_floor ? m_floor->IsVisible() : false;
}

void Vessel::SetVisible(bool visible)
{
    if (!visible) DisableHighlight();
    m_visible = visible;
}

int Vessel::PositionAssigned(const Plane* p) const
{
    return (m_positionAssigned || m_floor != p || !IsVisible() || !m_showConnections) ? 1 : 0;
}

void Vessel::EnableHighlight() { m_colour.Select(m_highlighted); }

void Vessel::DisableHighlight() { m_colour.Deselect(m_highlighted); }

void Vessel::ToggleHighlight() { m_colour.ToggleSelected(m_highlighted); }

void Vessel::EnableHeat() { m_colour.Start(LayeredColour::Heat, m_heating, 1.0, 0.5, 0.0); }

void Vessel::DisableHeat() { m_colour.End(LayeredColour::Heat, m_heating); }

void Vessel::EnableCool() { m_colour.Start(LayeredColour::Cool, m_cooling, 0.5, 0.5, 1.0); }

void Vessel::DisableCool() { m_colour.End(LayeredColour::Cool, m_cooling); }

int Vessel::GetColor() const { return m_colour.ObjectPacked(m_highlighted); }

void Vessel::SetColor(int packed) { m_colour.SetObjectPacked(m_highlighted, packed); }

void Vessel::SetCurrentCol(int r, int g, int b) { m_colour.SetShown255(r, g, b); }

void Vessel::SetSaveCol(int r, int g, int b) { m_colour.SetBelow255(LayeredColour::Highlight, r, g, b); }

void Vessel::SetLabelColor(int packed) { SetColourBytes(m_labelColour, packed); }

void Vessel::SetLabelColor(int r, int g, int b) { SetColourBytes(m_labelColour, r, g, b); }

int Vessel::GetLabelColor() const { return PackColourBytes(m_labelColour); }

void Vessel::GetCurrentColor(double& r, double& g, double& b, double& a) const
{
    m_colour.Shown(r, g, b);
    a = m_alpha;
}

void Vessel::GetContentsColor(double& r, double& g, double& b, double& a) const
{
    r = m_contentsColour[0];
    g = m_contentsColour[1];
    b = m_contentsColour[2];
    a = m_contentsColour[3];
}

} // namespace batchplant

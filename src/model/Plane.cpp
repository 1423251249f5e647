#include "batchplant/model/Plane.h"

#include <algorithm>

#include "batchplant/model/Vessel.h"

namespace batchplant {

namespace {
// Ochre.
constexpr double kFloorRed = 0.7, kFloorGreen = 0.5, kFloorBlue = 0.0;
} // namespace

Plane::Plane() { init(); }

Plane::Plane(double height, double grid)
{
    init();
    m_height = height;
    m_grid = grid;
}

void Plane::init()
{
    m_cornerX = m_corner2X = 0.0;
    m_cornerY = m_corner2Y = 0.0;
    m_centerX = m_centerY = 0.0;
    m_colour.Reset(kFloorRed, kFloorGreen, kFloorBlue);
    m_highlighted = 0;
    m_visible = true;
    m_name.Empty();
    m_plantName.Empty();
    m_attractiveForce = 1.0;
    m_repulsiveForce = 1.0;
    m_lrForce = 1.0;
    m_attractiveOrder = 3;
    m_repulsiveOrder = 2;
    m_gridCount = 1;
    m_plantID = -1;
}

CString Plane::GetName() const
{
    if (!m_name.IsEmpty()) return m_name;
    return CString::Formatted("Floor %d", m_id);
}

int Plane::GetPlantID()
{
    if (m_plantID != -1) return m_plantID;
    if (m_vessels.GetCount() == 0) return -1;
    if (Vessel* first = m_vessels.GetAt(0)) m_plantID = first->GetPlantID();
    return m_plantID;
}

CString Plane::GetPlantName()
{
    if (m_plantName.IsEmpty() && m_vessels.GetCount() > 0) {
        if (Vessel* first = m_vessels.GetAt(0)) m_plantName = first->GetPlantName();
    }
    return m_plantName;
}

void Plane::RegisterVessel(Vessel* vessel) { m_vessels.Add(vessel); }

void Plane::UnRegisterVessel(Vessel* vessel)
{
    const int at = GetVesselIndex(vessel);
    if (at >= 0) m_vessels.RemoveAt(at);
}

int Plane::FindVessel(Vessel* vessel) const { return GetVesselIndex(vessel) >= 0 ? 1 : 0; }

int Plane::GetVesselIndex(Vessel* vessel) const
{
    for (int i = 0; i < m_vessels.GetCount(); ++i)
        if (m_vessels.GetAt(i) == vessel) return i;
    return -1;
}

Vessel* Plane::GetVesselByIndex(int i) const
{
    if (i < 0 || i >= m_vessels.GetCount()) return nullptr;
    return m_vessels.GetAt(i);
}

double Plane::GetTallestVesselHeight() const
{
    double tallest = 0.0;
    for (int i = 0; i < m_vessels.GetCount(); ++i)
        if (const Vessel* v = m_vessels.GetAt(i)) tallest = std::max(tallest, v->GetHeight());
    return m_height + tallest;
}

void Plane::ClearVesselPlacement()
{
    for (int i = 0; i < m_vessels.GetCount(); ++i)
        if (Vessel* v = m_vessels.GetAt(i)) v->SetPositionFlag(0);
}

void Plane::ClearSelectedVesselPlacement()
{
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        Vessel* v = m_vessels.GetAt(i);
        if (v && v->IsSelected()) v->SetPositionFlag(0);
    }
}

void Plane::Zoom(double f)
{
    for (int i = 0; i < m_vessels.GetCount(); ++i)
        if (Vessel* v = m_vessels.GetAt(i)) v->MultiplyCoords(f, f);
}

void Plane::IncrementCoords(double dx, double dy)
{
    const double sx = dx / 50.0;
    const double sy = dy / 50.0;
    m_cornerX += sx;
    m_corner2X += sx;
    m_centerX += sx;
    m_cornerY += sy;
    m_corner2Y += sy;
    m_centerY += sy;
}

int Plane::WithinX(double x) const
{
    return ((m_cornerX < x && x < m_corner2X) || (m_corner2X < x && x < m_cornerX)) ? 1 : 0;
}

int Plane::WithinX(double x, double m) const
{
    return ((m_cornerX - m > x && x > m_corner2X + m) || (m_cornerX + m < x && x < m_corner2X - m)) ? 1 : 0;
}

int Plane::WithinY(double y) const
{
    return ((m_cornerY < y && y < m_corner2Y) || (m_corner2Y < y && y < m_cornerY)) ? 1 : 0;
}

int Plane::WithinY(double y, double m) const
{
    return ((m_cornerY - m > y && y > m_corner2Y + m) || (m_cornerY + m < y && y < m_corner2Y - m)) ? 1 : 0;
}

void Plane::set_boundaries()
{
    double minX = m_centerX, maxX = m_centerX;
    double minY = m_centerY, maxY = m_centerY;
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        const Vessel* v = m_vessels.GetAt(i);
        if (!v || !(v->IsVisible() || v->IsActive())) continue;
        const double r = v->GetRadius();
        const double x = v->GetX();
        const double y = v->GetY();
        maxX = std::max(maxX, x + r);
        minX = std::min(minX, x - r);
        maxY = std::max(maxY, y + r);
        minY = std::min(minY, y - r);
    }
    m_corner2X = maxX + 1.0;
    m_corner2Y = maxY + 1.0;
    m_cornerX = minX - 1.0;
    m_cornerY = minY - 1.0;

    // The grid count only guides the host's drawing; a side too long for an
    // int (or not a number) is taken as the largest int rather than
    // converted out of range.
    const double longer = std::max(m_corner2X - m_cornerX, m_corner2Y - m_cornerY);
    int t = 0;
    if (longer >= 2147483647.0)
        t = 2147483647;
    else if (longer > 0.0)
        t = static_cast<int>(longer);
    m_gridCount = std::max(t / 5, 1);
}

void Plane::ReCenter()
{
    set_boundaries();
    m_centerX -= (m_cornerX + m_corner2X) * 0.5;
    m_centerY -= (m_cornerY + m_corner2Y) * 0.5;
    set_boundaries();
}

void Plane::EnableHighlight() { m_colour.Select(m_highlighted); }

void Plane::DisableHighlight() { m_colour.Deselect(m_highlighted); }

void Plane::ToggleHighlight() { m_colour.ToggleSelected(m_highlighted); }

int Plane::GetColor() const { return m_colour.ObjectPacked(m_highlighted); }

void Plane::SetColor(int packed) { m_colour.SetObjectPacked(m_highlighted, packed); }

void Plane::SetCurrentCol(int r, int g, int b) { m_colour.SetShown255(r, g, b); }

void Plane::SetSaveCol(int r, int g, int b) { m_colour.SetBelow255(LayeredColour::Highlight, r, g, b); }

} // namespace batchplant

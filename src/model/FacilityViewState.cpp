// What the 3-D host changes: selection with its events, visibility, labels,
// pins, colours, floor editing and item texts.

#include <algorithm>
#include <climits>

#include "batchplant/foundation/Units.h"
#include "batchplant/model/Facility.h"
#include "batchplant/model/Plane.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"
#include "batchplant/platform/MessageBox.h"

namespace batchplant {

namespace {

// Selection kinds carried by the selection event.
constexpr short kSelectionGeneral = 0;
constexpr short kSelectionFloors = 1;
constexpr short kSelectionVessels = 2;
constexpr short kSelectionPipes = 3;

// A new floor's identifier comes from CreateUniqueID, asked again while it
// is below 100 (half of all GUIDs hash to a negative value). The asking is
// bounded: after this many tries, or at once when it yields 0 (no GUID could
// be had, and the user has already been told), the floor takes the next
// identifier above the existing ones.
constexpr int kUniqueIdAttempts = 64;
constexpr int kFirstGeneratedFloorId = 100;

// Slot of a single corner bit in the stored order 2, 8, 4, 1; -1 otherwise.
int cornerSlot(int corner)
{
    switch (corner) {
    case 2:
        return 0;
    case 8:
        return 1;
    case 4:
        return 2;
    case 1:
        return 3;
    default:
        return -1;
    }
}

} // namespace

void Facility::fireSelectionEvent(short kind)
{
    if (m_threeDControl) m_threeDControl->FireEvent(1, kind);
}

void Facility::selectAllOf(bool vessels, bool pipes, bool floors)
{
    if (vessels)
        for (int i = 0; i < m_vessels.GetCount(); ++i)
            if (Vessel* v = m_vessels.GetAt(i)) v->EnableHighlight();
    if (pipes)
        for (int i = 0; i < m_streams.GetCount(); ++i)
            if (Stream* s = m_streams.GetAt(i)) s->EnableHighlight();
    if (floors)
        for (int i = 0; i < m_floors.GetCount(); ++i)
            if (Plane* p = m_floors.GetAt(i)) p->EnableHighlight();
}

void Facility::ClearAllSelections()
{
    for (int i = 0; i < m_vessels.GetCount(); ++i)
        if (Vessel* v = m_vessels.GetAt(i)) v->DisableHighlight();
    for (int i = 0; i < m_streams.GetCount(); ++i)
        if (Stream* s = m_streams.GetAt(i)) s->DisableHighlight();
    for (int i = 0; i < m_floors.GetCount(); ++i)
        if (Plane* p = m_floors.GetAt(i)) p->DisableHighlight();
    m_vesselSelected = m_pipeSelected = m_floorSelected = 0;
    fireSelectionEvent(kSelectionGeneral);
}

void Facility::SelectAll()
{
    selectAllOf(true, true, true);
    m_vesselSelected = m_pipeSelected = m_floorSelected = 1;
    fireSelectionEvent(kSelectionGeneral);
}

void Facility::SelectAllFloors()
{
    selectAllOf(false, false, true);
    m_floorSelected = 1;
    fireSelectionEvent(kSelectionFloors);
}

void Facility::SelectAllVessels()
{
    selectAllOf(true, false, false);
    m_vesselSelected = 1;
    fireSelectionEvent(kSelectionVessels);
}

void Facility::SelectAllPipes()
{
    selectAllOf(false, true, false);
    m_pipeSelected = 1;
    fireSelectionEvent(kSelectionPipes);
}

void Facility::UpdateSelectionStatus()
{
    m_vesselSelected = 0;
    for (int i = 0; i < m_vessels.GetCount() && !m_vesselSelected; ++i) {
        const Vessel* v = m_vessels.GetAt(i);
        if (v && v->IsSelected()) m_vesselSelected = 1;
    }
    m_pipeSelected = 0;
    for (int i = 0; i < m_streams.GetCount() && !m_pipeSelected; ++i) {
        const Stream* s = m_streams.GetAt(i);
        if (s && s->IsSelected()) m_pipeSelected = 1;
    }
    m_floorSelected = 0;
    for (int i = 0; i < m_floors.GetCount() && !m_floorSelected; ++i) {
        const Plane* p = m_floors.GetAt(i);
        if (p && p->IsSelected()) m_floorSelected = 1;
    }
    fireSelectionEvent(kSelectionGeneral);
}

void Facility::AttachMouse(int item)
{
    if (!m_multiSelect || item == 0) ClearAllSelections();
    if (item <= 0) return;
    const int vessels = m_vessels.GetCount();
    const int streams = m_streams.GetCount();
    const int floors = m_floors.GetCount();
    // Compared by subtraction so that an item near INT_MAX cannot overflow.
    if (item <= vessels) {
        if (Vessel* v = m_vessels.GetAt(item - 1)) v->ToggleHighlight();
    } else if (item - vessels <= streams) {
        if (Stream* s = m_streams.GetAt(item - vessels - 1)) s->ToggleHighlight();
    } else if (item - vessels - streams <= floors) {
        if (Plane* p = m_floors.GetAt(item - vessels - streams - 1)) p->ToggleHighlight();
    }
    UpdateSelectionStatus();
}

Plane* Facility::GetSelectedFloor() const
{
    Plane* visible = nullptr;
    int visibleCount = 0;
    Plane* selected = nullptr;
    int selectedCount = 0;
    for (int i = 0; i < m_floors.GetCount(); ++i) {
        Plane* p = m_floors.GetAt(i);
        if (!p) continue;
        if (p->IsVisible()) {
            visible = p;
            ++visibleCount;
        }
        if (p->IsSelected()) {
            selected = p;
            ++selectedCount;
        }
    }
    if (visibleCount == 1) return visible;
    if (selectedCount == 1) return selected;
    return nullptr;
}

void Facility::ShowAllLabels(int show)
{
    for (int i = 0; i < m_vessels.GetCount(); ++i)
        if (Vessel* v = m_vessels.GetAt(i)) v->ShowLabels(show);
}

void Facility::ShowSelectedLabels(int show)
{
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        Vessel* v = m_vessels.GetAt(i);
        if (v && v->IsSelected()) v->ShowLabels(show);
    }
}

void Facility::ShowSelectedVesselStreams(int show)
{
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        Vessel* v = m_vessels.GetAt(i);
        if (v && v->IsSelected()) v->SetShowConnections(show);
    }
}

void Facility::ToggleSelectedVesselPins()
{
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        Vessel* v = m_vessels.GetAt(i);
        if (v && v->IsSelected()) v->SetPin(v->IsPinned() ? 0 : 1);
    }
}

void Facility::SetFloorVisible(int, int floorID, bool visible)
{
    for (int i = 0; i < m_floors.GetCount(); ++i) {
        Plane* p = m_floors.GetAt(i);
        if (p && p->GetID() == floorID) p->SetVisible(visible);
    }
}

void Facility::SetSelectColor(int r, int g, int b)
{
    for (int i = 0; i < m_floors.GetCount(); ++i) {
        Plane* p = m_floors.GetAt(i);
        if (p && p->IsSelected()) p->SetSaveCol(r, g, b);
    }
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        Vessel* v = m_vessels.GetAt(i);
        if (v && v->IsSelected()) v->SetSaveCol(r, g, b);
    }
    for (int i = 0; i < m_streams.GetCount(); ++i) {
        Stream* s = m_streams.GetAt(i);
        if (s && s->IsSelected()) s->SetSaveCol(r, g, b);
    }
}

void Facility::SetSelectLabelColor(int r, int g, int b)
{
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        Vessel* v = m_vessels.GetAt(i);
        if (v && v->IsSelected()) v->SetLabelColor(r, g, b);
    }
    for (int i = 0; i < m_streams.GetCount(); ++i) {
        Stream* s = m_streams.GetAt(i);
        if (s && s->IsSelected()) s->SetLabelColor(r, g, b);
    }
}

void Facility::SetBackgroundCornerColor(BackCorner corners, int r, int g, int b)
{
    for (int bit : {2, 8, 4, 1}) {
        if (!(static_cast<int>(corners) & bit)) continue;
        unsigned char* slot = m_backCorners[cornerSlot(bit)];
        slot[0] = static_cast<unsigned char>(r & 0xFF);
        slot[1] = static_cast<unsigned char>(g & 0xFF);
        slot[2] = static_cast<unsigned char>(b & 0xFF);
    }
}

void Facility::SetBackgroundCornerColor(BackCorner corners, int rgb)
{
    SetBackgroundCornerColor(corners, (rgb / 65536) % 256, (rgb / 256) % 256, rgb % 256);
}

int Facility::GetBackgroundCornerColor(BackCorner corner) const
{
    const int slot = cornerSlot(static_cast<int>(corner));
    if (slot < 0) return 0;
    const unsigned char* c = m_backCorners[slot];
    return (c[0] << 16) | (c[1] << 8) | c[2];
}

int Facility::IsBackgroundSolid() const
{
    for (int i = 1; i < 4; ++i)
        for (int k = 0; k < 3; ++k)
            if (m_backCorners[i][k] != m_backCorners[0][k]) return 0;
    return 1;
}

Plane* Facility::CreateNewFloor(int id, CString name, int plantID, CString plantName)
{
    // 6.0 above the highest vessel top of all floors.
    double height = 0.0;
    bool first = true;
    for (int i = 0; i < m_floors.GetCount(); ++i) {
        const Plane* p = m_floors.GetAt(i);
        if (!p) continue;
        const double top = p->GetTallestVesselHeight() + 6.0;
        if (first || top > height) height = top;
        first = false;
    }

    if (Plane* existing = FindPlaneWithId(id)) return existing;

    if (id < 0) {
        long unique = -1;
        for (int attempt = 0; attempt < kUniqueIdAttempts && unique < kFirstGeneratedFloorId; ++attempt) {
            unique = CreateUniqueID();
            if (unique == 0) break;
        }
        if (unique >= kFirstGeneratedFloorId && unique <= INT_MAX) {
            id = static_cast<int>(unique);
        } else {
            // No usable GUID: the next identifier above every floor's.
            long long next = kFirstGeneratedFloorId;
            for (int i = 0; i < m_floors.GetCount(); ++i)
                if (const Plane* p = m_floors.GetAt(i)) next = std::max<long long>(next, p->GetID() + 1LL);
            if (next > INT_MAX) {
                // The largest identifier is taken: the smallest free one from 100.
                next = kFirstGeneratedFloorId;
                while (FindPlaneWithId(static_cast<int>(next)))
                    ++next;
            }
            id = static_cast<int>(next);
        }
    }

    Plane* floor = addPlane();
    if (!floor) return nullptr;
    m_floors.Add(floor);
    floor->SetHeight(height);
    floor->SetGrid(1.0);
    floor->SetID(id);

    if (name.IsEmpty()) {
        // "Floor n" with n the number of floors, moved on past names that
        // other floors already show.
        int n = m_floors.GetCount();
        auto taken = [&](const CString& candidate) {
            for (int i = 0; i < m_floors.GetCount(); ++i) {
                const Plane* p = m_floors.GetAt(i);
                if (p && p != floor && p->GetName() == candidate) return true;
            }
            return false;
        };
        name = CString::Formatted("Floor %d", n);
        while (taken(name))
            name = CString::Formatted("Floor %d", ++n);
    }
    floor->SetName(name);
    floor->SetPlantID(plantID);
    floor->SetPlantName(plantName);
    MarkModified(1);
    return floor;
}

void Facility::DeleteSelectedFloors()
{
    for (int i = 0; i < m_floors.GetCount();) {
        Plane* p = m_floors.GetAt(i);
        if (!p || !p->IsSelected()) {
            ++i;
            continue;
        }
        if (p->IsEmpty()) {
            m_floors.RemoveAt(i);
            deletePlane(p);
            MarkModified(1);
            continue; // the next floor took its place
        }
        AfxMessageBox("A floor containing vessels cannot be deleted.\nYou must first move the vessels to a different "
                      "floor.",
                      MB_OK);
        ++i;
    }
}

void Facility::MoveSelectedVesselsUp()
{
    bool any = false;
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        Vessel* v = m_vessels.GetAt(i);
        if (!v || !v->IsSelected()) continue;
        any = true;
        if (Plane* target = GetHigherFloor(v->GetFloor())) v->SwitchFloor(target);
        MarkModified(1);
    }
    if (!any) AfxMessageBox("You must select a vessel first", MB_OK);
}

void Facility::MoveSelectedVesselsDown()
{
    bool any = false;
    for (int i = 0; i < m_vessels.GetCount(); ++i) {
        Vessel* v = m_vessels.GetAt(i);
        if (!v || !v->IsSelected()) continue;
        any = true;
        if (Plane* target = GetLowerFloor(v->GetFloor())) v->SwitchFloor(target);
        MarkModified(1);
    }
    if (!any) AfxMessageBox("You must select a vessel first", MB_OK);
}

Plane* Facility::getNextFloor(Plane* floor, bool lower) const
{
    if (!floor) return nullptr;
    const int plant = floor->GetPlantID();
    Plane* best = nullptr;
    double bestGap = 0.0;
    for (int i = 0; i < m_floors.GetCount(); ++i) {
        Plane* p = m_floors.GetAt(i);
        if (!p || !p->IsVisible()) continue;
        const int pPlant = p->GetPlantID();
        if (pPlant != plant && pPlant != -1) continue;
        double gap = p->GetHeight() - floor->GetHeight();
        if (lower) gap = -gap;
        if (gap > 0.0 && (!best || gap < bestGap)) {
            best = p;
            bestGap = gap;
        }
    }
    return best;
}

CString Facility::GetItemName(int index) const
{
    if (index < 0) return CString();
    const int vessels = m_vessels.GetCount();
    const int streams = m_streams.GetCount();
    const int floors = m_floors.GetCount();
    if (index < vessels) {
        const Vessel* v = m_vessels.GetAt(index);
        return v ? v->GetFullName() : CString();
    }
    index -= vessels;
    if (index < streams) {
        const Stream* s = m_streams.GetAt(index);
        return s ? s->GetFullName() : CString();
    }
    index -= streams;
    if (index < floors) {
        const Plane* p = m_floors.GetAt(index);
        return p ? p->GetName() : CString();
    }
    // One extra item that the host may draw behind the floors.
    if (index == floors) return "6-foot Dude";
    return CString();
}

int Facility::GetInfoForBox(int item, CString& name, CString& procedures, CString& capacity) const
{
    if (item < 1) return 0;
    const int vessels = m_vessels.GetCount();
    if (item <= vessels) {
        const Vessel* v = m_vessels.GetAt(item - 1);
        if (!v) return 0;
        name = v->GetFullName();
        procedures = v->PrintProcs();
        capacity = v->GetCapacity();
        return 1;
    }
    if (item - vessels <= m_streams.GetCount()) {
        const Stream* s = m_streams.GetAt(item - vessels - 1);
        if (!s) return 0;
        name = s->GetFullName();
        procedures = s->PrintProcs();
        return 1;
    }
    return 0;
}

} // namespace batchplant

#pragma once
// One floor of the plant: a horizontal rectangle at a height on which
// vessels stand. A vessel's absolute position is its position relative to
// the floor's centre plus that centre, and its base stands at the floor's
// height, so moving the floor moves its vessels.
//
// The floor does not own its vessels; vessels register and unregister
// themselves. The facility owns the floors.

#include "batchplant/foundation/List.h"
#include "batchplant/model/LayeredColour.h"
#include "batchplant/platform/CString.h"

namespace batchplant {

class Vessel;
struct Vector;

// One floor of the plant (described at the top of Plane.h).
class Plane {
public:
    Plane();
    Plane(double height, double grid);
    // Virtual so that a host's own floor class, made by its own
    // Facility::addPlane, is destroyed whole by the facility.
    virtual ~Plane() = default;
    // Copies share the vessel pointers (the floor owns none of them).
    Plane(const Plane&) = default;
    Plane& operator=(const Plane&) = default;

    void Initialize() {}
    void DumpVals() {}

    // Identity
    int GetID() const { return m_id; }
    void SetID(int id) { m_id = id; }
    void SetName(const CString& name) { m_name = name; }
    // The name, or "Floor %d" with the identifier while the name is empty.
    CString GetName() const;
    void SetPlantID(int plantID) { m_plantID = plantID; }
    // The stored plant ID; while none is stored (-1), the first registered
    // vessel's, which is then kept; -1 for a floor without vessels.
    int GetPlantID();
    void SetPlantName(const CString& name) { m_plantName = name; }
    // While empty, takes the first registered vessel's plant name.
    CString GetPlantName();

    // Vessels
    void RegisterVessel(Vessel* vessel);
    void UnRegisterVessel(Vessel* vessel);
    int FindVessel(Vessel* vessel) const;
    int GetVesselIndex(Vessel* vessel) const;
    int IsEmpty() const { return m_vessels.GetCount() == 0 ? 1 : 0; }
    int GetNumVessels() const { return m_vessels.GetCount(); }
    // The registered vessel at a position, or null out of range.
    Vessel* GetVesselByIndex(int i) const;
    // Height plus the tallest registered vessel's height (0 if none);
    // visibility is not considered.
    double GetTallestVesselHeight() const;
    void ClearVesselPlacement();
    void ClearSelectedVesselPlacement();
    // Scales every registered vessel's relative position by f.
    void Zoom(double f);

    // Geometry
    double GetHeight() const { return m_height; }
    void SetHeight(double height) { m_height = height; }
    void IncrementHeight(double d) { m_height += d; }
    // Raises (or lowers) the floor by d / 50.
    void IncrementCoords(double d) { m_height += d / 50.0; }
    // Moves the rectangle and the centre by (dx / 50, dy / 50).
    void IncrementCoords(double dx, double dy);
    double GetCornerX() const { return m_cornerX; }
    double GetCorner2X() const { return m_corner2X; }
    double GetCornerY() const { return m_cornerY; }
    double GetCorner2Y() const { return m_corner2Y; }
    double GetCenterX() const { return m_centerX; }
    double GetCenterY() const { return m_centerY; }
    void SetCenterX(double x) { m_centerX = x; }
    void SetCenterY(double y) { m_centerY = y; }
    void SetGrid(double grid) { m_grid = grid; }
    double GetGrid() const { return m_grid; }
    int GetGridCount() const { return m_gridCount; }
    double GetWidthX() const { return m_corner2X - m_cornerX; }
    double GetWidthY() const { return m_corner2Y - m_cornerY; }
    // 1 when x lies strictly inside the X extent (either corner order).
    int WithinX(double x) const;
    // 1 when x lies strictly inside the X extent shrunk by m at both ends.
    int WithinX(double x, double m) const;
    int WithinY(double y) const;
    int WithinY(double y, double m) const;
    // Moves the centre so that the shown vessels are centred on it, and fits
    // the rectangle around them.
    void ReCenter();

    // View state
    bool IsVisible() const { return m_visible; }
    void SetVisible(bool visible) { m_visible = visible; }
    int IsSelected() const { return m_highlighted; }
    void EnableHighlight();
    void DisableHighlight();
    void ToggleHighlight();
    // The colour shown once deselected while highlighted, else the colour
    // shown now; packed 0xRRGGBB.
    int GetColor() const;
    void SetColor(int packed);
    void SetCurrentCol(int r, int g, int b);
    void SetSaveCol(int r, int g, int b);

    // Parameters of the force-directed arrangement.
    double GetAttractiveForce() const { return m_attractiveForce; }
    void SetAttractiveForce(double f) { m_attractiveForce = f; }
    double GetRepulsiveForce() const { return m_repulsiveForce; }
    void SetRepulsiveForce(double f) { m_repulsiveForce = f; }
    double GetLRForce() const { return m_lrForce; }
    void SetLRForce(double f) { m_lrForce = f; }
    short GetAttractiveOrder() const { return m_attractiveOrder; }
    void SetAttractiveOrder(short order) { m_attractiveOrder = order; }
    short GetRepulsiveOrder() const { return m_repulsiveOrder; }
    void SetRepulsiveOrder(short order) { m_repulsiveOrder = order; }
    // Computes every registered vessel's displacement request.
    void DistributeVessels();
    // Moves every registered vessel by its request (pinned ones stay).
    void MoveVesselsByForce();
    // Crawls from every neighbour of every vessel and keeps nothing; changes
    // no state.
    void FindVesselClusters();
    // Marks v's connected group on this floor: marks has one entry per
    // registered vessel, indexed like the floor's list.
    void CrawlThroughConnections(Vessel* v, short* marks);

protected:
    void init();
    // Fits the rectangle around the vessels that are shown (visible or
    // active), with a margin of 1.0, and sets the grid count.
    void set_boundaries();
    // The force terms on a vessel from the other visible vessels of the floor.
    void setVesselForce(int i);
    Vector getAttractiveForce(Vessel* v);
    Vector getRepulsiveForce(Vessel* v);
    Vector getLeftRightForce(Vessel* v);

    int m_id = 0;
    double m_height = 0.0;
    double m_grid = 1.0;
    double m_cornerX = 0.0, m_corner2X = 0.0;
    double m_cornerY = 0.0, m_corner2Y = 0.0;
    double m_centerX = 0.0, m_centerY = 0.0;
    LayeredColour m_colour;
    int m_highlighted = 0;
    bool m_visible = true;
    CString m_name;
    CString m_plantName;
    double m_attractiveForce = 1.0;
    double m_repulsiveForce = 1.0;
    double m_lrForce = 1.0;
    short m_attractiveOrder = 3;
    short m_repulsiveOrder = 2;
    int m_gridCount = 1;
    List<Vessel*> m_vessels;
    int m_plantID = -1;
};

} // namespace batchplant

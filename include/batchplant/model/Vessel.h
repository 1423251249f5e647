#pragma once
// One piece of equipment as the 3-D view draws it: an upright cylinder on a
// floor, sized from the equipment's capacity, with colours, a label, view
// flags, the streams that touch it and the procedure of what runs in it.
//
// The facility creates vessels through its virtual Facility::addVessel, so a
// host may derive its own vessel class and override the protected hooks
// (init, pre_init, set_size, EnableReact, DisableReact) and
// SetPropertiesByTime.

#include <memory>

#include "batchplant/foundation/List.h"
#include "batchplant/model/LayeredColour.h"
#include "batchplant/platform/CString.h"

namespace batchplant {

class Plane;
class Stream;
class CProcedure;
class CDaoEquipmentSet;
class CompositeVessel;

// A displacement request of the force-directed arrangement.
struct Vector {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// Contents colours by batch: batch b (> 0) is drawn in entry (b - 1) mod 9.
inline constexpr unsigned char kBatchPalette[9][3] = {
    {255, 0, 0},   {0, 0, 255},   {0, 192, 0},   {255, 128, 0}, {255, 0, 255},
    {0, 192, 192}, {255, 0, 128}, {128, 192, 0}, {128, 0, 255},
};

// One piece of equipment of the 3-D view (described at the top of Vessel.h).
class Vessel {
public:
    Vessel();
    virtual ~Vessel();
    // A vessel owns its procedure; copies would delete it twice.
    Vessel(const Vessel&) = delete;
    Vessel& operator=(const Vessel&) = delete;

    // Sets volume, heating, cooling, reaction and the active flag from what
    // the procedure runs at t (seconds from the run's start).
    virtual void SetPropertiesByTime(long t);

    // Lifecycle and loading
    // Puts the vessel on `floor` at its centre with the defaults, an empty
    // procedure, and registers it there (pre_init, then init).
    void Init(Plane* floor);
    // Identity, class, tag, capacity and type from an equipment row; then the
    // size from the capacity.
    void SetDBParams(CDaoEquipmentSet& row);
    // Changes the proportions by steps of 1/100 (radius and height each stay
    // above 0.1), keeping the volume at the capacity.
    void ChangeSize(double dr, double dh);
    // Moves the vessel to another floor (unregisters, registers).
    void SwitchFloor(Plane* floor);

    // Identity and names
    long GetID() const { return m_id; }
    int GetPlantID() const { return m_plantID; }
    int GetCalendarID() const { return m_calendarID; }
    int GetClassID() const { return m_classID; }
    CString GetClass() const { return m_class; }
    CString GetPlantName() const { return m_plantName; }
    // Capacity in cubic metres.
    double Capacity() const { return m_capacity; }
    // The tag; empty while the class is empty.
    CString GetName() const;
    // "<class>:    <tag>"; empty while the class is empty.
    CString GetFullName() const;
    // The capacity in its own unit, "%.3f %s".
    CString GetCapacity() const;
    Plane* GetFloor() const { return m_floor; }
    int GetFloorID() const;
    CString GetFloorName() const;
    // The tag's character codes, for diagnosing bad text in a database.
    CString GetDebugName() const;
    // 1 if the class contains "Inventory" (case-sensitive).
    int IsInventory() const;

    // Procedure text
    CProcedure* GetProc() const { return m_procedure.get(); }
    CString GetCurrentOp(long t) const;
    CString GetCurrentOp() const { return GetCurrentOp(m_currentTime); }
    CString PrintProcs() const;
    int GetNumTimeBlocks() const;

    // Geometry
    double GetRadius() const { return m_radius; }
    void SetRadius(double r) { m_radius = r; }
    double GetHeight() const { return m_height; }
    void SetHeight(double h) { m_height = h; }
    double GetRelX() const { return m_relX; }
    void SetRelX(double x) { m_relX = x; }
    double GetRelY() const { return m_relY; }
    void SetRelY(double y) { m_relY = y; }
    void SetCoords(double x, double y)
    {
        m_relX = x;
        m_relY = y;
    }
    void IncrementCoords(double dx, double dy)
    {
        m_relX += dx / 10.0;
        m_relY += dy / 10.0;
    }
    void MultiplyCoords(double fx, double fy)
    {
        m_relX *= fx;
        m_relY *= fy;
    }
    // Absolute position of the axis at the base (the floor's height). Without
    // a floor the relative position and height 0.
    double GetX() const;
    double GetY() const;
    double GetZ() const;
    // Where a stream meets the shell.
    double GetX(const Stream* s) const;
    double GetY(const Stream* s) const;
    double GetZ(const Stream* s) const;

    // Streams and neighbours
    void RegisterStream(Stream* s);
    int GetNumStreams() const { return m_processStreams.GetCount(); }
    // The i-th connecting stream; null for a position outside
    // 0 .. GetNumStreams() - 1.
    Stream* GetStreamByIndex(int i) const;
    int GetNumUniqueStreams() const { return m_uniqueNeighbours; }
    int GetNumInputAndOutputStreams() const { return m_ioRegistrations; }
    Stream* GetInputStream() const { return m_inputStream; }
    Stream* GetOutputStream() const { return m_outputStream; }
    Stream* GetUtilityStream() const { return m_utilityStream; }
    Stream* GetVaporStream() const { return m_vaporStream; }
    Vessel* GetConnectingVessel(int i) const;
    int IsConnectingVessel(const Vessel* u) const;
    // 1 if stream i flows into this vessel; 0 out of range.
    int IsInputVessel(int i) const;
    // 1 if stream i flows out of this vessel; 0 out of range.
    int IsOutputVessel(int i) const;
    // Whether u feeds this vessel (through the first stream joining them).
    int IsInputVessel(const Vessel* u) const;
    // Whether this vessel feeds u.
    int IsOutputVessel(const Vessel* u) const;
    bool IsLeftmostVessel() const;
    bool IsRightmostVessel() const;
    // Sum of the neighbours' unique neighbour counts over the process streams.
    int GetConnectScore() const;

    // View state
    bool IsVisible() const;
    void SetVisible(bool visible);
    void ShowLabels(int show) { m_showLabel = show; }
    int GetShowLabel() const { return m_showLabel; }
    void SetShowConnections(int show) { m_showConnections = show; }
    int IsShowConnections() const { return m_showConnections; }
    int ShowConnections() const { return (IsVisible() && m_showConnections) ? 1 : 0; }
    void SetPin(int pinned) { m_pinned = pinned; }
    int IsPinned() const { return m_pinned; }
    void SetPositionFlag(int assigned) { m_positionAssigned = assigned; }
    int GetPositionFlag() const { return m_positionAssigned; }
    // 1 when the layout wizard must leave the vessel alone on floor p.
    int PositionAssigned(const Plane* p) const;
    int IsSelected() const { return m_highlighted; }
    void EnableHighlight();
    void DisableHighlight();
    void ToggleHighlight();
    int GetColor() const;
    void SetColor(int packed);
    void SetCurrentCol(int r, int g, int b);
    void SetSaveCol(int r, int g, int b);
    void SetLabelColor(int packed);
    void SetLabelColor(int r, int g, int b);
    int GetLabelColor() const;
    // Shell colour shown now as fractions, and its alpha.
    void GetCurrentColor(double& r, double& g, double& b, double& a) const;
    void GetContentsColor(double& r, double& g, double& b, double& a) const;
    // Takes the contents colour of the batch running now (set_conts_color),
    // which SetPropertiesByTime leaves to the host.
    void TakeContentsColour() { set_conts_color(); }
    int IsHeating() const { return m_heating; }
    int IsCooling() const { return m_cooling; }
    void SetCompositeVessel(CompositeVessel* composite) { m_composite = composite; }
    CompositeVessel* GetCompositeVessel() const { return m_composite; }

    // Layout
    void SetForceVector(const Vector& v)
    {
        m_force.x = v.x;
        m_force.y = v.y;
    }
    void IncForceVector(const Vector& v)
    {
        m_force.x += v.x;
        m_force.y += v.y;
    }
    const Vector& GetForceVector() const { return m_force; }
    // Moves by a fifth of the request, at most five radii per axis; a pinned
    // vessel stays.
    void MoveByForce();

    // Time-driven state
    void SetVolumeByTime(long t);
    // Fraction of the capacity, limited to 0..1; above 1 the vessel
    // overflows.
    void SetVolume(double v);
    void IncrementVolume(double d) { SetVolume(m_volumeFraction + d); }
    void DecrementVolume(double d) { SetVolume(m_volumeFraction - d); }
    double GetVolume() const { return m_volumeFraction; }
    double GetOverflowLevel() const { return m_overflowLevel; }
    int IsOverflowing() const { return m_overflowing; }
    long GetCurrentTime() const { return m_currentTime; }
    // Something runs in it now; an inventory is active while one of its
    // connecting streams flows.
    int IsActive() const;

protected:
    // Reaction hooks for derived vessels; nothing here.
    virtual void EnableReact() {}
    virtual void DisableReact() {}
    // Shell colour, size and capacity defaults.
    virtual void init();
    // Every other default, the empty procedure, registration on the floor.
    virtual void pre_init();
    // Turns the capacity into a cylinder of unchanged proportions.
    virtual void set_size();

    void EnableHeat();
    void DisableHeat();
    void EnableCool();
    void DisableCool();
    // Contents colour from the batch running now.
    void set_conts_color();

    int streamPosition(const Stream* s) const;

    double m_relX = 0.0;
    double m_relY = 0.0;
    double m_contentsColour[4] = {1.0, 0.0, 0.0, 1.0};
    LayeredColour m_colour;
    double m_alpha = 0.7;
    unsigned char m_labelColour[3] = {255, 255, 0};
    long m_currentTime = 0;
    // The batch running at m_currentTime, known once SetPropertiesByTime
    // looked it up, so that the contents colour needs no second look-up.
    long m_currentBatch = 0;
    bool m_batchKnown = false;
    double m_volumeFraction = 0.0;
    double m_radius = 0.5;
    double m_height = 1.0;
    double m_overflowLevel = 1.0;
    double m_drawingNumber = 2.0;
    Vector m_force;
    int m_highlighted = 0;
    int m_cooling = 0;
    int m_heating = 0;
    int m_overflowing = 0;
    int m_positionAssigned = 0;
    int m_continuous = 0;
    int m_showLabel = 1;
    int m_showConnections = 1;
    int m_active = 0;
    int m_pinned = 0;
    bool m_visible = true;
    std::unique_ptr<CProcedure> m_procedure;
    Plane* m_floor = nullptr;
    long m_id = 0;
    int m_plantID = 0;
    int m_calendarID = -1;
    int m_classID = 0;
    CString m_class;
    CString m_tag;
    CString m_plantName;
    double m_capacity = 0.7853981633975;
    CString m_capacityUnit;
    int m_uniqueNeighbours = 0;
    List<Stream*> m_processStreams;
    int m_ioRegistrations = 0;
    Stream* m_inputStream = nullptr;
    Stream* m_outputStream = nullptr;
    Stream* m_vaporStream = nullptr;
    Stream* m_utilityStream = nullptr;
    CompositeVessel* m_composite = nullptr;
};

} // namespace batchplant

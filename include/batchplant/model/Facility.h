#pragma once
// The root of the model: one plant with its floors, vessels and streams, the
// process steps of the simulated run, its calendars and the view state the
// 3-D host changes.
//
// The facility owns every floor, vessel and stream and creates them only
// through its four virtual factory operations, so that a host may derive its
// own classes. The host document and the two controls are attached by
// pointer and never owned. The hosts address what is drawn by one running
// number over vessels, then connecting streams, then floors (the item index
// space).

#include <memory>
#include <vector>

#include "batchplant/foundation/Hash.h"
#include "batchplant/foundation/List.h"
#include "batchplant/model/StepInfo.h"
#include "batchplant/platform/COleDateTime.h"
#include "batchplant/platform/CString.h"
#include "batchplant/platform/HostInterfaces.h"

namespace batchplant {

class Plane;
class Vessel;
class Stream;
class CDaoDatabase;
class CDaoEquipmentSet;
class CFacilityCalendar;
class AnimTimeline;
class LayoutScope;

// The plant model of the 3-D view, loaded from one results database; what it
// owns and the item index space are described at the top of Facility.h.
class Facility {
public:
    // Direction of the animation clock.
    enum AnimDirection : int { Forward = 0, Backward = 1 };
    // Corners of the background gradient, usable as bit flags.
    enum BackCorner : int { Corner1 = 1, Corner2 = 2, Corner4 = 4, Corner8 = 8 };
    // Side of the parent on which the layout wizard puts a child: Incoming
    // children feed the parent (the -Y side), Outgoing ones are fed by it
    // (the +Y side).
    enum StreamDir : int { Incoming = 0, Outgoing = 1 };

    Facility();
    // Virtual: a GanttFacility (or a host's own facility) is destroyed whole
    // through a Facility pointer.
    virtual ~Facility();
    // The facility owns its floors, vessels, streams, timeline and calendar;
    // a copy would destroy them a second time.
    Facility(const Facility&) = delete;
    Facility& operator=(const Facility&) = delete;

    // Counts
    int GetNumFloors() const { return m_floors.GetCount(); }
    int GetNumVessels() const { return m_vessels.GetCount(); }
    int GetNumConnectingStreams() const { return m_streams.GetCount(); }
    int GetNumUniStreams() const { return m_uniStreams.GetCount(); }
    int GetNumUtilStreams() const { return m_utilityStreams.GetCount(); }
    int GetNumVaporStreams() const { return m_vaporStreams.GetCount(); }
    // Size of the item index space: vessels + connecting streams + floors.
    int GetNumDrawables() const { return GetNumVessels() + GetNumConnectingStreams() + GetNumFloors(); }

    // Access by position (0-based); null out of range.
    Plane* GetFloorByIndex(int i) const;
    Vessel* GetVesselByIndex(int i) const;
    Stream* GetStreamByIndex(int i) const;
    Stream* GetUniStreamByIndex(int i) const;
    // In ascending key order of the map.
    Stream* GetUtilStreamByIndex(int i) const;
    Stream* GetVaporStreamByIndex(int i) const;
    // The vessel's name, or empty out of range.
    CString GetVesselName(int i) const;
    // 1 out of range; otherwise whether the vessel is an inventory.
    int IsVesselInventory(int i) const;

    // Lookups (linear scans, first match wins; null when nothing matches)
    Vessel* FindVesselWithId(int id) const;
    Plane* FindPlaneWithId(int id) const;
    // The first connecting stream from vessel fromId to vessel toId.
    Stream* FindStreamWithVesselIds(long fromId, long toId) const;

    // Names, flags and host links
    CString GetName() const { return m_name; }
    void SetName(const CString& name) { m_name = name; }
    CString GetPlanName() const { return m_planName; }
    int IsModified() const { return m_modified; }
    // Sets the modified flag and tells the document; does nothing once the
    // facility has been loaded from a database.
    void MarkModified(int flag);
    int IsPlan() const { return m_isPlan; }
    void SetDocument(CDocument* document) { m_document = document; }
    void SetThreeDAnimCtrlCtrl(CThreeDAnimCtrlCtrl* control) { m_threeDControl = control; }
    void SetGanttChartCtrlCtrl(CGanttChartCtrlCtrl* control) { m_ganttControl = control; }
    void EnableMultiSelect(int enable) { m_multiSelect = enable; }
    int MultiSelectEnabled() const { return m_multiSelect; }
    void ZoomOnObjectMode(int mode) { m_zoomOnObject = mode; }
    int IsZoomOnObjectMode() const { return m_zoomOnObject; }
    void DebugPrint() {}
    // Runs Plane::FindVesselClusters on the first floor, if there is one.
    void DebugVesselCrawl();
    int GetFramesPerOp() const { return m_framesPerOp; }
    void SetFramesPerOp(int n) { m_framesPerOp = static_cast<short>(n); }
    // The equipment calendars; null until the first load.
    CFacilityCalendar* GetCalendar() const { return m_calendar.get(); }

    // Calls visit(Stream&) on every stream: the connecting streams, the uni
    // streams, then the utility and the vapor streams in ascending key
    // order (the order in which the clock sets them).
    template <class Visit> void ForEachStream(Visit&& visit) const { visitStreams(kAllStreams, visit); }

    // Steps of the run (the first step with a matching identifier answers)
    CString GetStepName(int stepID) const;
    CString GetStepKeyOutputName(int stepID) const;
    CString GetStepFacilityName(int stepID) const;
    // 1-based position of the step in load order, or 0.
    int GetStepOrder(int stepID) const;
    int GetNumSteps() const { return m_steps.GetCount(); }
    // The step at a position in load order; a default step out of range.
    StepInfo GetStepByIndex(int i) const;
    // Adds, for every vessel's procedure, 1 per (step, unit procedure) pair
    // it runs; `list` is not cleared first.
    void GetStepProcList(Hash<long, Hash<long, long>>& list) const;
    CString GetProcedureName(int stepID, int unitProcID) const;
    COleDateTime GetStartTime() const { return m_startTime; }
    COleDateTime GetSimulationTime() const { return m_simulationTime; }

    // Selection (events with dispatch identifier 1 go to the 3-D control)
    void ClearAllSelections();
    void SelectAll();
    void SelectAllFloors();
    void SelectAllVessels();
    void SelectAllPipes();
    void UpdateSelectionStatus();
    // The user clicked item `item` (1-based; 0 clears the selection).
    void AttachMouse(int item);
    int VesselSelected() const { return m_vesselSelected; }
    int PipeSelected() const { return m_pipeSelected; }
    int FloorSelected() const { return m_floorSelected; }
    int SceneSelected() const { return (m_vesselSelected || m_pipeSelected || m_floorSelected) ? 0 : 1; }
    // The one visible floor, else the one selected floor, else null.
    Plane* GetSelectedFloor() const;

    // Visibility, labels, pins
    int ShowVessels() const { return m_showVessels; }
    int ShowPipes() const { return m_showPipes; }
    int ShowStraightPipes() const { return m_showStraightPipes; }
    int ShowCrossFloorPipes() const { return m_showCrossFloorPipes; }
    int ShowFloors() const { return m_showFloors; }
    int ShowGlobalLabels() const { return m_showGlobalLabels; }
    void ToggleShowVessels() { m_showVessels = m_showVessels ? 0 : 1; }
    void ToggleShowPipes() { m_showPipes = m_showPipes ? 0 : 1; }
    void ToggleShowStraightPipes() { m_showStraightPipes = m_showStraightPipes ? 0 : 1; }
    void ToggleShowFloors() { m_showFloors = m_showFloors ? 0 : 1; }
    void ToggleGlobalLabels() { m_showGlobalLabels = m_showGlobalLabels ? 0 : 1; }
    void ShowCrossFloorPipes(int show) { m_showCrossFloorPipes = show; }
    void ShowAllLabels(int show);
    void ShowSelectedLabels(int show);
    void ShowSelectedVesselStreams(int show);
    void ToggleSelectedVesselPins();
    // Every floor with identifier floorID gets the visible flag; the first
    // argument is not used.
    void SetFloorVisible(int unused, int floorID, bool visible);

    // Colours
    // The colour every selected floor, vessel and connecting stream shows
    // once deselected.
    void SetSelectColor(int r, int g, int b);
    void SetSelectLabelColor(int r, int g, int b);
    void SetBackgroundCornerColor(BackCorner corners, int r, int g, int b);
    void SetBackgroundCornerColor(BackCorner corners, int rgb);
    // 0x00RRGGBB of one corner; 0 unless `corner` is exactly 1, 2, 4 or 8.
    int GetBackgroundCornerColor(BackCorner corner) const;
    int IsBackgroundSolid() const;

    // Floor editing
    // The floor with identifier id, created when there is none (a negative
    // id takes a new identifier of at least 100).
    Plane* CreateNewFloor(int id, CString name, int plantID, CString plantName);
    void DeleteSelectedFloors();
    void MoveSelectedVesselsUp();
    void MoveSelectedVesselsDown();
    Plane* GetHigherFloor(Plane* floor) const { return getNextFloor(floor, false); }
    Plane* GetLowerFloor(Plane* floor) const { return getNextFloor(floor, true); }

    // Item text
    // 0-based over the item index space, plus one extra item behind the
    // floors ("6-foot Dude"); empty for any other index.
    CString GetItemName(int index) const;
    // 1-based; 1 and the texts for a vessel or a connecting stream, else 0
    // with the texts untouched.
    int GetInfoForBox(int item, CString& name, CString& procedures, CString& capacity) const;

    // Animation clock over simulated seconds from the run's start. Without
    // a timeline (before the first InitAnim) the setting operations do
    // nothing, GetAnimationTime gives 0, and Animate and AnimBoundaryReached
    // give 1.
    // Builds the timeline from the vessels' and connecting streams' operation
    // times once; later calls do nothing.
    void InitAnim();
    // InitAnim(), then the direction of Animate and AnimBoundaryReached.
    void InitAnim(AnimDirection direction);
    AnimDirection GetAnimDirection() const { return m_animDirection; }
    // One frame step in the current direction; time and last time come back.
    // 1 when the clock now stands on a time point.
    int Animate(int& time, int& lastTime);
    // 1 when the next step in the current direction would leave the timeline.
    int AnimBoundaryReached() const;
    // Moves the clock to t and sets every vessel and stream to t.
    void SetAnimationTime(long t);
    // Moves the clock to the fraction r (0..1) of the last time; vessels and
    // streams are left as they are.
    void SetRelativeAnimationTime(double r);
    // Sets every vessel and stream to time 0 and the clock to 0.
    void ResetTime();
    long GetAnimationTime();
    // The greatest time of the animation clock (the end of the last
    // operation); 0 before InitAnim.
    long GetLastAnimationTime() const;
    // Clears the selections and sets everything to the clock's time, which
    // comes back in `time`; appends to `ops` every running operation text of
    // the vessels that is not in it yet.
    void SetCurrentAnimationParams(long& time, CString& ops);

    // Loading (3-D view)
    // Loads the plan, steps, equipment, process, utility and vapor streams,
    // their contents and the calendars from an open results database;
    // `second` is not used. Nothing for a null database. A facility that
    // already holds a loaded model refuses with a message and is left as it
    // is. CFacilityAbort (no steps) and database errors reach the caller.
    void ReadVisioDatabase(CDaoDatabase* db, CDaoDatabase* second = nullptr);

    // Layout
    // Lays out the floor's vessels afresh with the layout wizard: clears their
    // placement, places them, marks the facility modified. Nothing for null.
    void LayoutFloor(Plane* p);
    // One iteration of the force-directed arrangement on the selected floor.
    void IncrementVesselPositions();
    // Computes the force requests on every floor without moving anything.
    void DistributeSelectedFloor();

protected:
    // The layout wizard (see LayoutFloor). Vessel indices are positions in
    // the facility's vessel list.
    void CalculateLayout(Plane* p);
    // Places the most connected candidate at the floor's centre; its index,
    // or -1 when no vessel of the floor is left to place.
    int SetCenter(Plane* p);
    void PlaceChildVessels(int i, int depth, Plane* p);
    int AllChildVesselsAssigned(int i, Plane* p);
    void AssignVesselPosition(int n, int* streams, int i, int depth, StreamDir side);
    // Finds n free directions around vessel i, records them, and returns
    // `out` (which must hold n values), or null on failure.
    double* GetAngleList(int i, int tag, double* out, int n, StreamDir side);
    void MoveInventoryLocations();
    void SelectUnplacedVessels(Plane* p);

    // Factory operations: a host overrides them to create its own classes.
    // The caller puts the result into the right collection.
    virtual Vessel* addVessel(const CString& name);
    virtual Plane* addPlane();
    virtual void deletePlane(Plane* plane);
    virtual Stream* addStream();

    void init();
    // Destroys every floor, vessel and stream, the timeline and the
    // calendar. Only the destructor calls it.
    void deallocate();

    // Hand an object a factory made to the facility, which owns it from
    // then on; for a host that builds its model itself rather than loading
    // one. A stream goes by its kind: connecting to the connecting list,
    // feed and product to the uni list, utility under the served vessel's
    // identifier, vapor under TwoKey of its ends. Null is ignored.
    void adoptFloor(Plane* floor);
    void adoptVessel(Vessel* vessel);
    void adoptStream(Stream* stream);
    // The animation clock; null before InitAnim.
    const AnimTimeline* timeline() const { return m_timeline.get(); }
    // As a load would leave them, for a model built by hand.
    void setStartTime(const COleDateTime& t) { m_startTime = t; }
    void markLoadedFromDatabase() { m_loadedFromDatabase = 1; }

    // Counts and unchecked-by-contract positional access. Out of range they
    // yield a reference to a null placeholder of this facility (reset on
    // every such call), never memory outside the collections.
    int getNumPlanes() const { return m_floors.GetCount(); }
    int getNumStreams() const { return m_streams.GetCount(); }
    int getNumUniStreams() const { return m_uniStreams.GetCount(); }
    int getNumUtilStreams() const { return m_utilityStreams.GetCount(); }
    int getNumVaporStreams() const { return m_vaporStreams.GetCount(); }
    Plane*& getPlane(int i);
    Stream*& getStream(int i);
    Stream*& getUniStream(int i);
    Stream*& getUtilStream(int i);
    Stream*& getVaporStream(int i);
    Plane*& getLastPlane();
    Stream*& getLastStream();
    Stream*& getLastUniStream(int unused);

    Plane* getFloorWithPlantID(int plantID) const;
    // Key of a vessel pair by the vessels' positions (the last vessel with
    // each identifier); used to merge vapor rows into one stream per pair.
    long TwoKey(int fromId, int toId) const;

    Plane* getNextFloor(Plane* floor, bool lower) const;

    // Loading of the plan and step summaries.
    void loadPlanSummary(CDaoDatabase* db);
    // Throws CFacilityAbort (after telling the user) when there are no steps.
    void loadStepSummary(CDaoDatabase* db);
    // Replaces the calendar with the database's calendars.
    void loadCalendars(CDaoDatabase* db);

    // Loaders of equipment, streams and contents (3-D view); each opens one
    // query on `db` and walks it once.
    void loadEquipmentSet(CDaoDatabase* db);
    void loadBasicEquipConts(CDaoDatabase* db);
    // Process streams among the vessels from position firstVessel on.
    void loadStreamSet(CDaoDatabase* db, int firstVessel);
    void loadUtilityStreams(CDaoDatabase* db);
    void loadVaporStreams(CDaoDatabase* db);
    void loadStreamContents(CDaoDatabase* db);
    void loadUtilityContents(CDaoDatabase* db);
    void loadVaporContents(CDaoDatabase* db);
    // Loaders of the schedule view: equipment and its own operations, with
    // buffer tanks created only when they have operations.
    void loadEquipmentSetForGanttChart(CDaoDatabase* db);
    void loadBasicEquipContsForGanttChart(CDaoDatabase* db);
    void loadBufferTankEquipAndContents(CDaoDatabase* db);
    // Creates the vessel of an equipment row on the floor of its plant
    // (created when the plant has none yet) and appends it to the vessels.
    Vessel* addVesselFromRow(CDaoEquipmentSet& row);
    // Whether a load has already put steps, vessels or calendars here; a
    // second load is then refused (with a message when `tell`).
    bool holdsLoadedModel(bool tell) const;

    // Stream::SetPropertiesByTime on the connecting, uni, utility and vapor
    // streams, in that order.
    void setStreamTimes(int t);

    // Fires the selection event into the 3-D control, if one is attached.
    void fireSelectionEvent(short kind);
    void selectAllOf(bool vessels, bool pipes, bool floors);

private:
    friend class LayoutScope;

    // The stream collections, as bits, for visitStreams.
    enum StreamSets : unsigned {
        kConnecting = 1,
        kUni = 2,
        kUtility = 4,
        kVapor = 8,
        kAllStreams = 15,
    };
    // visit(Stream&) on every stream of the chosen collections, in the
    // order of ForEachStream; null entries are skipped.
    template <class Visit> void visitStreams(unsigned sets, Visit& visit) const
    {
        if (sets & kConnecting)
            for (int i = 0; i < m_streams.GetCount(); ++i)
                if (Stream* s = m_streams.GetAt(i)) visit(*s);
        if (sets & kUni)
            for (int i = 0; i < m_uniStreams.GetCount(); ++i)
                if (Stream* s = m_uniStreams.GetAt(i)) visit(*s);
        if (sets & kUtility)
            for (int i = 0; i < m_utilityStreams.GetCount(); ++i)
                if (Stream* s = m_utilityStreams.GetAt(i)) visit(*s);
        if (sets & kVapor)
            for (int i = 0; i < m_vaporStreams.GetCount(); ++i)
                if (Stream* s = m_vaporStreams.GetAt(i)) visit(*s);
    }
    // The streams of the chosen collections, in that order.
    std::vector<Stream*> streamsOf(unsigned sets) const;

    int m_multiSelect = 0;
    int m_zoomOnObject = 0;
    int m_vesselSelected = 0;
    int m_pipeSelected = 0;
    int m_floorSelected = 0;
    int m_modified = 0;
    int m_isPlan = 0;
    // Set by the first InitAnim(AnimDirection); forward until then.
    AnimDirection m_animDirection = Forward;
    short m_framesPerOp = 5;
    List<StepInfo> m_steps;
    CString m_planName;
    // The animation clock, created by the first InitAnim.
    std::unique_ptr<AnimTimeline> m_timeline;
    // The layout wizard's scratch state while a LayoutScope is open (during
    // CalculateLayout); it belongs to the scope.
    LayoutScope* m_layoutScope = nullptr;
    CDocument* m_document = nullptr;
    COleDateTime m_startTime;
    COleDateTime m_simulationTime;
    CString m_name;
    int m_showVessels = 1;
    int m_showPipes = 1;
    int m_showStraightPipes = 0;
    int m_showCrossFloorPipes = 1;
    int m_showFloors = 1;
    int m_showGlobalLabels = 1;
    int m_loadedFromDatabase = 0;
    List<Plane*> m_floors;
    List<Vessel*> m_vessels;
    List<Stream*> m_streams;
    List<Stream*> m_uniStreams;
    Hash<long, Stream*> m_utilityStreams;
    Hash<long, Stream*> m_vaporStreams;
    std::unique_ptr<CFacilityCalendar> m_calendar;
    // Red, green, blue of the corners 2, 8, 4 and 1, in that order.
    unsigned char m_backCorners[4][3] = {};
    CThreeDAnimCtrlCtrl* m_threeDControl = nullptr;
    CGanttChartCtrlCtrl* m_ganttControl = nullptr;
    Plane* m_nullPlane = nullptr;
    Stream* m_nullStream = nullptr;
};

} // namespace batchplant

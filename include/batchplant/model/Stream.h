#pragma once
// A pipe of the 3-D view: a transfer line between two vessels, or a short
// stub on one vessel for a feed from outside, a product leaving, a utility
// serving it or a vapor emission. It owns the procedure of the transfers
// that run through it; its vessels belong to the facility.

#include <memory>

#include "batchplant/model/LayeredColour.h"
#include "batchplant/platform/CString.h"

namespace batchplant {

class Vessel;
class CProcedure;
class CDaoStreamSet;

// A pipe or a stub of the 3-D view (described at the top of Stream.h).
class Stream {
public:
    // Kind bits, tested bit by bit. A vapor stream that connects two vessels
    // is Vapor | Connecting (17). Every kind that is not connecting holds its
    // one vessel at both ends.
    enum StreamType : int { Connecting = 1, Input = 2, Output = 4, Utility = 8, Vapor = 16 };

    Stream();
    // Takes StreamID, FromEquipmentID and ToEquipmentID of the row (0 or null
    // becomes -1), then Init.
    Stream(CDaoStreamSet* row, Vessel* input, Vessel* output, StreamType kind);
    // Virtual so that a host's own stream class, made by its own
    // Facility::addStream, is destroyed whole by the facility.
    virtual ~Stream();
    // A stream owns its procedure; copies would delete it twice.
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // Registers the stream with both vessels (a null vessel is skipped),
    // sizes it and gives it an empty procedure.
    void Init(long id, long fromId, long toId, Vessel* input, Vessel* output, StreamType kind);

    // Queries
    long GetID() const { return m_id; }
    int GetFromID() const { return static_cast<int>(m_fromID); }
    int GetToID() const { return static_cast<int>(m_toID); }
    StreamType GetType() const { return m_kind; }
    CProcedure* GetProc() const { return m_procedure.get(); }
    double GetRadius() const { return m_radius; }
    // Null for an input stream (it has no source vessel).
    Vessel* GetInputVessel() const;
    // Null for an output stream (it has no destination vessel).
    Vessel* GetOutputVessel() const;
    // The vessel at the other end from v; null if the stream is not
    // connecting.
    Vessel* GetOtherVessel(const Vessel* v) const;
    int IsInputVessel(const Vessel* v) const { return (m_input == v) ? 1 : 0; }
    int IsOutputVessel(const Vessel* v) const { return (m_output == v) ? 1 : 0; }
    int IsConnecting() const { return (m_kind & Connecting) ? 1 : 0; }
    int IsInput() const { return (m_kind & Input) ? 1 : 0; }
    int IsOutput() const { return (m_kind & Output) ? 1 : 0; }
    int IsUtility() const { return (m_kind & Utility) ? 1 : 0; }
    int IsVapor() const { return (m_kind & Vapor) ? 1 : 0; }
    int IsInUse() const { return m_flowing; }
    // 1 if the two vessels stand on different floors.
    int IsCrossFloor() const;
    // Connecting, and both vessels visible with their connections shown.
    int IsConnectingAndDrawable() const;
    // "[<input vessel>] to [<output vessel>]".
    CString GetName() const;
    // "Connection: [<input vessel>] to [<output vessel>]".
    CString GetFullName() const;
    CString PrintProcs() const;
    // The running transfer's text, set by SetPropertiesByTime.
    CString GetCurrentOp() const { return m_currentOp; }

    // Radius
    void SetRadius(double r) { m_radius = r; }
    // Grows by 5 percent for d > 0, else shrinks by 5 percent; never to
    // 0.01 or below.
    void IncrementRadius(double d);

    // View state
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
    void GetCurrentColor(double& r, double& g, double& b, double& a) const;

    // Flow state (read by the host while animating)
    double GetFlowFraction() const { return m_flowFraction; }
    double GetFlowPosition() const { return m_flowPosition; }
    double GetSegmentStart() const { return m_segmentStart; }
    double GetSegmentEnd() const { return m_segmentEnd; }
    double GetPathLength() const { return m_pathLength; }
    int GetFlowFrames() const { return m_flowFrames; }
    long GetCurrentTime() const { return m_currentTime; }
    // Colour of the material drawn moving in the pipe, as fractions.
    void GetContentsColor(double& r, double& g, double& b, double& a) const;
    // Takes the contents colour of the batch running now (set_conts_color),
    // which SetPropertiesByTime leaves to the host.
    void TakeContentsColour() { set_conts_color(); }

    // Time-driven state
    // Sets the running transfer's text and switches the flow on or off from
    // what the procedure runs at t.
    void SetPropertiesByTime(long t);
    // Starts the flow (frame count 0), or counts one more frame of a flow
    // already running.
    void EnableFlow();
    void DisableFlow() { m_flowing = 0; }
    // Slug position, limited to -1.0 .. 2.0 (a NaN gives -1.0).
    void SetFlow(double position);
    // Slug length as a fraction of the path, limited to 0.0 .. 1.0 (a NaN
    // gives 0.0), then the position as SetFlow(position).
    void SetFlow(double position, double fraction);
    void IncrementFlowPos(double d) { SetFlow(m_flowPosition + d); }

protected:
    void init();
    void printvars() {}
    // Start point (x1, y1, z1) and end point (x2, y2, z2) of the drawn path;
    // left as they are for a kind without a path or a missing vessel.
    void get_ves_coords(double* x1, double* y1, double* z1, double* x2, double* y2, double* z2) const;
    // Places the slug on the path: path length and segment start and end
    // from the flow position and fraction.
    void setflow();
    // Contents colour of the batch running now; vapor streams green, utility
    // streams white.
    void set_conts_color();

    StreamType m_kind = Connecting;
    long m_currentTime = 0;
    // As in Vessel: the batch at m_currentTime once SetPropertiesByTime ran.
    long m_currentBatch = 0;
    bool m_batchKnown = false;
    double m_pathLength = 0.0;
    long m_id = 0;
    long m_fromID = -1;
    long m_toID = -1;
    Vessel* m_input = nullptr;
    Vessel* m_output = nullptr;
    std::unique_ptr<CProcedure> m_procedure;
    int m_flowFrames = 0;
    double m_radius = 0.5 / 3.0;
    int m_drawingNumbers[2] = {8, 2};
    CString m_currentOp;
    unsigned char m_labelColour[3] = {255, 255, 255};
    LayeredColour m_colour{0.7, 0.7, 0.7};
    double m_alpha = 0.7;
    double m_contentsColour[4] = {1.0, 0.0, 0.0, 1.0};
    int m_highlighted = 0;
    int m_flowing = 0;
    double m_flowFraction = 0.0;
    double m_flowPosition = -1.0;
    double m_segmentStart = 0.0;
    double m_segmentEnd = 0.0;
};

constexpr Stream::StreamType operator|(Stream::StreamType a, Stream::StreamType b)
{
    return static_cast<Stream::StreamType>(static_cast<int>(a) | static_cast<int>(b));
}

} // namespace batchplant

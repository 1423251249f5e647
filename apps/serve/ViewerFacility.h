#pragma once
// The viewer's own facility and vessel classes, made through the facility's
// factory operations: a vessel that takes its contents colour whenever it is
// set to a time and remembers whether a reaction runs, and a facility that
// can tell the end of its animation clock.

#include <memory>
#include <string>

#include "../PlanLayout.h"
#include "batchplant/model/Stream.h"
#include "batchplant/model/Vessel.h"

namespace batchplant::serve {

class ViewerVessel : public Vessel {
public:
    void SetPropertiesByTime(long t) override;
    bool IsReacting() const { return m_reacting; }

protected:
    void EnableReact() override { m_reacting = true; }
    void DisableReact() override { m_reacting = false; }

private:
    bool m_reacting = false;
};

class ViewerStream : public Stream {
public:
    // Start point (x, y, z) and end point (x, y, z) of the drawn path into
    // `out`; entries stay as they are for a stream without its vessels.
    void PathEnds(double out[6]) const { get_ves_coords(out, out + 1, out + 2, out + 3, out + 4, out + 5); }
};

class ViewerFacility : public cli::PlanFacility {
public:
    // Sets every vessel and stream to the clock's time, as after a step of
    // the clock, leaving the selection as it is.
    void ShowClockTime();

    // Opens the results database at `path` read-only and loads the 3-D view,
    // then lays out every floor and starts the clock at 0. Null with `error`
    // set when the file cannot be read as a run.
    static std::unique_ptr<ViewerFacility> Load(const std::string& path, std::string& error);

protected:
    Vessel* addVessel(const CString& name) override;
    Stream* addStream() override;
};

} // namespace batchplant::serve

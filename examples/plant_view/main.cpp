// A 3-D host in miniature: loads the plant of a results database, lays out
// every floor with the layout wizard and steps the animation clock through
// the run, printing per frame what a 3-D view would draw: each vessel's
// level, heating, cooling, reaction and contents colour, and each stream
// that flows. Usage: plant_view RESULTS.db [--frames N]. Exit codes: 0 done,
// 1 the output could not be written, 2 bad arguments or no run to show.
#include <batchplant/batchplant.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace batchplant;

namespace {

// The host's vessel, made by the facility through its factory: the library
// reports a reaction only through the two hooks and leaves the contents
// colour to the host, which takes it whenever the vessel is set to a time.
class HostVessel : public Vessel {
public:
    void SetPropertiesByTime(long t) override
    {
        Vessel::SetPropertiesByTime(t);
        set_conts_color();
    }
    bool IsReacting() const { return m_reacting; }

protected:
    void EnableReact() override { m_reacting = true; }
    void DisableReact() override { m_reacting = false; }

private:
    bool m_reacting = false;
};

class HostFacility : public Facility {
protected:
    Vessel* addVessel(const CString&) override { return new HostVessel(); }
};

std::string hex(double r, double g, double b)
{
    auto channel = [](double c) { return static_cast<int>(std::lround(std::clamp(c, 0.0, 1.0) * 255.0)); };
    return CString::Formatted("#%02X%02X%02X", channel(r), channel(g), channel(b)).str();
}

void printStream(Stream& s)
{
    if (!s.IsInUse()) return;
    // Stream::SetPropertiesByTime leaves the contents colour to the host.
    s.TakeContentsColour();
    double r, g, b, a;
    s.GetContentsColor(r, g, b, a);
    const char* kind = s.IsVapor() ? "vapor" : s.IsUtility() ? "utility" : s.IsConnecting() ? "pipe" : "stub";
    std::printf("  %-7s %s %s: %s\n", kind, s.GetName().c_str(), hex(r, g, b).c_str(), s.GetCurrentOp().c_str());
}

} // namespace

int main(int argc, char** argv)
{
    char* end = nullptr;
    const bool given = argc == 4 && std::string(argv[2]) == "--frames";
    const long frames = given ? std::strtol(argv[3], &end, 10) : 10;
    if (argc != (given ? 4 : 2) || (end && *end) || frames < 1 || frames > 100000) {
        std::fprintf(stderr, "usage: plant_view RESULTS.db [--frames N (1 or more)]\n");
        return 2;
    }

    // The library tells the user of problems through message boxes; a batch
    // host sends them to stderr and answers as the default does.
    SetMessageBoxHandler([](const CString& text, unsigned type) {
        std::fprintf(stderr, "plant_view: message: %s\n", text.c_str());
        return DefaultMessageBoxAnswer(type);
    });

    // The facility owns every floor, vessel and stream it makes and deletes
    // them when it goes; the host only keeps pointers to look at them.
    HostFacility facility;
    try {
        CDaoDatabase db;
        db.Open(CString(argv[1]), false, true); // read-only
        facility.ReadVisioDatabase(&db);
        // The facility keeps nothing of the database object: it may go now.
    } catch (const CDaoException& e) {
        std::fprintf(stderr, "plant_view: cannot read %s: %s\n", argv[1], e.GetDescription().c_str());
        return 2;
    } catch (const CFacilityAbort&) {
        std::fprintf(stderr, "plant_view: %s holds no process steps\n", argv[1]);
        return 2;
    }
    if (facility.GetNumVessels() == 0) {
        std::fprintf(stderr, "plant_view: %s holds no equipment\n", argv[1]);
        return 2;
    }

    std::printf("%s: %d floors, %d vessels, %d pipes\n", facility.GetPlanName().c_str(), facility.GetNumFloors(),
                facility.GetNumVessels(), facility.GetNumConnectingStreams());
    for (int f = 0; f < facility.GetNumFloors(); ++f) {
        Plane* floor = facility.GetFloorByIndex(f);
        facility.LayoutFloor(floor);
        std::printf("floor %s (%s):", floor->GetName().c_str(), floor->GetPlantName().c_str());
        for (int i = 0; i < floor->GetNumVessels(); ++i) {
            const Vessel* v = floor->GetVesselByIndex(i);
            std::printf(" %s%s", v->GetName().c_str(),
                        v->GetPositionFlag() ? CString::Formatted("@(%.1f,%.1f)", v->GetX(), v->GetY()).c_str() : "");
        }
        std::printf("\n");
    }

    facility.InitAnim(Facility::Forward);
    const long last = facility.GetLastAnimationTime();
    for (long k = 0; k < frames; ++k) {
        // Frames spread evenly from the start to the last operation's end.
        const long t = frames == 1 ? 0 : static_cast<long>(static_cast<double>(last) * k / (frames - 1));
        facility.SetAnimationTime(t);
        const COleDateTime when = facility.GetStartTime() + COleDateTimeSpan(t / 86400.0);
        std::printf("\nframe %ld: t = %ld s (%s)\n", k, t, when.Format("%Y-%m-%d %H:%M").c_str());
        for (int i = 0; i < facility.GetNumVessels(); ++i) {
            auto* v = static_cast<HostVessel*>(facility.GetVesselByIndex(i));
            double r, g, b, a;
            v->GetContentsColor(r, g, b, a);
            // The colour is the batch's that runs now; an idle vessel keeps the last one.
            std::printf("  %-24s level %5.1f%%%s%s%s%s batch %ld %s\n", v->GetName().c_str(), 100.0 * v->GetVolume(),
                        v->IsOverflowing() ? " overflowing" : "", v->IsHeating() ? " heating" : "",
                        v->IsCooling() ? " cooling" : "", v->IsReacting() ? " reacting" : "",
                        v->GetProc()->GetCurrentBatchNum(t), hex(r, g, b).c_str());
        }
        // Every stream: pipes, feeds and products, utilities, vapors.
        facility.ForEachStream(printStream);
    }
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "plant_view: cannot write the output\n");
        return 1;
    }
    return 0;
}

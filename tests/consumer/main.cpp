// Links against the installed library and uses it as a viewer would:
// writes a sample results database, loads the schedule view from it and
// counts the bars.
#include <batchplant/batchplant.h>

#include <cstdio>
#include <filesystem>

int main()
{
    namespace fs = std::filesystem;
    const fs::path db = fs::temp_directory_path() / "batchplant-consumer-sample.db";
    fs::remove(db);
    batchplant::GenerateSampleDatabase(db);

    batchplant::GanttFacility gantt;
    if (!gantt.ReadGanttDatabase(batchplant::CString(db.string()))) {
        std::fprintf(stderr, "could not load %s\n", db.c_str());
        return 1;
    }
    long bars = 0;
    for (int v = 0; v < gantt.GetNumSchedVessels(); ++v)
        bars += gantt.GetNumTimeBlocks(v);
    std::printf("%d scheduled vessels, %ld time blocks\n", gantt.GetNumSchedVessels(), bars);
    fs::remove(db);
    return gantt.GetNumSchedVessels() > 0 && bars > 0 ? 0 : 1;
}

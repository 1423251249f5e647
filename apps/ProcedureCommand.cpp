// `batchplant procedure DB EQUIPMENT-TAG [--at TIME]` loads the operations
// of one piece of equipment from a results database into a procedure and
// prints its timeline, one line per operation with its batch and dates; with --at, also the
// operations running at that simulated time and the vessel's contents
// volume then, in the unit of the vessel's capacity.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "Command.h"
#include "render/Html.h"
#include "render/Load.h"
#include "render/TimeArg.h"
#include "batchplant/db/EquipmentRecordsets.h"
#include "batchplant/foundation/Units.h"
#include "batchplant/procedure/CProcedure.h"

namespace batchplant::cli {
namespace {

struct ProcedureOptions {
    std::string db;
    std::string tag;
    std::string at;
    bool hasAt = false;
};

// The library writes "\r\n" line ends for the hosts' text boxes; a terminal
// wants "\n".
std::string forTerminal(const CString& text)
{
    std::string out;
    out.reserve(text.str().size());
    for (char c : text.str()) {
        if (c != '\r') out += c;
    }
    return out;
}

struct Equipment {
    long id = 0;
    CString capacityUOM;
};

// The first equipment row with that tag; an exact match wins over one that
// differs only in case.
std::optional<Equipment> findEquipment(CDaoDatabase& db, const CString& tag)
{
    CDaoEquipmentSet rs(&db);
    rs.Open();
    std::optional<Equipment> caseless;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        if (rs.m_QLTag == tag) return Equipment{rs.m_EquipmentID, rs.m_CapacityUOM};
        if (!caseless && rs.m_QLTag.CompareNoCase(tag) == 0) caseless = Equipment{rs.m_EquipmentID, rs.m_CapacityUOM};
    }
    return caseless;
}

int runProcedure(const ProcedureOptions& o)
{
    std::optional<long> at;
    if (o.hasAt) {
        at = ParseTimeArg(o.at);
        if (!at) {
            std::fprintf(stderr,
                         "batchplant procedure: bad time \"%s\": give a number of seconds or a number with a time "
                         "unit (s, min, h, day, week, month, year), e.g. 5h or 90min\n",
                         o.at.c_str());
            return kBadInput;
        }
    }

    CProcedure procedure;
    CString capacityUOM;
    COleDateTime runStart;
    runStart.SetStatus(COleDateTime::invalid);
    if (!CheckResults("procedure", o.db)) return kBadInput;
    try {
        CDaoDatabase db;
        db.Open(CString(o.db), false, true);
        const std::optional<Equipment> equipment = findEquipment(db, CString(o.tag));
        if (!equipment) {
            std::fprintf(stderr,
                         "batchplant procedure: no equipment tagged \"%s\" in %s (batchplant query %s "
                         "CDaoEquipmentSet lists the tags)\n",
                         o.tag.c_str(), o.db.c_str(), o.db.c_str());
            return kBadInput;
        }
        capacityUOM = equipment->capacityUOM;
        CDaoPlanSummary plan(&db);
        plan.Open();
        if (!plan.IsEOF()) runStart = plan.m_StartDateTime;
        CDaoEquipConts rows(&db);
        rows.Open();
        for (; !rows.IsEOF(); rows.MoveNext()) {
            if (rows.m_EquipmentID == equipment->id) procedure.AddNewProc(rows);
        }
    } catch (const CDaoException& e) {
        std::fprintf(stderr, "batchplant procedure: cannot read %s: %s\n", o.db.c_str(), e.GetDescription().c_str());
        return kBadInput;
    }

    // The library's line of each operation, after its batch and its real
    // dates (the plan's start plus the elapsed time).
    const std::string printed = forTerminal(procedure.PrintProcs());
    std::size_t from = 0;
    for (int i = 0; i < procedure.GetNumProcs() && from < printed.size(); ++i) {
        const std::size_t eol = printed.find('\n', from);
        const CProcUnit& u = procedure.GetProcUnit(i);
        std::printf("batch %-4ld %s to %s  %s\n", u.GetBatchNum(), FormatRunTime(runStart, u.GetStart()).c_str(),
                    FormatRunTime(runStart, u.GetEnd()).c_str(), printed.substr(from, eol - from).c_str());
        from = eol == std::string::npos ? printed.size() : eol + 1;
    }
    if (at) {
        std::printf("\nRunning at %s:\n", CProcedure::FormatTime(*at).c_str());
        const CString running = procedure.PrintOps(*at);
        std::fputs(running.IsEmpty() ? "(nothing)\n" : forTerminal(running).c_str(), stdout);
        // Volumes are shown in the capacity's unit; without a usable one, in
        // the internal cubic metres.
        const CString unit = FindUnit(capacityUOM) >= 0 ? capacityUOM : CString("Cubic m");
        std::printf("Volume: %s\n", FormatQuantity(procedure.GetVolume(*at), unit).c_str());
    }
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "batchplant procedure: cannot write the output\n");
        return kFailure;
    }
    return kOk;
}

const bool registered = registerCommand(
    "procedure", "Print the timeline of one piece of equipment, and what runs in it at a time", [](CLI::App& sub) {
        auto o = std::make_shared<ProcedureOptions>();
        sub.add_option("db", o->db, "The results database")->required();
        sub.add_option("tag", o->tag, "The equipment's tag, e.g. R-101")->required();
        CLI::Option* at = sub.add_option("--at", o->at, "A simulated time: seconds, or with a unit (5h, 90min, 3600s)");
        return Runner([o, at] {
            o->hasAt = at->count() > 0;
            return runProcedure(*o);
        });
    });

} // namespace
} // namespace batchplant::cli

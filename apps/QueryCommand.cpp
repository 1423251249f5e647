// batchplant query DB RECORDSET [--param name=value …] | --list
// Prints the rows one recordset yields on a results database as CSV, with a
// header of its bound column names; null columns are empty fields.

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Command.h"
#include "render/Load.h"
#include "db/RecordsetCatalog.h"

namespace batchplant::cli {
namespace {

// RFC 4180 quoting: a field with a comma, quote, CR or LF is quoted, and
// quotes inside it doubled.
void writeField(std::string& line, const std::string& value)
{
    if (value.find_first_of(",\"\r\n") == std::string::npos) {
        line += value;
        return;
    }
    line += '"';
    for (char c : value) {
        if (c == '"') line += '"';
        line += c;
    }
    line += '"';
}

// What each recordset's rows are, in a few words.
const char* describe(const std::string& name)
{
    static const std::pair<const char*, const char*> words[] = {
        {"CDaoEquipmentSet", "each piece of equipment: class, tag, capacity, plant, calendar"},
        {"CDaoPlanSummary", "the production plan: name, start, steps and batches"},
        {"CDaoStepSummary", "each process step of the plan, with its plant and key output"},
        {"CDaoEquipConts", "each operation in each vessel, with its contents' volume and temperature"},
        {"CDaoEquipmentContents", "vessel contents over time by material and phase"},
        {"CDaoEquipmentProperties", "vessel contents' temperature, pressure and averages over time"},
        {"CDaoPhaseComponents", "the components of each thermodynamic phase"},
        {"CDaoThermodynamicPhase", "the phases of streams, contents, utilities and emissions"},
        {"CDaoStreamSet", "each material transfer between equipment"},
        {"CDaoUtilitySummary", "each utility use (heating, cooling) of an operation"},
        {"CDaoVaporSummary", "each vapor emission"},
        {"CDaoStreamContents", "the materials of each stream"},
        {"CDaoUtilityContents", "the materials of each utility use"},
        {"CDaoVaporContents", "the materials of each vapor emission"},
        {"CDaoBufferTankContents", "buffer tank contents over time"},
        {"CDaoCompositeStream", "streams into, out of and between inventory locations, by material"},
        {"CDaoCompVapor", "vapor emissions by source and material, for the profiles"},
        {"CDaoCompositeLabor", "labor per operation and grade, for the profiles"},
        {"DaoUtilityComposite", "utility uses per equipment, for the profiles"},
    };
    for (const auto& [n, w] : words)
        if (name == n) return w;
    return "";
}

int runQuery(const std::string& dbPath, const std::string& recordsetName, const std::vector<std::string>& params,
             bool list)
{
    if (list) {
        for (const RecordsetCatalogEntry& e : RecordsetCatalog())
            std::printf("%-24s %s\n", e.name, describe(e.name));
        return kOk;
    }
    if (dbPath.empty() || recordsetName.empty()) {
        std::fprintf(stderr, "batchplant query: give a database and a recordset name (or --list)\n");
        return kBadInput;
    }
    std::unique_ptr<CDaoRecordset> rs = CreateRecordset(CString(recordsetName));
    if (!rs) {
        std::fprintf(stderr, "batchplant query: unknown recordset '%s' (--list names them)\n", recordsetName.c_str());
        return kBadInput;
    }
    if (!CheckResults("query", dbPath, false)) return kBadInput;
    try {
        for (const std::string& p : params) {
            const std::size_t eq = p.find('=');
            if (eq == std::string::npos || eq == 0) {
                std::fprintf(stderr, "batchplant query: --param needs name=value, not '%s'\n", p.c_str());
                return kBadInput;
            }
            rs->SetParamValue(CString(p.substr(0, eq)), CString(p.substr(eq + 1)));
        }
        CDaoDatabase db;
        db.Open(CString(dbPath), false, true);
        rs->m_pDatabase = &db;
        rs->Open();

        const int n = rs->GetBoundFieldCount();
        std::string line;
        for (int i = 0; i < n; ++i) {
            CDaoFieldInfo info;
            rs->GetFieldInfo(i, info);
            if (i) line += ',';
            writeField(line, info.m_strName.str());
        }
        line += '\n';
        std::fputs(line.c_str(), stdout);
        while (!rs->IsEOF()) {
            line.clear();
            for (int i = 0; i < n; ++i) {
                if (i) line += ',';
                writeField(line, rs->GetFieldText(i).str());
            }
            line += '\n';
            if (std::fputs(line.c_str(), stdout) == EOF) {
                std::fprintf(stderr, "batchplant query: cannot write the output\n");
                return kFailure;
            }
            rs->MoveNext();
        }
        rs->Close();
    } catch (const CDaoException& e) {
        std::fprintf(stderr, "batchplant query: %s\n", e.GetDescription().c_str());
        return kBadInput;
    }
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "batchplant query: cannot write the output\n");
        return kFailure;
    }
    return kOk;
}

const bool registered = registerCommand(
    "query", "Print the rows of one recordset of a results database as CSV", [](CLI::App& sub) -> Runner {
        auto dbPath = std::make_shared<std::string>();
        auto name = std::make_shared<std::string>();
        auto params = std::make_shared<std::vector<std::string>>();
        auto list = std::make_shared<bool>(false);
        sub.add_option("DB", *dbPath, "Results database file");
        sub.add_option("RECORDSET", *name, "Recordset class name, e.g. CDaoStreamSet");
        sub.add_option("--param", *params, "Parameter value as name=value (e.g. pid=3); may be repeated")
            ->allow_extra_args(false);
        sub.add_flag("--list", *list, "List the recordsets and what their rows are, and exit");
        return [=] { return runQuery(*dbPath, *name, *params, *list); };
    });

} // namespace
} // namespace batchplant::cli

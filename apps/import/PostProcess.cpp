#include "PostProcess.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <sstream>

#include "batchplant/db/ResultsSchema.h"

namespace batchplant::cli::importer {

const std::vector<QueryColumns>& resultsQueryColumns()
{
    // Every column that the recordsets' SQL texts name, per table, including
    // the columns used only to join, filter or order. The saved queries'
    // own columns are added from their texts in the schema at run time.
    static const std::vector<QueryColumns> list = {
        {"EquipmentSummary", "EquipmentID Category EquipmentClassID QLTag Capacity CapacityUOM MaxFillFactor "
                             "EquipmentType PlantID CalendarID"},
        {"FacilitySummary", "PlantID PlantName"},
        {"PPlan", "PlanID PlanName StartDateTime"},
        {"ProductionPlanSummary", "PlanID RequirementID StepID NumberOfBatches"},
        {"StepSummary", "StepID StepName StepVersionName KeyInputIntermediateID KeyOutputIntermediateID "
                        "InputIntermediate2ID InputIntermediate3ID OutputIntermediate2ID OutputIntermediate3ID "
                        "NumberOfBatches TimeLimitingEquipmentID AverageBatchTime AverageBatchTimeUOM "
                        "AverageCycleTime AverageCycleTimeUOM CampaignTime CampaignTimeUOM AverageBatchSize "
                        "AverageBatchSizeUOM PotentialBatchSize PotentialBatchSizeUOM AverageStepYield ReactionText "
                        "SimulationDateTime MinimumBatchSize MinimumBatchSizeUOM PlantID StartDateTime"},
        {"PureComponents", "MaterialID MaterialName"},
        {"EquipmentSchedule", "BatchNumber EquipmentID StepID UnitProcedureID OperationID StartTime EndTime TimeUOM"},
        {"EquipmentContents", "ContentsID EquipmentID BatchNumber OperationID UnitProcedureID StepID UnitProcedureName "
                              "Time TimeUOM Volume VolumeUOM Temperature TemperatureUOM Pressure PressureUOM Mass "
                              "MassUOM Moles MolesUOM AverageMolecularWeight AverageViscosity AverageViscosityUOM "
                              "AverageHeatCapacity AverageHeatCapacityUOM AverageDensity AverageDensityUOM"},
        {"TextRecipe", "OperationID StepID OperationName RecipeText UnitProcedureSequenceNumber "
                       "OperationSequenceNumber"},
        {"ThermodynamicPhase", "PhaseID ContentsID StreamID UtilityID AirEmissionID CompositeContentsID Phase "
                               "MassPhaseFraction MolarPhaseFraction VolumePhaseFraction"},
        {"PhaseComponents", "PhaseID ComponentID MassFraction MoleFraction VolumeFraction"},
        {"StreamSummary", "StreamID BatchNumber StepID UnitProcedureID UnitProcedureName OperationID OperationName "
                          "UserLabel MaterialName StartTime StartTimeUOM EndTime EndTimeUOM FromEquipmentID "
                          "ToEquipmentID Temperature TemperatureUOM Pressure PressureUOM VolumetricFlowRate "
                          "VolumetricFlowRateUOM Mass MassUOM Volume VolumeUOM Moles MolesUOM StreamCategoryID "
                          "IconLocation"},
        {"UtilitySummary", "UtilityID UtilityName BatchNumber StepID UnitProcedureID UnitProcedureName OperationID "
                           "OperationName UserLabel StartTime StartTimeUOM EndTime EndTimeUOM EquipmentID "
                           "InletTemperature InletTemperatureUOM OutletTemperature InletPressure InletPressureUOM "
                           "OutletPressure Moles MolesUOM Volume VolumeUOM VolumetricFlowRate VolumetricFlowRateUOM "
                           "Mass MassUOM HeatDuty HeatDutyUOM StreamCategoryID"},
        {"AirEmissionSummary", "AirEmissionID BatchNumber StepID UnitProcedureID UnitProcedureName OperationID "
                               "OperationName UserLabel StartTime StartTimeUOM EndTime EndTimeUOM FromEquipmentID "
                               "ToEquipmentID Temperature TemperatureUOM Pressure PressureUOM Moles MolesUOM Volume "
                               "VolumeUOM VolumetricFlowRate VolumetricFlowRateUOM Mass MassUOM StreamCategoryID "
                               "AirEmissionControl"},
        {"CompositeContents", "CompositeContentsID EquipmentID Time TimeUOM Moles MolesUOM Volume VolumeUOM Mass "
                              "MassUOM"},
        {"LaborSummary", "StepID BatchNumber OperationID StartTime EndTime EndTimeUOM NumberOfOperators LaborGradeID"},
        {"LaborCategory", "LaborGradeID LaborGrade"},
    };
    return list;
}

namespace {

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string joined(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& n : names)
        out += (out.empty() ? "" : ", ") + n;
    return out;
}

// The tables of a database and their columns, looked up without regard to
// case as SQLite does.
struct Catalog {
    struct Table {
        std::string name;
        std::vector<std::string> columns;
        std::set<std::string> lowerColumns;
    };
    std::map<std::string, Table> tables; // by lower-case name
    std::vector<std::string> order;      // lower-case names in creation order

    explicit Catalog(const sqlite::Connection& db)
    {
        sqlite::Statement list(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
                                   "ESCAPE '\\' ORDER BY rowid");
        sqlite::Statement columns(db, "SELECT name FROM pragma_table_info(?)");
        while (list.step()) {
            Table t;
            t.name = list.text(0);
            columns.bindText(1, t.name);
            while (columns.step()) {
                t.columns.push_back(columns.text(0));
                t.lowerColumns.insert(lower(t.columns.back()));
            }
            columns.reset();
            order.push_back(lower(t.name));
            tables[order.back()] = std::move(t);
        }
    }
    const Table* find(const std::string& name) const
    {
        auto it = tables.find(lower(name));
        return it == tables.end() ? nullptr : &it->second;
    }
    bool has(const std::string& table, const std::string& column) const
    {
        const Table* t = find(table);
        return t && t->lowerColumns.count(lower(column)) > 0;
    }
};

std::string schemaSql(const sqlite::Connection& schema, const std::string& type, const std::string& name)
{
    sqlite::Statement s(schema, "SELECT sql FROM sqlite_master WHERE type = ? AND name = ?");
    s.bindText(1, type);
    s.bindText(2, name);
    return s.step() ? s.text(0) : std::string();
}

// Whether an object (table, index, view, trigger) of that name exists.
std::string objectType(const sqlite::Connection& db, const std::string& name)
{
    sqlite::Statement s(db, "SELECT type FROM sqlite_master WHERE name = ? COLLATE NOCASE");
    s.bindText(1, name);
    return s.step() ? s.text(0) : std::string();
}

// Runs one statement of post-processing that may fail on the file's data
// (a unique index over duplicates): the failure becomes a warning, unless it
// took the whole transaction with it.
bool tryExec(sqlite::Connection& out, const std::string& sql, const std::string& what, Reporter& report)
{
    try {
        out.exec(sql);
        return true;
    } catch (const CDaoException& e) {
        if (!out.inTransaction()) throw;
        report.warning(what + ": " + e.what());
        return false;
    }
}

std::size_t columnIndex(const Catalog::Table& t, const char* name)
{
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        if (lower(t.columns[i]) == lower(name)) return i;
    return t.columns.size();
}

int installSavedQueries(sqlite::Connection& out, const sqlite::Connection& schema,
                        const std::vector<std::string>& fileQueries, Reporter& report)
{
    const Catalog schemaCat(schema);
    const Catalog::Table* ours = schemaCat.find("SavedQueries");
    if (!ours) return 0;
    Catalog outCat(out);
    if (!outCat.find(ours->name)) {
        out.exec(schemaSql(schema, "table", ours->name));
        outCat = Catalog(out);
    }
    const Catalog::Table* theirs = outCat.find(ours->name);
    for (const std::string& c : ours->columns) {
        if (!outCat.has(ours->name, c)) {
            report.warning("table '" + theirs->name + "' has no column '" + c +
                           "', so the saved queries the results need cannot be installed");
            return 0;
        }
    }
    std::size_t nameColumn = columnIndex(*ours, "Name");
    if (nameColumn == ours->columns.size()) nameColumn = 0; // a schema without Name: the first column names

    std::string names, marks;
    for (std::size_t i = 0; i < ours->columns.size(); ++i) {
        names += (i ? ", " : "") + sqlite::quoteName(ours->columns[i]);
        marks += i ? ", ?" : "?";
    }
    // The file's other saved queries cannot come along either; say which.
    std::vector<std::string> notCarried;
    {
        sqlite::Statement all(schema, "SELECT " + sqlite::quoteName(ours->columns[nameColumn]) + " FROM " +
                                          sqlite::quoteName(ours->name));
        std::set<std::string> ourNames;
        while (all.step())
            ourNames.insert(lower(all.text(0)));
        for (const std::string& q : fileQueries)
            if (!ourNames.count(lower(q))) notCarried.push_back(q);
    }
    if (!notCarried.empty()) {
        constexpr std::size_t kNamed = 10;
        std::vector<std::string> named(notCarried.begin(),
                                       notCarried.begin() + static_cast<long>(std::min(kNamed, notCarried.size())));
        report.note("the file's " + std::to_string(notCarried.size()) +
                    " saved queries are not carried over (Jet keeps them compiled, not as text): " + joined(named) +
                    (notCarried.size() > kNamed ? ", ..." : ""));
    }

    sqlite::Statement rows(schema, "SELECT " + names + " FROM " + sqlite::quoteName(ours->name));
    sqlite::Statement present(out, "SELECT 1 FROM " + sqlite::quoteName(theirs->name) + " WHERE " +
                                       sqlite::quoteName(ours->columns[nameColumn]) + " = ? COLLATE NOCASE");
    sqlite::Statement insert(out, "INSERT INTO " + sqlite::quoteName(theirs->name) + " (" + names + ") VALUES (" +
                                      marks + ")");
    int installed = 0;
    while (rows.step()) {
        const std::string name = rows.text(static_cast<int>(nameColumn));
        present.bindText(1, name);
        const bool there = present.step();
        present.reset();
        if (there) continue;
        for (std::size_t i = 0; i < ours->columns.size(); ++i)
            insert.bindValue(static_cast<int>(i) + 1, rows.value(static_cast<int>(i)));
        insert.step();
        insert.reset();
        ++installed;
        const bool fileHadIt = std::any_of(fileQueries.begin(), fileQueries.end(),
                                           [&](const std::string& q) { return lower(q) == lower(name); });
        if (fileHadIt)
            report.note("saved query '" + name +
                        "': the file's own definition cannot be carried over faithfully (Jet keeps it as a compiled "
                        "query, not as text); installed ours");
        else
            report.note("saved query '" + name + "' is missing from the file; installed ours");
    }
    return installed;
}

int createCalendarTables(sqlite::Connection& out, const sqlite::Connection& calendar, Reporter& report)
{
    const Catalog ours(calendar);
    const Catalog outCat(out);
    std::vector<std::string> present, missing;
    for (const std::string& key : ours.order) {
        const Catalog::Table& t = ours.tables.at(key);
        (outCat.find(t.name) ? present : missing).push_back(t.name);
    }
    for (const std::string& name : present) {
        for (const std::string& c : ours.find(name)->columns)
            if (!outCat.has(name, c))
                report.warning("column '" + outCat.find(name)->name + "." + c +
                               "' is missing; the calendar component reads it");
    }
    if (missing.empty()) return 0;

    for (const std::string& name : missing) {
        out.exec(schemaSql(calendar, "table", name));
        sqlite::Statement triggers(calendar, "SELECT sql FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ?");
        triggers.bindText(1, name);
        while (triggers.step())
            out.exec(triggers.text(0));
    }
    if (present.empty())
        report.note("the file has no calendar tables; created them empty: " + joined(missing));
    else
        report.warning("the file has only some of the calendar tables (" + joined(present) +
                       "); created the others empty: " + joined(missing));
    return static_cast<int>(missing.size());
}

int createIndexes(sqlite::Connection& out, const sqlite::Connection& schema, Reporter& report)
{
    const Catalog outCat(out);
    sqlite::Statement indexes(schema,
                              "SELECT name, tbl_name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT "
                              "NULL ORDER BY rowid");
    sqlite::Statement columns(schema, "SELECT name FROM pragma_index_info(?)");
    int created = 0;
    while (indexes.step()) {
        const std::string name = indexes.text(0), table = indexes.text(1), sql = indexes.text(2);
        if (!outCat.find(table)) continue;
        columns.bindText(1, name);
        std::string lacking;
        while (columns.step())
            if (!columns.isNull(0) && !outCat.has(table, columns.text(0))) lacking = columns.text(0);
        columns.reset();
        if (!lacking.empty()) {
            report.note("index '" + name + "' not created: table '" + table + "' has no column '" + lacking + "'");
            continue;
        }
        const std::string existing = objectType(out, name);
        if (existing == "index") continue; // already there (a file made by our own tools)
        if (!existing.empty()) {
            report.warning("index '" + name + "' not created: the file has a " + existing + " of that name");
            continue;
        }
        if (tryExec(out, sql, "index '" + name + "' not created", report)) ++created;
    }
    return created;
}

// A saved query's text names its parameters as [name], which SQLite reads
// as a column; `parameters` lists them ("pid Long, aid Long"). Turns each
// into :name so that the text prepares.
std::string withSqliteParameters(std::string sql, const std::string& parameters)
{
    std::istringstream list(parameters);
    for (std::string item; std::getline(list, item, ',');) {
        std::istringstream words(item);
        std::string name;
        if (!(words >> name)) continue;
        const std::string bracketed = "[" + name + "]";
        for (std::size_t at = sql.find(bracketed); at != std::string::npos; at = sql.find(bracketed, at))
            sql.replace(at, bracketed.size(), ":" + name);
    }
    return sql;
}

// Adds to `into` every table and column that `sql` reads when prepared
// against `schema`.
void addColumnsRead(const sqlite::Connection& schema, const std::string& sql,
                    std::map<std::string, std::set<std::string>>& into)
{
    // A text that does not prepare here (written for the data-access layer's
    // own rewriting) adds nothing; the fixed list still covers its columns.
    std::vector<std::pair<std::string, std::string>> read;
    schema.columnsRead(sql, read);
    for (auto& [table, column] : read)
        into[table].insert(std::move(column));
}

// Warns of each table and column the results queries read that the file
// lacks; answers which of those tables it has and which it lacks.
void validate(const sqlite::Connection& out, const sqlite::Connection& schema, Reporter& report,
              PostProcessCounts& counts)
{
    // Table order of the fixed list first, then any table only a saved query reads.
    std::vector<std::string> order;
    std::map<std::string, std::vector<std::string>> required; // by lower-case table name
    std::map<std::string, std::string> displayName;
    auto add = [&](const std::string& table, const std::string& column) {
        const std::string key = lower(table);
        if (!displayName.count(key)) {
            displayName[key] = table;
            order.push_back(key);
        }
        auto& cols = required[key];
        const bool known =
            std::any_of(cols.begin(), cols.end(), [&](const std::string& c) { return lower(c) == lower(column); });
        if (!known) cols.push_back(column);
    };
    for (const QueryColumns& q : resultsQueryColumns()) {
        std::istringstream words(q.columns);
        for (std::string c; words >> c;)
            add(q.table, c);
    }
    const Catalog schemaCat(schema);
    if (const Catalog::Table* saved = schemaCat.find("SavedQueries")) {
        const std::size_t textColumn = columnIndex(*saved, "SqlText");
        if (textColumn < saved->columns.size()) {
            const std::size_t paramColumn = columnIndex(*saved, "Parameters");
            const std::string params = paramColumn < saved->columns.size()
                                           ? sqlite::quoteName(saved->columns[paramColumn])
                                           : std::string("''");
            sqlite::Statement texts(schema, "SELECT " + sqlite::quoteName(saved->columns[textColumn]) + ", " + params +
                                                " FROM " + sqlite::quoteName(saved->name));
            std::map<std::string, std::set<std::string>> read;
            while (texts.step())
                addColumnsRead(schema, withSqliteParameters(texts.text(0), texts.text(1)), read);
            for (const auto& [table, columns] : read)
                for (const std::string& c : columns)
                    add(table, c);
        }
    }

    const Catalog outCat(out);
    for (const std::string& key : order) {
        const Catalog::Table* t = outCat.find(key);
        if (!t) {
            report.warning("table '" + displayName[key] + "' is missing; the results queries read it");
            counts.missingTables.push_back(displayName[key]);
            continue;
        }
        ++counts.resultsTables;
        for (const std::string& c : required[key])
            if (!t->lowerColumns.count(lower(c)))
                report.warning("column '" + t->name + "." + c + "' is missing; the results queries read it");
    }
}

sqlite::Connection loadSchema(const char* sql, const char* what)
{
    sqlite::Connection db(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    try {
        db.exec(sql);
    } catch (const CDaoException& e) {
        throw WriteError(std::string("the built-in ") + what + " does not load: " + e.what());
    }
    return db;
}

} // namespace

PostProcessCounts postProcess(sqlite::Connection& out, const std::vector<std::string>& fileQueries, Reporter& report)
{
    PostProcessCounts counts;
    // The schema texts are compiled into the library, so the command needs no
    // files at run time.
    const sqlite::Connection results = loadSchema(ResultsSchemaSql(), "results schema");
    const sqlite::Connection calendar = loadSchema(CalendarSchemaSql(), "calendar schema");

    out.exec("BEGIN");
    try {
        counts.savedQueries = installSavedQueries(out, results, fileQueries, report);
        counts.calendarTables = createCalendarTables(out, calendar, report);
        counts.indexes = createIndexes(out, results, report) + createIndexes(out, calendar, report);
        validate(out, results, report, counts);
        out.exec("COMMIT");
    } catch (...) {
        out.rollback();
        throw;
    }
    return counts;
}

} // namespace batchplant::cli::importer

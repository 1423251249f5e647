-- Results database of one simulated batch production run (SQLite).
--
-- Conventions (docs/results-database.md describes every column):
--   * identifiers are positive integers; a missing equipment end is NULL;
--   * every quantity has a unit column beside it (…UOM) naming a unit of the
--     library's unit table ("kg", "liter", "C", "h", …);
--   * simulated times are measured from PPlan.StartDateTime, in the row's
--     own time unit; StartTimeUOM and EndTimeUOM of one row are the same unit;
--   * date-times are ISO-8601 text 'YYYY-MM-DDTHH:MM:SS'.
-- The calendar tables are in calendar.sql.

-- Plants (one floor each in the 3-D view).
CREATE TABLE FacilitySummary (
    PlantID INTEGER NOT NULL PRIMARY KEY CHECK (PlantID > 0),
    PlantName TEXT NOT NULL
);

CREATE TABLE EquipmentSummary (
    EquipmentID INTEGER NOT NULL PRIMARY KEY CHECK (EquipmentID > 0),
    QLTag TEXT NOT NULL,
    Category TEXT NOT NULL,
    EquipmentClassID INTEGER NOT NULL DEFAULT 0,
    EquipmentType TEXT NOT NULL DEFAULT 'Batch',
    Capacity REAL,
    CapacityUOM TEXT,
    MaxFillFactor REAL NOT NULL DEFAULT 1.0,
    PlantID INTEGER REFERENCES FacilitySummary (PlantID),
    CalendarID INTEGER
);
CREATE INDEX EquipmentSummary_Plant ON EquipmentSummary (PlantID);

CREATE TABLE PureComponents (
    MaterialID INTEGER NOT NULL PRIMARY KEY CHECK (MaterialID > 0),
    MaterialName TEXT NOT NULL,
    MolecularWeight REAL
);

-- The production plan: one row per plan, one requirement row per step it runs.
CREATE TABLE PPlan (
    PlanID INTEGER NOT NULL PRIMARY KEY,
    PlanName TEXT NOT NULL,
    StartDateTime TEXT
);

-- Read as pps.*: it must hold exactly these four columns.
CREATE TABLE ProductionPlanSummary (
    RequirementID INTEGER NOT NULL PRIMARY KEY,
    PlanID INTEGER NOT NULL REFERENCES PPlan (PlanID),
    StepID INTEGER NOT NULL,
    NumberOfBatches INTEGER NOT NULL CHECK (NumberOfBatches BETWEEN 0 AND 32767)
);
CREATE INDEX ProductionPlanSummary_Plan ON ProductionPlanSummary (PlanID);

-- One row per process step. Read as ss.*: no PlantName or KeyOutputName column here.
CREATE TABLE StepSummary (
    StepID INTEGER NOT NULL PRIMARY KEY,
    StepName TEXT NOT NULL,
    StepVersionName TEXT,
    KeyInputIntermediateID INTEGER,
    KeyOutputIntermediateID INTEGER,
    InputIntermediate2ID INTEGER,
    InputIntermediate3ID INTEGER,
    OutputIntermediate2ID INTEGER,
    OutputIntermediate3ID INTEGER,
    NumberOfBatches INTEGER NOT NULL DEFAULT 0,
    TimeLimitingEquipmentID INTEGER,
    AverageBatchTime REAL,
    AverageBatchTimeUOM TEXT,
    AverageCycleTime REAL,
    AverageCycleTimeUOM TEXT,
    CampaignTime REAL,
    CampaignTimeUOM TEXT,
    AverageBatchSize REAL,
    AverageBatchSizeUOM TEXT,
    PotentialBatchSize REAL,
    PotentialBatchSizeUOM TEXT,
    MinimumBatchSize REAL,
    MinimumBatchSizeUOM TEXT,
    AverageStepYield REAL,
    ReactionText TEXT,
    SimulationDateTime TEXT,
    StartDateTime TEXT,
    PlantID INTEGER NOT NULL REFERENCES FacilitySummary (PlantID)
);

-- The recipe: one row per operation. OperationID is unique over the whole
-- database, because stream, utility and vapor rows find their operation by it alone.
CREATE TABLE TextRecipe (
    OperationID INTEGER NOT NULL PRIMARY KEY CHECK (OperationID > 0),
    StepID INTEGER NOT NULL,
    UnitProcedureID INTEGER NOT NULL,
    UnitProcedureName TEXT,
    UnitProcedureSequenceNumber INTEGER NOT NULL,
    OperationSequenceNumber INTEGER NOT NULL,
    OperationName TEXT NOT NULL,
    RecipeText TEXT
);
CREATE INDEX TextRecipe_Step ON TextRecipe (StepID, UnitProcedureID, OperationID);

-- One row per operation occurrence in a piece of equipment.
CREATE TABLE EquipmentSchedule (
    EquipmentScheduleID INTEGER NOT NULL PRIMARY KEY,
    EquipmentID INTEGER NOT NULL,
    BatchNumber INTEGER NOT NULL,
    StepID INTEGER NOT NULL,
    UnitProcedureID INTEGER NOT NULL,
    OperationID INTEGER NOT NULL,
    StartTime REAL NOT NULL,
    EndTime REAL NOT NULL,
    TimeUOM TEXT NOT NULL
);
CREATE UNIQUE INDEX EquipmentSchedule_Occurrence
    ON EquipmentSchedule (EquipmentID, BatchNumber, OperationID, UnitProcedureID, StepID);
CREATE INDEX EquipmentSchedule_End ON EquipmentSchedule (EquipmentID, EndTime);
CREATE INDEX EquipmentSchedule_Start ON EquipmentSchedule (EquipmentID, StartTime);

-- The contents of a piece of equipment at the end of an operation occurrence,
-- with the average properties of the contents.
CREATE TABLE EquipmentContents (
    ContentsID INTEGER NOT NULL PRIMARY KEY,
    EquipmentID INTEGER NOT NULL,
    BatchNumber INTEGER NOT NULL,
    StepID INTEGER NOT NULL,
    UnitProcedureID INTEGER NOT NULL,
    UnitProcedureName TEXT,
    OperationID INTEGER NOT NULL,
    Time REAL,
    TimeUOM TEXT,
    Volume REAL,
    VolumeUOM TEXT,
    Mass REAL,
    MassUOM TEXT,
    Moles REAL,
    MolesUOM TEXT,
    Temperature REAL,
    TemperatureUOM TEXT,
    Pressure REAL,
    PressureUOM TEXT,
    AverageMolecularWeight REAL,
    AverageViscosity REAL,
    AverageViscosityUOM TEXT,
    AverageHeatCapacity REAL,
    AverageHeatCapacityUOM TEXT,
    AverageDensity REAL,
    AverageDensityUOM TEXT
);
CREATE UNIQUE INDEX EquipmentContents_Occurrence
    ON EquipmentContents (EquipmentID, BatchNumber, OperationID, UnitProcedureID, StepID);
CREATE INDEX EquipmentContents_Time ON EquipmentContents (EquipmentID, Time);

-- Material streams: one row per stream occurrence (one transfer of one operation of one batch).
CREATE TABLE StreamSummary (
    StreamID INTEGER NOT NULL PRIMARY KEY CHECK (StreamID > 0),
    UserLabel TEXT,
    BatchNumber INTEGER NOT NULL,
    StepID INTEGER NOT NULL,
    UnitProcedureID INTEGER NOT NULL,
    UnitProcedureName TEXT,
    OperationID INTEGER NOT NULL,
    OperationName TEXT,
    MaterialName TEXT,
    StreamCategoryID INTEGER NOT NULL DEFAULT 1,
    IconLocation INTEGER NOT NULL DEFAULT 0,
    FromEquipmentID INTEGER,
    ToEquipmentID INTEGER,
    StartTime REAL NOT NULL,
    StartTimeUOM TEXT NOT NULL,
    EndTime REAL NOT NULL,
    EndTimeUOM TEXT NOT NULL,
    Temperature REAL,
    TemperatureUOM TEXT,
    Pressure REAL,
    PressureUOM TEXT,
    VolumetricFlowRate REAL,
    VolumetricFlowRateUOM TEXT,
    Mass REAL,
    MassUOM TEXT,
    Volume REAL,
    VolumeUOM TEXT,
    Moles REAL,
    MolesUOM TEXT
);
CREATE INDEX StreamSummary_Ends ON StreamSummary (FromEquipmentID, ToEquipmentID, StreamID, IconLocation);
CREATE INDEX StreamSummary_To ON StreamSummary (ToEquipmentID, EndTime);
CREATE INDEX StreamSummary_Operation ON StreamSummary (OperationID);

-- Utility streams (steam, cooling water, …) charged to the equipment they serve
-- (EquipmentID NULL: not charged to any equipment). HeatDuty is the energy
-- over the row's interval; heat removed is negative.
CREATE TABLE UtilitySummary (
    UtilityID INTEGER NOT NULL PRIMARY KEY CHECK (UtilityID > 0),
    UtilityName TEXT NOT NULL,
    UserLabel TEXT,
    BatchNumber INTEGER NOT NULL,
    StepID INTEGER NOT NULL,
    UnitProcedureID INTEGER NOT NULL,
    UnitProcedureName TEXT,
    OperationID INTEGER NOT NULL,
    OperationName TEXT,
    StreamCategoryID INTEGER NOT NULL DEFAULT 0,
    EquipmentID INTEGER,
    StartTime REAL NOT NULL,
    StartTimeUOM TEXT NOT NULL,
    EndTime REAL NOT NULL,
    EndTimeUOM TEXT NOT NULL,
    InletTemperature REAL,
    InletTemperatureUOM TEXT,
    OutletTemperature REAL,
    InletPressure REAL,
    InletPressureUOM TEXT,
    OutletPressure REAL,
    Mass REAL,
    MassUOM TEXT,
    Moles REAL,
    MolesUOM TEXT,
    Volume REAL,
    VolumeUOM TEXT,
    VolumetricFlowRate REAL,
    VolumetricFlowRateUOM TEXT,
    HeatDuty REAL,
    HeatDutyUOM TEXT
);
CREATE INDEX UtilitySummary_Equipment ON UtilitySummary (EquipmentID);
CREATE INDEX UtilitySummary_Operation ON UtilitySummary (OperationID);

-- Vapor emissions. AirEmissionControl says where the emission is measured:
-- 'None', 'Before Condenser' or 'After Condenser' (never NULL).
CREATE TABLE AirEmissionSummary (
    AirEmissionID INTEGER NOT NULL PRIMARY KEY CHECK (AirEmissionID > 0),
    UserLabel TEXT,
    BatchNumber INTEGER NOT NULL,
    StepID INTEGER NOT NULL,
    UnitProcedureID INTEGER NOT NULL,
    UnitProcedureName TEXT,
    OperationID INTEGER NOT NULL,
    OperationName TEXT,
    StreamCategoryID INTEGER NOT NULL DEFAULT 4,
    AirEmissionControl TEXT NOT NULL DEFAULT 'None',
    FromEquipmentID INTEGER,
    ToEquipmentID INTEGER,
    StartTime REAL NOT NULL,
    StartTimeUOM TEXT NOT NULL,
    EndTime REAL NOT NULL,
    EndTimeUOM TEXT NOT NULL,
    Temperature REAL,
    TemperatureUOM TEXT,
    Pressure REAL,
    PressureUOM TEXT,
    VolumetricFlowRate REAL,
    VolumetricFlowRateUOM TEXT,
    Mass REAL,
    MassUOM TEXT,
    Volume REAL,
    VolumeUOM TEXT,
    Moles REAL,
    MolesUOM TEXT
);
CREATE INDEX AirEmissionSummary_From ON AirEmissionSummary (FromEquipmentID, EndTime);
CREATE INDEX AirEmissionSummary_Operation ON AirEmissionSummary (OperationID);

-- The contents of buffer tanks over time (one row per tank and time).
CREATE TABLE CompositeContents (
    CompositeContentsID INTEGER NOT NULL PRIMARY KEY CHECK (CompositeContentsID > 0),
    EquipmentID INTEGER NOT NULL,
    Time REAL NOT NULL,
    TimeUOM TEXT NOT NULL,
    Mass REAL,
    MassUOM TEXT,
    Moles REAL,
    MolesUOM TEXT,
    Volume REAL,
    VolumeUOM TEXT
);
CREATE INDEX CompositeContents_Equipment ON CompositeContents (EquipmentID, Time);

-- Phases of a contents record, stream, utility, vapor emission or buffer tank
-- record: exactly one of the five owner columns is set. The three phase
-- fractions are the phase's share of its owner's mass, moles and volume.
CREATE TABLE ThermodynamicPhase (
    PhaseID INTEGER NOT NULL PRIMARY KEY CHECK (PhaseID > 0),
    Phase TEXT NOT NULL,
    ContentsID INTEGER,
    StreamID INTEGER,
    UtilityID INTEGER,
    AirEmissionID INTEGER,
    CompositeContentsID INTEGER,
    MassPhaseFraction REAL,
    MolarPhaseFraction REAL,
    VolumePhaseFraction REAL
);
-- Each owner index holds only the rows of its owner kind; a join on
-- "tp.StreamID = …" implies StreamID IS NOT NULL, so SQLite uses it.
CREATE INDEX ThermodynamicPhase_Contents ON ThermodynamicPhase (ContentsID) WHERE ContentsID IS NOT NULL;
CREATE INDEX ThermodynamicPhase_Stream ON ThermodynamicPhase (StreamID) WHERE StreamID IS NOT NULL;
CREATE INDEX ThermodynamicPhase_Utility ON ThermodynamicPhase (UtilityID) WHERE UtilityID IS NOT NULL;
CREATE INDEX ThermodynamicPhase_AirEmission ON ThermodynamicPhase (AirEmissionID) WHERE AirEmissionID IS NOT NULL;
CREATE INDEX ThermodynamicPhase_Composite ON ThermodynamicPhase (CompositeContentsID)
    WHERE CompositeContentsID IS NOT NULL;

-- Components of a phase; the three fractions are the component's share of the phase.
CREATE TABLE PhaseComponents (
    PhaseID INTEGER NOT NULL,
    ComponentID INTEGER NOT NULL,
    MassFraction REAL,
    MoleFraction REAL,
    VolumeFraction REAL,
    PRIMARY KEY (PhaseID, ComponentID)
) WITHOUT ROWID;

CREATE TABLE LaborCategory (
    LaborGradeID INTEGER NOT NULL PRIMARY KEY CHECK (LaborGradeID > 0),
    LaborGrade TEXT NOT NULL
);

-- Operators at work: one row per labor grade and operation occurrence.
-- LaborGradeID 0 means no grade was assigned (there is no category row for it).
CREATE TABLE LaborSummary (
    LaborSummaryID INTEGER NOT NULL PRIMARY KEY,
    StepID INTEGER NOT NULL,
    BatchNumber INTEGER NOT NULL,
    UnitProcedureID INTEGER NOT NULL,
    OperationID INTEGER NOT NULL,
    EquipmentID INTEGER,
    LaborGradeID INTEGER NOT NULL DEFAULT 0,
    StartTime REAL NOT NULL,
    EndTime REAL NOT NULL,
    EndTimeUOM TEXT NOT NULL,
    NumberOfOperators REAL NOT NULL
);

-- Saved queries, opened by their bracketed name ([QryPhaseComponents]).
-- SqlText is in the dialect of the recordset query texts; parameters are
-- referenced as [name]. Parameters lists 'name Type' pairs in binding order.
CREATE TABLE SavedQueries (
    Name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,
    SqlText TEXT NOT NULL,
    Parameters TEXT
);

INSERT INTO SavedQueries (Name, SqlText, Parameters) VALUES (
    'QryPhaseComponents',
    'SELECT pc.PhaseID, pc.ComponentID, pc.MassFraction, pc.MoleFraction, pc.VolumeFraction FROM PhaseComponents AS pc WHERE pc.PhaseID = [pid] ORDER BY pc.ComponentID;',
    'pid Long');

INSERT INTO SavedQueries (Name, SqlText, Parameters) VALUES (
    'QryThermodynamicPhase1',
    'SELECT tp.PhaseID, tp.CompositeContentsID, tp.Phase, tp.MassPhaseFraction, tp.MolarPhaseFraction, tp.VolumePhaseFraction FROM ThermodynamicPhase AS tp WHERE ([sid] <> 0 AND tp.StreamID = [sid]) OR ([CompositeID] <> 0 AND tp.CompositeContentsID = [CompositeID]) OR ([aid] <> 0 AND tp.AirEmissionID = [aid]) ORDER BY tp.PhaseID;',
    'sid Long, CompositeID Long, aid Long');

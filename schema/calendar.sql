-- Equipment calendars: named calendars of weekly working shifts with dated
-- exceptions. Read and written only by the calendar component; equipment
-- names its calendar through EquipmentSummary.CalendarID (NULL: none).
--
-- Times of day are whole seconds since midnight. A shift whose EndSecond is
-- not after its StartSecond runs past midnight into the next day; equal start
-- and end is a full 24 hours. A shift belongs to the day it starts on.

CREATE TABLE IF NOT EXISTS Calendars (
    CalendarID INTEGER NOT NULL PRIMARY KEY CHECK (CalendarID > 0),
    Name TEXT NOT NULL DEFAULT ''
);

-- The regular week: DayOfWeek 0 = Sunday ... 6 = Saturday; ShiftNo orders the
-- shifts of one day. A weekday without rows is not worked.
CREATE TABLE IF NOT EXISTS CalendarWeekShifts (
    CalendarID INTEGER NOT NULL REFERENCES Calendars (CalendarID) ON DELETE CASCADE,
    DayOfWeek INTEGER NOT NULL CHECK (DayOfWeek BETWEEN 0 AND 6),
    ShiftNo INTEGER NOT NULL CHECK (ShiftNo >= 0),
    StartSecond INTEGER NOT NULL CHECK (StartSecond BETWEEN 0 AND 86399),
    EndSecond INTEGER NOT NULL CHECK (EndSecond BETWEEN 0 AND 86399),
    PRIMARY KEY (CalendarID, DayOfWeek, ShiftNo)
);

-- A dated exception replaces the shifts of its weekday on that date
-- (ExceptionDate is 'YYYY-MM-DD'); without shift rows the date is a day off.
CREATE TABLE IF NOT EXISTS CalendarExceptions (
    CalendarID INTEGER NOT NULL REFERENCES Calendars (CalendarID) ON DELETE CASCADE,
    ExceptionDate TEXT NOT NULL CHECK (ExceptionDate GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]'),
    PRIMARY KEY (CalendarID, ExceptionDate)
);

CREATE TABLE IF NOT EXISTS CalendarExceptionShifts (
    CalendarID INTEGER NOT NULL,
    ExceptionDate TEXT NOT NULL,
    ShiftNo INTEGER NOT NULL CHECK (ShiftNo >= 0),
    StartSecond INTEGER NOT NULL CHECK (StartSecond BETWEEN 0 AND 86399),
    EndSecond INTEGER NOT NULL CHECK (EndSecond BETWEEN 0 AND 86399),
    PRIMARY KEY (CalendarID, ExceptionDate, ShiftNo),
    FOREIGN KEY (CalendarID, ExceptionDate) REFERENCES CalendarExceptions (CalendarID, ExceptionDate)
        ON DELETE CASCADE
);

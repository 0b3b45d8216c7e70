// Every statement the board's store runs, by name, with each dialect's text: SQLite's, and
// PostgreSQL's where it differs (else SQLite's with "$N" for "?N"). Values are always bound,
// never written into the text; so are the submissions' states and the clock's time.
#pragma once
#include <string>
#include <vector>

enum class Dialect { Sqlite, Postgres };

enum class Query {
    AddSubmission,
    SubmissionByUpload,
    SubmissionById,
    Pending,
    TakeJob,
    ReturnJob,
    HoldJob,
    GameByDigest,
    AddGame,
    JobStored,
    RefuseJob,
    RequeueTaken,
    Attempt,
    UseAttempt,
    UnuseAttempt,
    AddAttempt,
    ForgetAttempts,
    KeepSecret,
    Secret,
    Beat,
    ForgetVerifiers,
    CountVerifiers,
    Top,
    TopAll,
    DayTable,
    RankedDays,
    Game,
    Recording,
    HideGame,
    GamesOfName,
    HideName,
    ShowName,
    Audit,
    Counts,
    SchemaLock,
    HasColumn,
    SchemaVersion,
    SetSchemaVersion,
};

// The statement's name (PostgreSQL prepares it by that name) and its text in `dialect`.
const char* QueryName(Query query);
const std::string& QueryText(Query query, Dialect dialect);

// One numbered step of the schema: its columns added, then its statements run. Every step can
// be applied to a database that already has some of it (a board from before the steps were
// numbered): tables and indexes are made when missing and columns added when missing.
struct SchemaColumn {
    const char* table;
    const char* name;
    const char* sqlite;   // its type and default in SQLite's words
    const char* postgres; // and in PostgreSQL's
};
struct SchemaStep {
    int version;
    const char* what;
    const char* sqlite; // statements, ";"-separated
    const char* postgres;
    std::vector<SchemaColumn> columns;
};
// In the order they are applied; the last one's version is the store's.
const std::vector<SchemaStep>& SchemaSteps();

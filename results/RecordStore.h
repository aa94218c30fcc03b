#pragma once

#include "TestRecord.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class DatabaseConnection;

// Which records to read back; an empty field does not filter.
struct RecordFilter
{
    std::optional<std::string> lot;
    // ISO 8601 date ("2026-12-01") or date and time; a time without an offset
    // is UTC, as the stored times are. Records that started at it or later.
    std::optional<std::string> since;
};

struct InsertResult
{
    std::int64_t id = 0;
    QString error; // empty when the record was stored
    bool alreadyStored = false; // its uid was there: id is the record stored before
    bool unavailable = false; // the database is busy or went away: a later try may succeed
};

// Whether a record could be stored now: empty, or why not.
struct WriteCheck
{
    QString error;
    bool unavailable = false;
};

struct LoadResult
{
    std::vector<TestRecord> records; // by start time, then id
    QString error;
};

// The test records of an open results database of the current schema: each
// insert is one transaction, retried while another writer is in the way.
class RecordStore
{
public:
    explicit RecordStore(const DatabaseConnection &connection)
        : m_connection(connection)
    { }

    // Stores the record with its figures, limits and outputs, all or nothing,
    // and returns its new id; a record whose uid is stored already is not
    // stored again. The times are stored in UTC with milliseconds; a start
    // time that is not ISO 8601 is refused. An empty uid gets a new one.
    InsertResult insert(const TestRecord &record) const;

    LoadResult load(const RecordFilter &filter) const;

    // Takes the write lock and lets it go (SQLite), or asks the server for
    // the user's right to insert into every table (PostgreSQL): a database
    // that could never take a record shows before a test rather than after.
    WriteCheck checkWritable() const;

private:
    const DatabaseConnection &m_connection;
};

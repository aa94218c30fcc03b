#pragma once

#include "DatabaseUrl.h"
#include "TestRecord.h"

#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

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
};

struct LoadResult
{
    std::vector<TestRecord> records; // by start time, then id
    QString error;
};

// The test records of a results database, SQLite or PostgreSQL. Several
// processes may open and write one database at once: each insert is one
// transaction, retried when another writer holds the lock or the server
// reports a serialization failure or deadlock.
//
// A connection belongs to the thread that opened it: give each thread its
// own ResultsDatabase.
class ResultsDatabase
{
public:
    enum class Access {
        ReadWrite, // creates the file and the schema, upgrades an older schema
        ReadOnly, // neither: a missing or older database is an error
    };

    // The schema this program writes; open() upgrades an older one to it.
    static constexpr int schemaVersion = 2;

    ResultsDatabase();
    ~ResultsDatabase();
    ResultsDatabase(const ResultsDatabase &) = delete;
    ResultsDatabase &operator=(const ResultsDatabase &) = delete;

    // Connects, then checks, creates or upgrades the schema. Returns an error
    // in one line, empty on success. Any connection held before is closed.
    QString open(const DatabaseUrl &url, Access access = Access::ReadWrite);
    void close();
    bool isOpen() const { return !m_connection.isEmpty(); }

    // Stores the record with its figures, limits and outputs, all or nothing,
    // and returns its new id. The times are stored in UTC with milliseconds;
    // a start time that is not ISO 8601 is refused.
    InsertResult insert(const TestRecord &record);

    LoadResult load(const RecordFilter &filter = {}) const;

    // The schema_info table: "schema_version", "created_by_version" and, after
    // an upgrade, "upgraded_by_version" (the program versions that wrote it).
    std::map<QString, QString> schemaInfo() const;

private:
    QString prepareSchema(Access access);
    QString failure(const QString &doing, const QString &why) const;

    QString m_connection; // the QSqlDatabase connection name; empty when closed
    DatabaseUrl m_url;
};

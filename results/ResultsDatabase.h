#pragma once

#include "DatabaseConnection.h"
#include "DatabaseUrl.h"
#include "RecordStore.h"
#include "ResultsSchema.h"
#include "TestRecord.h"

#include <QString>

#include <map>

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
    static constexpr int schemaVersion = ResultsSchema::version;

    ResultsDatabase() = default;
    ResultsDatabase(const ResultsDatabase &) = delete;
    ResultsDatabase &operator=(const ResultsDatabase &) = delete;

    // How long a writer waits for a busy database (another writer's lock,
    // a server with too many clients), and who hears that it waits: from the
    // next open() on.
    void setRetryPolicy(RetryPolicy policy) { m_connection.setRetryPolicy(std::move(policy)); }

    // Connects, then checks, creates or upgrades the schema. Returns an error
    // in one line, empty on success. Any connection held before is closed.
    QString open(const DatabaseUrl &url, Access access = Access::ReadWrite);
    void close() { m_connection.close(); }
    bool isOpen() const { return m_connection.isOpen(); }
    // The last open() failed because the database cannot be reached or is
    // busy now (a later try may succeed), not for a fault of its URL, its
    // credentials or its schema.
    bool unavailable() const { return m_unavailable; }

    // Whether a record could be stored now.
    WriteCheck checkWritable() const;

    // Stores the record with its figures, limits and outputs, all or nothing,
    // and returns its new id; a record whose uid is there already is stored
    // once, and the id is the one it has. The times are stored in UTC with
    // milliseconds; a start time that is not ISO 8601 is refused.
    InsertResult insert(const TestRecord &record) { return m_records.insert(record); }

    LoadResult load(const RecordFilter &filter = {}) const { return m_records.load(filter); }

    // The schema_info table: "schema_version", "created_by_version" and, after
    // an upgrade, "upgraded_by_version" (the program versions that wrote it).
    std::map<QString, QString> schemaInfo() const;

    // For queries of their own, such as a report's aggregates.
    const DatabaseConnection &connection() const { return m_connection; }

private:
    DatabaseConnection m_connection;
    ResultsSchema m_schema {m_connection};
    RecordStore m_records {m_connection};
    bool m_unavailable = false;
};

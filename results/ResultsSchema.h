#pragma once

#include "SqlOutcome.h"

#include <QString>
#include <QStringList>

#include <map>

class DatabaseConnection;
class Statements;

// The tables of a results database and their version: creates them in a new
// database, upgrades an older schema in one transaction, and refuses one a
// newer program wrote.
//
// Version 3: test_record has record_uid (unique) and origin, and pass may be
// NULL (no verdict). Version 2 added the limits' name and revision and
// record_output. Figure names are the station catalog's keys.
class ResultsSchema
{
public:
    static constexpr int version = 3; // the schema this program writes

    explicit ResultsSchema(const DatabaseConnection &connection)
        : m_connection(connection)
    { }

    // Sets the open connection up, then checks the stored schema, and when
    // `writable` creates or upgrades it. Returns an error, empty on success;
    // `unavailable` tells whether it failed because the database is busy or
    // went away rather than for what it holds.
    QString prepare(bool writable, bool *unavailable = nullptr) const;

    // The schema_info table: "schema_version", "created_by_version" and, after
    // an upgrade, "upgraded_by_version" (the program versions that wrote it).
    std::map<QString, QString> info() const;

private:
    SqlOutcome configure(bool writable) const;
    QString check() const;
    QString createOrUpgrade(SqlOutcome &outcome) const;
    SqlOutcome apply(Statements &statements, int from) const;
    QStringList createStatements() const;
    QStringList upgradeStatements(int from) const;
    QString newerSchema(int stored) const;

    const DatabaseConnection &m_connection;
};

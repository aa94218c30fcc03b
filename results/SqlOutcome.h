#pragma once

#include "DatabaseUrl.h"

#include <QString>

#include <optional>

class QSqlError;
class QSqlQuery;

// A statement that failed, in one line, whether running its transaction
// again may succeed, and whether the database is unreachable or busy now
// rather than wrong (a later try may succeed).
struct SqlFailure
{
    QString text;
    bool retry = false;
    bool unavailable = false;
};
using SqlOutcome = std::optional<SqlFailure>; // empty: it worked

// The first line of a driver's message, without PostgreSQL's severity.
QString firstLine(const QString &text);

SqlFailure sqlFailure(const QSqlError &error, DatabaseUrl::Backend backend);

// Runs `sql`, or the statement `query` was prepared with.
SqlOutcome run(QSqlQuery &query, const QString &sql, DatabaseUrl::Backend backend);
SqlOutcome run(QSqlQuery &query, DatabaseUrl::Backend backend);

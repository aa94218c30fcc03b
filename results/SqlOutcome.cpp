#include "SqlOutcome.h"

#include "RetryPolicy.h"

#include <QSqlError>
#include <QSqlQuery>

QString firstLine(const QString &text)
{
    QString line = text.trimmed().section(u'\n', 0, 0).trimmed();
    // PostgreSQL's severity adds nothing a reader needs.
    for (const auto prefix : {QLatin1String("ERROR:"), QLatin1String("FATAL:")})
        if (line.startsWith(prefix))
            line = line.mid(prefix.size()).trimmed();
    return line;
}

SqlFailure sqlFailure(const QSqlError &error, DatabaseUrl::Backend backend)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    const QString line = firstLine(text);
    return {line.isEmpty() ? QStringLiteral("the server gave no answer") : line,
        RetryPolicy::transient(error, backend), RetryPolicy::unavailable(error, backend)};
}

SqlOutcome run(QSqlQuery &query, const QString &sql, DatabaseUrl::Backend backend)
{
    if (!query.exec(sql))
        return sqlFailure(query.lastError(), backend);
    return {};
}

SqlOutcome run(QSqlQuery &query, DatabaseUrl::Backend backend)
{
    if (!query.exec())
        return sqlFailure(query.lastError(), backend);
    return {};
}

#include "Transaction.h"

#include "RetryPolicy.h"

SqlOutcome transact(const QSqlDatabase &db, DatabaseUrl::Backend backend,
    const std::function<SqlOutcome(Statements &)> &work)
{
    for (int attempt = 1;; ++attempt) {
        Statements statements(db);
        QSqlQuery &query = statements.add();
        SqlOutcome failure = run(
            query, backend == DatabaseUrl::Backend::Sqlite ? "BEGIN IMMEDIATE" : "BEGIN", backend);
        if (!failure)
            failure = work(statements);
        if (!failure)
            failure = run(query, "COMMIT", backend);
        if (!failure)
            return {};
        query.exec(QStringLiteral("ROLLBACK"));
        if (!failure->retry || attempt == RetryPolicy::attempts)
            return failure;
        RetryPolicy::pauseBefore(attempt + 1);
    }
}

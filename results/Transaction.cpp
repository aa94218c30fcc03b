#include "Transaction.h"

SqlOutcome transact(const QSqlDatabase &db, DatabaseUrl::Backend backend, const RetryPolicy &policy,
    const std::function<SqlOutcome(Statements &)> &work)
{
    RetryPolicy::Attempts attempts(policy);
    for (;;) {
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
        if (!failure->retry || !attempts.again(failure->text))
            return failure;
    }
}

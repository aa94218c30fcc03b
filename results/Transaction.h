#pragma once

#include "RetryPolicy.h"
#include "SqlOutcome.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <functional>
#include <list>

// The statements of one transaction. Qt frees a PostgreSQL prepared
// statement when its query goes; inside a failed transaction the server
// refuses that (and Qt complains on stderr), so they go after the ROLLBACK.
class Statements
{
public:
    explicit Statements(const QSqlDatabase &db)
        : m_db(db)
    { }
    QSqlQuery &add() { return m_queries.emplace_back(m_db); }

private:
    QSqlDatabase m_db;
    std::list<QSqlQuery> m_queries;
};

// Runs `work` in one transaction, and again from the start while another
// writer was in the way, within the policy's bound. SQLite's BEGIN IMMEDIATE
// takes the write lock at once, so that two writers cannot both read and
// then both wait for each other's lock.
SqlOutcome transact(const QSqlDatabase &db, DatabaseUrl::Backend backend, const RetryPolicy &policy,
    const std::function<SqlOutcome(Statements &)> &work);

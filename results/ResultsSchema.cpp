#include "ResultsSchema.h"

#include "DatabaseConnection.h"
#include "RecordColumns.h"
#include "Transaction.h"
#include "Version.h"

#include <QSqlQuery>

namespace {

using Backend = DatabaseUrl::Backend;

// Serialises schema creation and upgrades on a PostgreSQL server: any number
// of stations may open a new database at once. The bytes spell "adtestdb".
constexpr qint64 schemaLockKey = 0x6164746573746462;

QString recordTable(const QString &name, Backend backend)
{
    const QString id = backend == Backend::Sqlite
        ? QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")
        : QStringLiteral("BIGSERIAL PRIMARY KEY");
    return QStringLiteral("CREATE TABLE %1 (id %2, %3)")
        .arg(name, id, recordColumns().definitions(ResultsSchema::version));
}

QStringList recordIndexes()
{
    return {
        QStringLiteral("CREATE INDEX test_record_time ON test_record (start_time, id)"),
        QStringLiteral("CREATE INDEX test_record_lot ON test_record (lot, start_time)"),
    };
}

template<typename Child> QString childTable(const ColumnTable<Child> &columns)
{
    return QStringLiteral(
        "CREATE TABLE %1 (record_id BIGINT NOT NULL REFERENCES test_record (id) ON DELETE "
        "CASCADE, seq INTEGER NOT NULL, %2, PRIMARY KEY (record_id, seq))")
        .arg(columns.table(), columns.definitions(ResultsSchema::version));
}

// A record read from a port was a capture, one read from a file an analysis.
const QString originOfOldRecord = QStringLiteral(
    "CASE WHEN port <> '' THEN 'capture' WHEN input_file <> '' THEN 'analysis' END");

SqlOutcome setInfo(QSqlQuery &query, Backend backend, const QString &key, const QString &value)
{
    query.prepare(QStringLiteral("INSERT INTO schema_info (key, value) VALUES (?, ?) "
                                 "ON CONFLICT (key) DO UPDATE SET value = excluded.value"));
    query.addBindValue(key);
    query.addBindValue(value);
    return run(query, backend);
}

// `table` is one of this file's names, so it goes into the statement as it is:
// a prepared statement's end would fail in an aborted transaction.
bool tableExists(const QSqlDatabase &db, Backend backend, const QString &table, SqlOutcome &failure)
{
    QSqlQuery query(db);
    failure = run(query,
        (backend == Backend::Sqlite
                ? QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                 "AND name = '%1'")
                : QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = "
                                 "current_schema() AND tablename = '%1'"))
            .arg(table),
        backend);
    return !failure && query.next() && query.value(0).toInt() > 0;
}

// The schema version the database holds: 0 when it holds no results schema.
int storedVersion(const QSqlDatabase &db, Backend backend, SqlOutcome &failure)
{
    if (!tableExists(db, backend, QStringLiteral("schema_info"), failure)) {
        if (!failure && tableExists(db, backend, QStringLiteral("test_record"), failure))
            failure = SqlFailure {QStringLiteral("it has a test_record table but no schema_info; "
                                                 "it was not made by this program")};
        return 0;
    }
    QSqlQuery query(db);
    failure = run(query, "SELECT value FROM schema_info WHERE key = 'schema_version'", backend);
    bool number = false;
    const int stored = !failure && query.next() ? query.value(0).toString().toInt(&number) : 0;
    if (!failure && (!number || stored < 1))
        failure = SqlFailure {QStringLiteral("its schema_info names no schema version")};
    return stored;
}

} // namespace

QString ResultsSchema::prepare(bool writable, bool *unavailable) const
{
    SqlOutcome failed = configure(writable);
    QString why = failed ? m_connection.failure(QStringLiteral("cannot open"), failed->text)
        : writable       ? createOrUpgrade(failed)
                         : check();
    if (unavailable)
        *unavailable = failed && failed->unavailable;
    if (!why.isEmpty())
        return why;
    // Only now: with foreign keys on, SQLite's upgrade could not replace
    // test_record without deleting every row that refers to it.
    QSqlQuery query(m_connection.database());
    if (m_connection.backend() == Backend::Sqlite)
        if (const SqlOutcome failed = run(query, "PRAGMA foreign_keys = ON", Backend::Sqlite))
            return m_connection.failure(QStringLiteral("cannot open"), failed->text);
    return {};
}

SqlOutcome ResultsSchema::configure(bool writable) const
{
    const Backend backend = m_connection.backend();
    QSqlQuery query(m_connection.database());
    if (backend == Backend::Postgres) // CREATE TABLE IF NOT EXISTS is quiet about tables there
        return run(query, "SET client_min_messages TO warning", backend);
    if (!writable)
        return {};
    // A rollback journal, not WAL: its journal lasts one transaction, so no
    // file of one user stays beside the database to refuse another user's
    // writes, and it works on a network file system; readers need no file
    // of their own. A database an older version put in WAL mode goes back
    // when a writer finds itself alone with it; until then it stays in WAL.
    const SqlOutcome outcome = run(query, "PRAGMA journal_mode = DELETE", backend);
    return outcome && !outcome->retry ? outcome : run(query, "PRAGMA foreign_keys = OFF", backend);
}

QString ResultsSchema::check() const
{
    SqlOutcome failed;
    const int stored = storedVersion(m_connection.database(), m_connection.backend(), failed);
    if (failed)
        return m_connection.failure(QStringLiteral("cannot read"), failed->text);
    if (stored > version)
        return newerSchema(stored);
    if (stored == 0)
        return m_connection.failure(
            QStringLiteral("cannot read"), QStringLiteral("it holds no test records"));
    if (stored < version)
        return m_connection.failure(QStringLiteral("cannot read"),
            QStringLiteral("its schema version is %1, this program reads %2; "
                           "open it for writing once to upgrade it")
                .arg(stored)
                .arg(version));
    return {};
}

QString ResultsSchema::newerSchema(int stored) const
{
    return m_connection.failure(QStringLiteral("cannot use"),
        QStringLiteral(
            "the database has schema version %1, newer than this program's %2: use a newer adtest")
            .arg(stored)
            .arg(version));
}

QString ResultsSchema::createOrUpgrade(SqlOutcome &outcome) const
{
    const QSqlDatabase db = m_connection.database();
    const Backend backend = m_connection.backend();
    int newer = 0;
    outcome = transact(
        db, backend, m_connection.retryPolicy(), [&](Statements &statements) -> SqlOutcome {
            if (backend == Backend::Postgres)
                if (SqlOutcome failed = run(statements.add(),
                        QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(schemaLockKey),
                        backend))
                    return failed;
            SqlOutcome failed;
            const int stored = storedVersion(db, backend, failed);
            if (failed || stored == version)
                return failed;
            if (stored > version) {
                newer = stored;
                return SqlFailure {QStringLiteral("newer schema")};
            }
            return apply(statements, stored);
        });
    if (newer > 0) {
        outcome.reset();
        return newerSchema(newer);
    }
    if (outcome)
        return m_connection.failure(QStringLiteral("cannot prepare"), outcome->text);
    return {};
}

SqlOutcome ResultsSchema::apply(Statements &statements, int from) const
{
    const Backend backend = m_connection.backend();
    QSqlQuery &step = statements.add();
    for (const QString &statement : from == 0 ? createStatements() : upgradeStatements(from))
        if (SqlOutcome failed = run(step, statement, backend))
            return failed;
    if (SqlOutcome failed
        = setInfo(statements.add(), backend, "schema_version", QString::number(version)))
        return failed;
    return setInfo(statements.add(), backend,
        from == 0 ? "created_by_version" : "upgraded_by_version",
        QString::fromLatin1(adtestVersion));
}

QStringList ResultsSchema::createStatements() const
{
    return QStringList {
               QStringLiteral(
                   "CREATE TABLE schema_info (key TEXT PRIMARY KEY, value TEXT NOT NULL)"),
               recordTable(QStringLiteral("test_record"), m_connection.backend()),
           }
    + recordIndexes()
        + QStringList {
            QStringLiteral("CREATE UNIQUE INDEX test_record_uid ON test_record (record_uid)"),
            childTable(figureColumns()),
            childTable(limitColumns()),
            childTable(outputColumns()),
        };
}

QStringList ResultsSchema::upgradeStatements(int from) const
{
    const ColumnTable<TestRecord> &record = recordColumns();
    const auto addColumns = [](const auto &table, int since) {
        QStringList sql;
        for (const auto &column : table.columns())
            if (column.since == since)
                sql << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                           .arg(table.table(), column.name, column.type);
        return sql;
    };
    QStringList sql;
    if (from < 2)
        sql << addColumns(record, 2) << childTable(outputColumns());
    sql << addColumns(limitColumns(), 3);

    for (const auto &[old, key] : legacyFigureNames)
        sql << QStringLiteral("UPDATE record_figure SET name = '%2' WHERE name = '%1'")
                   .arg(QLatin1String(old), QLatin1String(key))
            << QStringLiteral("UPDATE record_limit SET figure = '%2' WHERE figure = '%1'")
                   .arg(QLatin1String(old), QLatin1String(key));
    if (m_connection.backend() == Backend::Postgres) {
        sql << addColumns(record, 3)
            << QStringLiteral("UPDATE test_record SET record_uid = md5(random()::text || id), "
                              "origin = %1")
                   .arg(originOfOldRecord)
            << QStringLiteral("ALTER TABLE test_record ALTER COLUMN pass DROP NOT NULL");
    } else {
        // SQLite cannot make a column nullable: the table is made anew, in
        // the way its manual gives, while foreign keys are off.
        const QString kept = record.names({}, 2);
        sql << recordTable(QStringLiteral("test_record_new"), Backend::Sqlite)
            << QStringLiteral("INSERT INTO test_record_new (id, %1, record_uid, origin) "
                              "SELECT id, %1, lower(hex(randomblob(16))), %2 FROM test_record")
                   .arg(kept, originOfOldRecord)
            << QStringLiteral("DROP TABLE test_record")
            << QStringLiteral("ALTER TABLE test_record_new RENAME TO test_record")
            << recordIndexes();
    }
    return sql << QStringLiteral("CREATE UNIQUE INDEX test_record_uid ON test_record (record_uid)");
}

std::map<QString, QString> ResultsSchema::info() const
{
    std::map<QString, QString> info;
    QSqlQuery query(m_connection.database());
    if (query.exec(QStringLiteral("SELECT key, value FROM schema_info")))
        while (query.next())
            info[query.value(0).toString()] = query.value(1).toString();
    return info;
}

#include "ResultsDatabase.h"

#include "IsoTime.h"
#include "Version.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QTimeZone>
#include <QVariant>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <list>
#include <unordered_map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Backend = DatabaseUrl::Backend;

// How often a transaction is tried when another writer is in the way, and
// how long SQLite waits for its lock each time.
constexpr int attempts = 8;
constexpr int sqliteBusyTimeoutMs = 10000;
// Serialises schema creation and upgrades on a PostgreSQL server: any number
// of stations may open a new database at once. The bytes spell "adtestdb".
constexpr qint64 schemaLockKey = 0x6164746573746462;

std::atomic<unsigned> connectionCount {0};

// A statement that failed, and whether running its transaction again may
// succeed.
struct Failure
{
    QString text;
    bool retry = false;
};
using Outcome = std::optional<Failure>;

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

QString firstLine(const QString &text)
{
    QString line = text.trimmed().section(u'\n', 0, 0).trimmed();
    // PostgreSQL's severity adds nothing a reader needs.
    for (const auto prefix : {QLatin1String("ERROR:"), QLatin1String("FATAL:")})
        if (line.startsWith(prefix))
            line = line.mid(prefix.size()).trimmed();
    return line;
}

Failure fromSql(const QSqlError &error, Backend backend)
{
    const QString code = error.nativeErrorCode();
    bool retry = false;
    if (backend == Backend::Sqlite) {
        const int primary = code.toInt() & 0xff; // the extended code's low byte
        retry = primary == 5 || primary == 6; // SQLITE_BUSY, SQLITE_LOCKED
    } else {
        retry = code == QLatin1String("40001") || code == QLatin1String("40P01");
    }
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return {firstLine(text), retry};
}

Outcome run(QSqlQuery &query, const QString &sql, Backend backend)
{
    if (!query.exec(sql))
        return fromSql(query.lastError(), backend);
    return {};
}

Outcome run(QSqlQuery &query, Backend backend)
{
    if (!query.exec())
        return fromSql(query.lastError(), backend);
    return {};
}

// Runs `work` in one transaction, and again from the start while the
// database says another writer was in the way. SQLite's BEGIN IMMEDIATE takes
// the write lock at once, so that two writers cannot both read and then both
// wait for each other's lock.
Outcome transact(
    QSqlDatabase &db, Backend backend, const std::function<Outcome(Statements &)> &work)
{
    for (int attempt = 1;; ++attempt) {
        Statements statements(db);
        QSqlQuery &query = statements.add();
        Outcome failure
            = run(query, backend == Backend::Sqlite ? "BEGIN IMMEDIATE" : "BEGIN", backend);
        if (!failure)
            failure = work(statements);
        if (!failure)
            failure = run(query, "COMMIT", backend);
        if (!failure)
            return {};
        query.exec(QStringLiteral("ROLLBACK"));
        if (!failure->retry || attempt == attempts)
            return failure;
        QThread::msleep(QRandomGenerator::global()->bounded(10, 50) * attempt);
    }
}

QString schemaTable()
{
    return QStringLiteral("CREATE TABLE schema_info (key TEXT PRIMARY KEY, value TEXT NOT NULL)");
}

// Version 2: the record with its limits' name and revision, and the files
// the test wrote. Times are ISO 8601 UTC text, which sorts as time does; a
// NULL figure value is NaN, a NULL measured limit value one not measured.
QStringList currentSchema(Backend backend)
{
    const QString id = backend == Backend::Sqlite
        ? QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")
        : QStringLiteral("BIGSERIAL PRIMARY KEY");
    const QString recordId
        = QStringLiteral("record_id BIGINT NOT NULL REFERENCES test_record (id) ON DELETE CASCADE, "
                         "seq INTEGER NOT NULL, ");
    return {
        schemaTable(),
        QStringLiteral("CREATE TABLE test_record (id %1, "
                       "board_serial TEXT NOT NULL, lot TEXT NOT NULL, part TEXT NOT NULL, "
                       "operator_name TEXT NOT NULL, station TEXT NOT NULL, "
                       "program TEXT NOT NULL, program_version TEXT NOT NULL, "
                       "start_time TEXT NOT NULL, end_time TEXT NOT NULL, "
                       "port TEXT NOT NULL, input_file TEXT NOT NULL, frames BIGINT NOT NULL, "
                       "kind TEXT NOT NULL, pass BOOLEAN NOT NULL, exit_status INTEGER NOT NULL, "
                       "limits_file TEXT NOT NULL, limits_sha256 TEXT NOT NULL, "
                       "limits_name TEXT NOT NULL DEFAULT '', "
                       "limits_revision TEXT NOT NULL DEFAULT '')")
            .arg(id),
        QStringLiteral("CREATE INDEX test_record_time ON test_record (start_time, id)"),
        QStringLiteral("CREATE INDEX test_record_lot ON test_record (lot, start_time)"),
        QStringLiteral("CREATE TABLE record_figure (%1name TEXT NOT NULL, value DOUBLE PRECISION, "
                       "PRIMARY KEY (record_id, seq))")
            .arg(recordId),
        QStringLiteral("CREATE TABLE record_limit (%1name TEXT NOT NULL, figure TEXT NOT NULL, "
                       "limit_value DOUBLE PRECISION, is_upper BOOLEAN NOT NULL, "
                       "value DOUBLE PRECISION, pass BOOLEAN NOT NULL, source TEXT NOT NULL, "
                       "PRIMARY KEY (record_id, seq))")
            .arg(recordId),
        QStringLiteral("CREATE TABLE record_output (%1role TEXT NOT NULL, path TEXT NOT NULL, "
                       "sha256 TEXT NOT NULL, PRIMARY KEY (record_id, seq))")
            .arg(recordId),
    };
}

// Version 1 kept neither the limits' name and revision nor the outputs.
QStringList upgradeFromVersion1()
{
    return {
        QStringLiteral("ALTER TABLE test_record ADD COLUMN limits_name TEXT NOT NULL DEFAULT ''"),
        QStringLiteral(
            "ALTER TABLE test_record ADD COLUMN limits_revision TEXT NOT NULL DEFAULT ''"),
        currentSchema(Backend::Sqlite).last(), // the same in both dialects
    };
}

Outcome setInfo(QSqlQuery &query, Backend backend, const QString &key, const QString &value)
{
    query.prepare(QStringLiteral("INSERT INTO schema_info (key, value) VALUES (?, ?) "
                                 "ON CONFLICT (key) DO UPDATE SET value = excluded.value"));
    query.addBindValue(key);
    query.addBindValue(value);
    return run(query, backend);
}

// `table` is one of this file's names, so it goes into the statement as it is:
// a prepared statement's end would fail in an aborted transaction.
bool tableExists(QSqlDatabase &db, Backend backend, const QString &table, Outcome &failure)
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
int storedVersion(QSqlDatabase &db, Backend backend, Outcome &failure)
{
    if (!tableExists(db, backend, QStringLiteral("schema_info"), failure)) {
        if (!failure && tableExists(db, backend, QStringLiteral("test_record"), failure))
            failure = Failure {QStringLiteral("it has a test_record table but no schema_info; "
                                              "it was not made by this program")};
        return 0;
    }
    QSqlQuery query(db);
    failure = run(query, "SELECT value FROM schema_info WHERE key = 'schema_version'", backend);
    bool number = false;
    const int version = !failure && query.next() ? query.value(0).toString().toInt(&number) : 0;
    if (!failure && (!number || version < 1))
        failure = Failure {QStringLiteral("its schema_info names no schema version")};
    return version;
}

// "2026-12-08T08:24:26.123Z" for any ISO 8601 date and time; a time without
// an offset is taken as UTC. Empty when `text` is not one.
QString utcTime(const std::string &text)
{
    QDateTime time
        = QDateTime::fromString(QString::fromStdString(text).trimmed(), Qt::ISODateWithMs);
    if (!time.isValid())
        return {};
    if (time.timeSpec() == Qt::LocalTime)
        time = QDateTime(time.date(), time.time(), QTimeZone::utc());
    return QString::fromStdString(isoTime(time));
}

// Never a null QString: Qt binds that as NULL.
QVariant text(const std::string &value)
{
    return value.empty() ? QStringLiteral("") : QString::fromStdString(value);
}

// NaN has no place in SQLite's REAL: it is stored as NULL.
QVariant number(double value)
{
    return std::isnan(value) ? QVariant(QMetaType::fromType<double>()) : QVariant(value);
}

double numberAt(const QSqlQuery &query, int column)
{
    const QVariant value = query.value(column);
    return value.isNull() ? std::nan("") : value.toDouble();
}

std::string textAt(const QSqlQuery &query, int column)
{
    return query.value(column).toString().toStdString();
}

// Opens the file once as the library will, so that a failure has the
// system's reason ("Permission denied", "Not a directory") rather than
// SQLite's "unable to open database file". O_NONBLOCK: a FIFO must not hang it.
QString probeFile(const QString &path, bool create)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
        (create ? O_RDWR | O_CREAT : O_RDONLY) | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    struct stat status
    { };
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    ::close(fd);
    return regular ? QString() : QStringLiteral("not a regular file");
}

// The reason libpq gave for a failed connection, without its "connection to
// server at ... failed:" preamble; `answered` tells whether the server itself
// refused.
QString connectionReason(const QSqlError &error, bool &answered)
{
    QString reason
        = (error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed();
    answered = reason.contains(QLatin1String("FATAL:"));
    if (const int at = reason.indexOf(QLatin1String("failed: ")); at >= 0)
        reason = reason.mid(at + 8);
    return firstLine(reason);
}

} // namespace

ResultsDatabase::ResultsDatabase() = default;

ResultsDatabase::~ResultsDatabase()
{
    close();
}

void ResultsDatabase::close()
{
    if (m_connection.isEmpty())
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
}

QString ResultsDatabase::failure(const QString &doing, const QString &why) const
{
    const QString place
        = m_url.backend == Backend::Sqlite ? m_url.path : QStringLiteral("at ") + m_url.where();
    return QStringLiteral("%1 the results database %2: %3").arg(doing, place, why);
}

QString ResultsDatabase::open(const DatabaseUrl &url, Access access)
{
    close();
    m_url = url;
    const bool sqlite = url.backend == Backend::Sqlite;
    if (sqlite) {
        if (access == Access::ReadOnly && !QFileInfo::exists(url.path))
            return failure(QStringLiteral("cannot read"), QStringLiteral("there is no such file"));
        if (access == Access::ReadWrite)
            QDir().mkpath(QFileInfo(url.path).absolutePath()); // the probe says what failed
        if (const QString why = probeFile(url.path, access == Access::ReadWrite); !why.isEmpty())
            return failure(QStringLiteral("cannot open"), why);
    }

    const QString name = QStringLiteral("results-%1").arg(++connectionCount);
    QSqlDatabase db = QSqlDatabase::addDatabase(sqlite ? "QSQLITE" : "QPSQL", name);
    m_connection = name;
    if (!db.isValid()) {
        db = {};
        close();
        return failure(QStringLiteral("cannot open"),
            sqlite
                ? QStringLiteral("Qt's SQLite driver is missing (Debian package libqt6sql6-sqlite)")
                : QStringLiteral(
                    "Qt's PostgreSQL driver is missing (Debian package libqt6sql6-psql)"));
    }
    if (sqlite) {
        db.setDatabaseName(url.path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
                                 .arg(sqliteBusyTimeoutMs)
                                 .arg(access == Access::ReadOnly ? ";QSQLITE_OPEN_READONLY" : ""));
    } else {
        db.setHostName(url.host);
        db.setPort(url.port);
        db.setDatabaseName(url.database);
        db.setUserName(url.user);
        db.setPassword(url.password);
        // A server that does not answer is an error after seconds, not minutes.
        db.setConnectOptions(QStringLiteral("connect_timeout=10;application_name=adtest"));
    }
    if (!db.open()) {
        QString why;
        if (sqlite) {
            why = failure(QStringLiteral("cannot open"), fromSql(db.lastError(), url.backend).text);
        } else {
            bool answered = false;
            const QString reason = connectionReason(db.lastError(), answered);
            const QString user = url.user.isEmpty() ? QStringLiteral("(the login name)") : url.user;
            if (reason.contains(QLatin1String("password authentication failed")))
                why = QStringLiteral("the results database at %1 refused the password of user %2")
                          .arg(url.where(), user);
            else if (reason.contains(QLatin1String("no password supplied")))
                why = QStringLiteral("the results database at %1 wants a password for user %2: "
                                     "give it in the URL or in PGPASSWORD")
                          .arg(url.where(), user);
            else if (answered)
                why = failure(QStringLiteral("cannot open"), reason);
            else
                why = QStringLiteral("cannot reach the results database at %1:%2: %3")
                          .arg(url.host)
                          .arg(url.port)
                          .arg(reason);
        }
        db = {};
        close();
        return why;
    }
    db = {};
    if (const QString why = prepareSchema(access); !why.isEmpty()) {
        close();
        return why;
    }
    return {};
}

QString ResultsDatabase::prepareSchema(Access access)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const Backend backend = m_url.backend;
    QSqlQuery query(db);
    Outcome outcome;
    if (backend == Backend::Postgres) {
        // CREATE TABLE IF NOT EXISTS is quiet about tables already there.
        outcome = run(query, "SET client_min_messages TO warning", backend);
    } else if (access == Access::ReadWrite) {
        // Readers then do not wait for a writer, nor it for them. The mode is
        // kept in the file; setting it needs a moment without other writers.
        for (int attempt = 1; attempt <= attempts; ++attempt) {
            outcome = run(query, "PRAGMA journal_mode = WAL", backend);
            if (!outcome || !outcome->retry)
                break;
            QThread::msleep(20 * attempt);
        }
    }
    if (!outcome && backend == Backend::Sqlite)
        outcome = run(query, "PRAGMA foreign_keys = ON", backend);
    if (outcome)
        return failure(QStringLiteral("cannot open"), outcome->text);

    if (access == Access::ReadOnly) {
        const int version = storedVersion(db, backend, outcome);
        if (outcome)
            return failure(QStringLiteral("cannot read"), outcome->text);
        if (version != schemaVersion)
            return failure(QStringLiteral("cannot read"),
                version == 0 ? QStringLiteral("it holds no test records")
                             : QStringLiteral("its schema version is %1, this program reads %2; "
                                              "open it for writing once to upgrade it")
                                   .arg(version)
                                   .arg(schemaVersion));
        return {};
    }

    outcome = transact(db, backend, [&](Statements &statements) -> Outcome {
        QSqlQuery &step = statements.add();
        if (backend == Backend::Postgres)
            if (Outcome failed = run(step,
                    QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(schemaLockKey), backend))
                return failed;
        Outcome failed;
        const int version = storedVersion(db, backend, failed);
        if (failed)
            return failed;
        if (version > schemaVersion)
            return Failure {QStringLiteral("its schema version %1 is newer than this program's %2; "
                                           "use a newer adtest")
                                .arg(version)
                                .arg(schemaVersion)};
        if (version == schemaVersion)
            return {};
        const QStringList ddl = version == 0 ? currentSchema(backend) : upgradeFromVersion1();
        for (const QString &statement : ddl)
            if ((failed = run(step, statement, backend)))
                return failed;
        if ((failed = setInfo(
                 statements.add(), backend, "schema_version", QString::number(schemaVersion))))
            return failed;
        return setInfo(statements.add(), backend,
            version == 0 ? "created_by_version" : "upgraded_by_version",
            QString::fromLatin1(adtestVersion));
    });
    if (outcome)
        return failure(QStringLiteral("cannot prepare"), outcome->text);
    return {};
}

InsertResult ResultsDatabase::insert(const TestRecord &record)
{
    if (!isOpen())
        return {0, QStringLiteral("the results database is not open")};
    const QString start = utcTime(record.startTime);
    const QString end = record.endTime.empty() ? QString() : utcTime(record.endTime);
    if (start.isEmpty() || (end.isEmpty() && !record.endTime.empty()))
        return {0,
            failure(QStringLiteral("cannot store a record in"),
                QStringLiteral("its start or end time is not an ISO 8601 date and time"))};

    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const Backend backend = m_url.backend;
    std::int64_t id = 0;
    const Outcome outcome = transact(db, backend, [&](Statements &statements) -> Outcome {
        QSqlQuery &query = statements.add();
        query.prepare(QStringLiteral(
            "INSERT INTO test_record (board_serial, lot, part, operator_name, station, program, "
            "program_version, start_time, end_time, port, input_file, frames, kind, pass, "
            "exit_status, limits_file, limits_sha256, limits_name, limits_revision) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)%1")
                          .arg(backend == Backend::Postgres ? " RETURNING id" : ""));
        const BoardIdentity &board = record.identity;
        for (const auto *field : {&board.serial, &board.lot, &board.part, &board.operatorName,
                 &board.station, &record.program, &record.programVersion})
            query.addBindValue(text(*field));
        query.addBindValue(start);
        query.addBindValue(end.isNull() ? QStringLiteral("") : end);
        query.addBindValue(text(record.port));
        query.addBindValue(text(record.inputFile));
        query.addBindValue(qlonglong(record.frames));
        query.addBindValue(text(record.kind));
        query.addBindValue(record.pass);
        query.addBindValue(record.exitStatus);
        for (const auto *field :
            {&record.limitsFile, &record.limitsSha256, &record.limitsName, &record.limitsRevision})
            query.addBindValue(text(*field));
        if (Outcome failed = run(query, backend))
            return failed;
        id = backend == Backend::Postgres ? (query.next() ? query.value(0).toLongLong() : 0)
                                          : query.lastInsertId().toLongLong();
        if (id <= 0)
            return Failure {QStringLiteral("the database gave the record no id")};

        const auto rows
            = [&](const QString &sql, std::size_t count,
                  const std::function<void(QSqlQuery &, std::size_t)> &bind) -> Outcome {
            QSqlQuery &row = statements.add();
            row.prepare(sql);
            for (std::size_t k = 0; k < count; ++k) {
                row.addBindValue(qlonglong(id));
                row.addBindValue(int(k));
                bind(row, k);
                if (Outcome failed = run(row, backend))
                    return failed;
            }
            return {};
        };
        if (Outcome failed
            = rows("INSERT INTO record_figure (record_id, seq, name, value) VALUES (?, ?, ?, ?)",
                record.figures.size(), [&](QSqlQuery &row, std::size_t k) {
                    row.addBindValue(text(record.figures[k].name));
                    row.addBindValue(number(record.figures[k].value));
                }))
            return failed;
        if (Outcome failed = rows("INSERT INTO record_limit (record_id, seq, name, figure, "
                                  "limit_value, is_upper, value, pass, source) "
                                  "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                record.limits.size(), [&](QSqlQuery &row, std::size_t k) {
                    const RecordedLimit &limit = record.limits[k];
                    row.addBindValue(text(limit.name));
                    row.addBindValue(text(limit.figure));
                    row.addBindValue(number(limit.limit));
                    row.addBindValue(limit.upper);
                    row.addBindValue(number(limit.value.value_or(std::nan(""))));
                    row.addBindValue(limit.pass);
                    row.addBindValue(text(limit.source));
                }))
            return failed;
        return rows("INSERT INTO record_output (record_id, seq, role, path, sha256) "
                    "VALUES (?, ?, ?, ?, ?)",
            record.outputs.size(), [&](QSqlQuery &row, std::size_t k) {
                row.addBindValue(text(record.outputs[k].role));
                row.addBindValue(text(record.outputs[k].path));
                row.addBindValue(text(record.outputs[k].sha256));
            });
    });
    if (outcome)
        return {0, failure(QStringLiteral("cannot store a record in"), outcome->text)};
    return {id, {}};
}

LoadResult ResultsDatabase::load(const RecordFilter &filter) const
{
    LoadResult result;
    if (!isOpen()) {
        result.error = QStringLiteral("the results database is not open");
        return result;
    }
    QString since;
    if (filter.since && (since = utcTime(*filter.since)).isEmpty()) {
        result.error = QStringLiteral("since '%1': not an ISO 8601 date or date and time")
                           .arg(QString::fromStdString(*filter.since));
        return result;
    }
    QStringList conditions {QStringLiteral("1 = 1")};
    if (filter.lot)
        conditions << QStringLiteral("r.lot = ?");
    if (filter.since)
        conditions << QStringLiteral("r.start_time >= ?");
    const QString where = QStringLiteral(" WHERE ") + conditions.join(QLatin1String(" AND "));

    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const auto select = [&](const QString &sql, QSqlQuery &query) -> Outcome {
        query.setForwardOnly(true);
        query.prepare(sql);
        if (filter.lot)
            query.addBindValue(text(*filter.lot));
        if (filter.since)
            query.addBindValue(since);
        return run(query, m_url.backend);
    };

    std::unordered_map<std::int64_t, std::size_t> index;
    {
        QSqlQuery query(db);
        if (const Outcome failed = select(
                "SELECT r.id, r.board_serial, r.lot, r.part, r.operator_name, r.station, "
                "r.program, "
                "r.program_version, r.start_time, r.end_time, r.port, r.input_file, r.frames, "
                "r.kind, r.pass, r.exit_status, r.limits_file, r.limits_sha256, r.limits_name, "
                "r.limits_revision FROM test_record r"
                    + where + " ORDER BY r.start_time, r.id",
                query)) {
            result.error = failure(QStringLiteral("cannot read"), failed->text);
            return result;
        }
        while (query.next()) {
            TestRecord &record = result.records.emplace_back();
            record.id = query.value(0).toLongLong();
            std::string *const fields[] = {&record.identity.serial, &record.identity.lot,
                &record.identity.part, &record.identity.operatorName, &record.identity.station,
                &record.program, &record.programVersion, &record.startTime, &record.endTime,
                &record.port, &record.inputFile};
            for (int k = 0; k < 11; ++k)
                *fields[k] = textAt(query, k + 1);
            record.frames = query.value(12).toLongLong();
            record.kind = textAt(query, 13);
            record.pass = query.value(14).toBool();
            record.exitStatus = query.value(15).toInt();
            record.limitsFile = textAt(query, 16);
            record.limitsSha256 = textAt(query, 17);
            record.limitsName = textAt(query, 18);
            record.limitsRevision = textAt(query, 19);
            index[record.id] = result.records.size() - 1;
        }
    }

    // Each table's rows for the same records in one query. A record stored
    // since the query above is not among them and its rows are passed over.
    const auto children = [&](const QString &table, const QString &columns,
                              const std::function<void(TestRecord &, const QSqlQuery &)> &add) {
        QSqlQuery query(db);
        if (const Outcome failed = select(QStringLiteral("SELECT c.record_id, %1 FROM %2 c "
                                                         "JOIN test_record r ON r.id = c.record_id")
                                              .arg(columns, table)
                    + where + " ORDER BY c.record_id, c.seq",
                query))
            return failed->text;
        while (query.next())
            if (const auto found = index.find(query.value(0).toLongLong()); found != index.end())
                add(result.records[found->second], query);
        return QString();
    };
    QString why
        = children("record_figure", "c.name, c.value", [](TestRecord &r, const QSqlQuery &q) {
              r.figures.push_back({textAt(q, 1), numberAt(q, 2)});
          });
    if (why.isEmpty())
        why = children("record_limit",
            "c.name, c.figure, c.limit_value, c.is_upper, c.value, c.pass, c.source",
            [](TestRecord &r, const QSqlQuery &q) {
                RecordedLimit limit {textAt(q, 1), textAt(q, 2), numberAt(q, 3),
                    q.value(4).toBool(), std::nullopt, q.value(6).toBool(), textAt(q, 7)};
                if (!q.value(5).isNull())
                    limit.value = q.value(5).toDouble();
                r.limits.push_back(std::move(limit));
            });
    if (why.isEmpty())
        why = children(
            "record_output", "c.role, c.path, c.sha256", [](TestRecord &r, const QSqlQuery &q) {
                r.outputs.push_back({textAt(q, 1), textAt(q, 2), textAt(q, 3)});
            });
    if (!why.isEmpty()) {
        result.records.clear();
        result.error = failure(QStringLiteral("cannot read"), why);
    }
    return result;
}

std::map<QString, QString> ResultsDatabase::schemaInfo() const
{
    std::map<QString, QString> info;
    if (!isOpen())
        return info;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (query.exec(QStringLiteral("SELECT key, value FROM schema_info")))
        while (query.next())
            info[query.value(0).toString()] = query.value(1).toString();
    return info;
}

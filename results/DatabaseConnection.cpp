#include "DatabaseConnection.h"

#include "SqlOutcome.h"
#include "SqliteReadOnlyFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<unsigned> connectionCount {0};

// Opens the file once as the library will, so that a failure has the
// system's reason ("Permission denied", "Not a directory") rather than
// SQLite's "unable to open database file".
QString probeWritable(const QString &path)
{
    QString why;
    if (const int fd = SqliteReadOnlyFile::openRegular(path, O_RDWR | O_CREAT, why); fd >= 0)
        ::close(fd);
    return why;
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

DatabaseConnection::~DatabaseConnection()
{
    close();
}

void DatabaseConnection::close()
{
    if (m_name.isEmpty())
        return;
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
    m_name.clear();
    m_readOnlyFile.close();
}

QSqlDatabase DatabaseConnection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

QString DatabaseConnection::failure(const QString &doing, const QString &why) const
{
    const QString place = m_url.backend == DatabaseUrl::Backend::Sqlite
        ? m_url.path
        : QStringLiteral("at ") + m_url.where();
    return masked(QStringLiteral("%1 the results database %2: %3").arg(doing, place, why));
}

QString DatabaseConnection::open(const DatabaseUrl &url, bool readOnly)
{
    close();
    m_url = url;
    m_mask = PasswordMask(url.password);
    m_unreachable = false;
    const bool sqlite = url.backend == DatabaseUrl::Backend::Sqlite;
    // SQLite retries only while another program holds its lock.
    m_retry = RetryPolicy(m_policy.waitMs(), [this, sqlite](const QString &why) {
        if (m_policy.waiting())
            m_policy.waiting()(failure(QStringLiteral("waiting for"),
                sqlite ? QStringLiteral("locked by another program") : why));
    });
    if (sqlite) {
        if (readOnly && !QFileInfo::exists(url.path))
            return failure(QStringLiteral("cannot read"), QStringLiteral("there is no such file"));
        if (!readOnly)
            QDir().mkpath(QFileInfo(url.path).absolutePath()); // the probe says what failed
        if (const QString why
            = readOnly ? m_readOnlyFile.open(url.path, m_retry.waitMs()) : probeWritable(url.path);
            !why.isEmpty())
            return failure(QStringLiteral("cannot open"), why);
    }

    const QString name = QStringLiteral("results-%1").arg(++connectionCount);
    QSqlDatabase db = QSqlDatabase::addDatabase(sqlite ? "QSQLITE" : "QPSQL", name);
    m_name = name;
    if (!db.isValid()) {
        db = {};
        close();
        return driverMissing();
    }
    if (sqlite) {
        db.setDatabaseName(readOnly ? m_readOnlyFile.uri() : url.path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
                                 .arg(m_retry.sqliteBusyTimeoutMs())
                                 .arg(readOnly ? ";QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI" : ""));
    } else {
        db.setHostName(url.host);
        db.setPort(url.port);
        db.setDatabaseName(url.database);
        db.setUserName(url.user);
        db.setPassword(url.password);
        // A server that does not answer is an error after seconds, not minutes.
        db.setConnectOptions(QStringLiteral("connect_timeout=%1;application_name=adtest")
                                 .arg(m_retry.connectTimeoutSeconds()));
    }
    // A server busy now (too many clients) is asked again within the bound.
    RetryPolicy::Attempts attempts(m_retry);
    while (!db.open()) {
        bool answered = false;
        const QString reason = connectionReason(db.lastError(), answered);
        const bool busy = !sqlite && RetryPolicy::serverBusy(reason);
        if (busy && attempts.again(reason))
            continue;
        const QString why = connectFailure();
        // A refusal of the password comes from libpq, not the server.
        m_unreachable
            = !sqlite && (busy || (!answered && !reason.contains(QLatin1String("password"))));
        db = {};
        close();
        return why;
    }
    if (readOnly && sqlite) {
        // The library reads lazily: this read makes it open the -wal file
        // and take its own lock. A failure shows in the schema's check.
        QSqlQuery(QStringLiteral("SELECT count(*) FROM sqlite_master"), db);
        m_readOnlyFile.libraryHasRead();
    }
    return {};
}

bool DatabaseConnection::lost() const
{
    if (!isOpen() || m_url.backend != DatabaseUrl::Backend::Postgres)
        return false;
    QSqlQuery query(database());
    return !query.exec(QStringLiteral("SELECT 1"));
}

QString DatabaseConnection::driverMissing() const
{
    return failure(QStringLiteral("cannot open"),
        m_url.backend == DatabaseUrl::Backend::Sqlite
            ? QStringLiteral("Qt's SQLite driver is missing (Debian package libqt6sql6-sqlite)")
            : QStringLiteral("Qt's PostgreSQL driver is missing (Debian package libqt6sql6-psql)"));
}

QString DatabaseConnection::connectFailure() const
{
    const QSqlError error = database().lastError();
    if (m_url.backend == DatabaseUrl::Backend::Sqlite)
        return failure(QStringLiteral("cannot open"), sqlFailure(error, m_url.backend).text);
    bool answered = false;
    const QString reason = connectionReason(error, answered);
    const QString user = m_url.user.isEmpty() ? QStringLiteral("(the login name)") : m_url.user;
    QString why;
    if (reason.contains(QLatin1String("password authentication failed")))
        why = QStringLiteral("the results database at %1 refused the password of user %2")
                  .arg(m_url.where(), user);
    else if (reason.contains(QLatin1String("no password supplied")))
        why = QStringLiteral("the results database at %1 wants a password for user %2: "
                             "give it in the URL or in PGPASSWORD")
                  .arg(m_url.where(), user);
    else if (answered)
        return failure(QStringLiteral("cannot open"), reason);
    else
        why = QStringLiteral("cannot reach the results database at %1:%2: %3")
                  .arg(m_url.host)
                  .arg(m_url.port)
                  .arg(reason);
    return masked(why);
}

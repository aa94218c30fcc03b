#include "RetryPolicy.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QThread>

#include <algorithm>

RetryPolicy::RetryPolicy(int waitMs, Notice waiting)
    : m_waitMs(std::max(waitMs, 0))
    , m_waiting(std::move(waiting))
{ }

bool RetryPolicy::transient(const QSqlError &error, DatabaseUrl::Backend backend)
{
    const QString code = error.nativeErrorCode();
    if (backend == DatabaseUrl::Backend::Sqlite) {
        const int primary = code.toInt() & 0xff; // the extended code's low byte
        return primary == 5 || primary == 6; // SQLITE_BUSY, SQLITE_LOCKED
    }
    return code == QLatin1String("40001") || code == QLatin1String("40P01");
}

bool RetryPolicy::unavailable(const QSqlError &error, DatabaseUrl::Backend backend)
{
    if (transient(error, backend))
        return true;
    if (backend == DatabaseUrl::Backend::Sqlite)
        return false;
    // Class 08 is a connection fault; 57P01 to 57P03 a server shutting down,
    // gone, or not yet accepting connections; 53300 too many connections.
    // A connection lost has no code at all, only libpq's words.
    const QString code = error.nativeErrorCode();
    if (code.startsWith(QLatin1String("08")) || code.startsWith(QLatin1String("57P0"))
        || code == QLatin1String("53300") || error.type() == QSqlError::ConnectionError)
        return true;
    const QString text = error.databaseText() + u' ' + error.driverText();
    return serverBusy(text) || text.contains(QLatin1String("server closed the connection"))
        || text.contains(QLatin1String("no connection to the server"))
        || text.contains(QLatin1String("terminating connection"));
}

bool RetryPolicy::serverBusy(const QString &reason)
{
    for (const auto busy :
        {QLatin1String("too many clients"), QLatin1String("remaining connection slots"),
            QLatin1String("is starting up"), QLatin1String("is shutting down"),
            QLatin1String("not yet accepting connections"), QLatin1String("in recovery mode")})
        if (reason.contains(busy))
            return true;
    return false;
}

int RetryPolicy::sqliteBusyTimeoutMs() const
{
    return std::min(m_waitMs, 1000);
}

int RetryPolicy::connectTimeoutSeconds() const
{
    return std::clamp(m_waitMs / 1000, 2, 10);
}

RetryPolicy::Attempts::Attempts(const RetryPolicy &policy)
    : m_policy(policy)
{
    m_clock.start();
}

bool RetryPolicy::Attempts::again(const QString &why)
{
    const qint64 left = m_policy.m_waitMs - m_clock.elapsed();
    if (left <= 0)
        return false;
    if (m_policy.m_waiting && !*m_policy.m_spoken) {
        *m_policy.m_spoken = true;
        m_policy.m_waiting(why);
    }
    ++m_attempt;
    // 10 to 50 ms for the first retry, more for each after it, up to a second.
    const qint64 pause
        = std::min<qint64>(QRandomGenerator::global()->bounded(10, 50) * (m_attempt - 1),
            std::min<qint64>(left, 1000));
    QThread::msleep(static_cast<unsigned long>(pause));
    return true;
}

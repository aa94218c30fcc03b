#include "RetryPolicy.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QThread>

bool RetryPolicy::transient(const QSqlError &error, DatabaseUrl::Backend backend)
{
    const QString code = error.nativeErrorCode();
    if (backend == DatabaseUrl::Backend::Sqlite) {
        const int primary = code.toInt() & 0xff; // the extended code's low byte
        return primary == 5 || primary == 6; // SQLITE_BUSY, SQLITE_LOCKED
    }
    return code == QLatin1String("40001") || code == QLatin1String("40P01");
}

void RetryPolicy::pauseBefore(int attempt)
{
    QThread::msleep(QRandomGenerator::global()->bounded(10, 50) * (attempt - 1));
}

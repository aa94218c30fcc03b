#include "RecordFilterSql.h"

#include "IsoTime.h"
#include "SqlValue.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>

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

RecordFilterSql recordFilterSql(const RecordFilter &filter, const QString &alias)
{
    RecordFilterSql sql;
    QStringList conditions {QStringLiteral("1 = 1")};
    if (filter.lot) {
        conditions << alias + QStringLiteral("lot = ?");
        sql.values << sqlValue(*filter.lot);
    }
    if (filter.since) {
        const QString since = utcTime(*filter.since);
        if (since.isEmpty())
            sql.error = QStringLiteral("since '%1': not an ISO 8601 date or date and time")
                            .arg(QString::fromStdString(*filter.since));
        conditions << alias + QStringLiteral("start_time >= ?");
        sql.values << since;
    }
    sql.where = QStringLiteral(" WHERE ") + conditions.join(QLatin1String(" AND "));
    return sql;
}

#include "SummaryQuery.h"

#include "DatabaseConnection.h"

#include <QSqlError>
#include <QVariant>

namespace {

const QString commonTables = QStringLiteral(
    "WITH s AS (SELECT r.id, r.lot, r.board_serial, r.station, r.start_time, r.origin, r.pass, "
    "r.exit_status, r.frames, r.input_file, "
    "CASE WHEN r.board_serial = '' THEN r.id ELSE 0 END AS anon, "
    "CASE WHEN r.origin = 'analysis' THEN 1 ELSE 0 END AS analysis FROM test_record r%1), "
    "b AS (SELECT s.*, SUM(1 - s.analysis) OVER (PARTITION BY s.lot, s.board_serial, s.anon) "
    "AS board_captures FROM s), "
    "c AS (SELECT b.*, "
    "ROW_NUMBER() OVER (PARTITION BY b.lot, b.board_serial, b.anon "
    "ORDER BY b.start_time DESC, b.id DESC) AS from_last, "
    "ROW_NUMBER() OVER (PARTITION BY b.lot, b.station, b.board_serial, b.anon "
    "ORDER BY b.start_time DESC, b.id DESC) AS station_last, "
    "COUNT(*) OVER (PARTITION BY b.lot, b.board_serial, b.anon) AS board_tests "
    "FROM b WHERE b.analysis = 0 OR b.board_captures = 0)");

} // namespace

SummaryQuery::SummaryQuery(const DatabaseConnection &connection, const RecordFilter &filter)
    : m_connection(connection)
    , m_filter(recordFilterSql(filter, QStringLiteral("r.")))
    , m_backend(connection.backend())
{ }

SqlOutcome SummaryQuery::select(QSqlQuery &query, const QString &tables, const QString &select,
    const QVariantList &values) const
{
    query.setForwardOnly(true);
    if (!query.prepare(commonTables.arg(m_filter.where) + (tables.isEmpty() ? "" : ", ") + tables
            + ' ' + select))
        return sqlFailure(query.lastError(), m_backend);
    for (const QVariant &value : m_filter.values)
        query.addBindValue(value);
    for (const QVariant &value : values)
        query.addBindValue(value);
    return run(query, m_backend);
}

QSqlDatabase SummaryQuery::database() const
{
    return m_connection.database();
}

QString SummaryQuery::failure(const SqlFailure &failed) const
{
    return m_connection.failure(QStringLiteral("cannot read"), failed.text);
}

QString SummaryQuery::binary(const QString &column) const
{
    return m_backend == DatabaseUrl::Backend::Postgres ? column + QStringLiteral(" COLLATE \"C\"")
                                                       : column;
}

QString SummaryQuery::floorOf(const QString &expression) const
{
    // SQLite has floor() only where it was built with its math functions;
    // CAST truncates toward zero there.
    if (m_backend == DatabaseUrl::Backend::Postgres)
        return QStringLiteral("floor(%1)").arg(expression);
    return QStringLiteral("(CAST(%1 AS INTEGER) - (%1 < CAST(%1 AS INTEGER)))").arg(expression);
}

QString SummaryQuery::finite(const QString &column)
{
    // NaN is stored as NULL; infinities lie beyond the largest double.
    return QStringLiteral("%1 BETWEEN -1.7976931348623157e308 AND 1.7976931348623157e308")
        .arg(column);
}

QString SummaryQuery::text(const std::string &value)
{
    return '\'' + QString::fromStdString(value).replace('\'', QLatin1String("''")) + '\'';
}

QString SummaryQuery::number(double value)
{
    return QStringLiteral("CAST('%1' AS DOUBLE PRECISION)").arg(QString::number(value, 'g', 17));
}

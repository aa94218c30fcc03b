#include "SummaryQuery.h"

#include "DatabaseConnection.h"

#include <QSqlError>
#include <QStringList>
#include <QVariant>

namespace {

// The filtered records ranked per board, once per report: every statement
// reads this table rather than sorting all records again. A record an
// analysis of a board with captures is kept for the lists of analyses, with
// counted 0 and no ranks. time_order numbers the records by (start_time,
// id): sorts by it compare numbers.
// Each level sorts its rows by the keys of the one before first, so that a
// board's windows sort only within each board.
const QString rankRecords = QStringLiteral(
    "WITH s AS (SELECT r.id, r.lot, r.board_serial, r.station, r.start_time, r.origin, r.pass, "
    "r.exit_status, r.frames, r.input_file, "
    "CASE WHEN r.board_serial = '' THEN r.id ELSE 0 END AS anon, "
    "CASE WHEN r.origin = 'analysis' THEN 1 ELSE 0 END AS analysis, "
    "ROW_NUMBER() OVER (ORDER BY r.start_time, r.id) AS time_order FROM test_record r%1), "
    "b AS (SELECT s.*, SUM(1 - s.analysis) OVER (PARTITION BY %2, %3, s.anon) "
    "AS board_captures FROM s), "
    "k AS (SELECT b.*, CASE WHEN b.analysis = 0 OR b.board_captures = 0 THEN 1 ELSE 0 END "
    "AS counted FROM b), "
    "t AS (SELECT k.*, CASE WHEN k.counted = 1 THEN ROW_NUMBER() OVER (PARTITION BY %4, %5, "
    "k.anon, k.counted ORDER BY k.time_order DESC) END AS from_last, "
    "CASE WHEN k.counted = 1 THEN COUNT(*) OVER (PARTITION BY %4, %5, k.anon, k.counted) END "
    "AS board_tests FROM k) "
    "SELECT t.*, CASE WHEN t.counted = 1 THEN ROW_NUMBER() OVER (PARTITION BY %6, %7, t.anon, "
    "t.counted, %8 ORDER BY t.time_order DESC) END AS station_last FROM t");

// The figure values of each board's last result, with the verdict of the
// limits on each (NULL where none held it): the figures' moments and
// histograms both read them.
const QString lastValues = QStringLiteral(
    "CREATE TEMP TABLE report_values%1 AS SELECT c.id, c.lot, f.name, f.value, "
    "MIN(CASE WHEN l.record_id IS NULL THEN NULL WHEN l.pass THEN 1 ELSE 0 END) AS verdict "
    "FROM report_rows c JOIN %3 f ON f.record_id = c.id "
    "LEFT JOIN %4 l ON l.record_id = f.record_id AND l.figure = f.name "
    "WHERE c.counted = 1 AND c.from_last = 1 AND %2 "
    "GROUP BY c.id, c.lot, f.record_id, f.seq, f.name, f.value");

// The rows of child table %1 whose record ids lie between %2 and %3.
const QString idRange = QStringLiteral("(SELECT * FROM %1 WHERE record_id BETWEEN %2 AND %3)");

// The names the statements read the ranked records by; %1 is the rows of
// the report or of its current lot.
const QString rankedTables
    = QStringLiteral("WITH s AS (SELECT * FROM %1 s), b AS (SELECT * FROM %1 b), "
                     "c AS (SELECT * FROM %1 c WHERE counted = 1)");

// The rows of table %1 in lot number %2.
const QString lotRows
    = QStringLiteral("(SELECT * FROM %1 WHERE lot = (SELECT lot FROM report_lots WHERE k = %2))");

} // namespace

SummaryQuery::SummaryQuery(const DatabaseConnection &connection, const RecordFilter &filter)
    : m_connection(connection)
    , m_filter(recordFilterSql(filter, QStringLiteral("r.")))
    , m_backend(connection.backend())
    // A report of a few records of a large database would otherwise join
    // them to every stored figure and limit in each statement. SQLite joins
    // by the keys anyway.
    , m_byIdRange(m_backend == DatabaseUrl::Backend::Postgres && (filter.lot || filter.since))
{ }

SqlOutcome SummaryQuery::rank()
{
    QSqlQuery query(database());
    const bool server = m_backend == DatabaseUrl::Backend::Postgres;
    // SQLite keeps the tables on the connection, in its temporary database:
    // pages beyond its cache go to a file of the system's temporary folder,
    // deleted as it is made, never beside the database; the server drops
    // them with the transaction.
    if (!server) {
        for (const char *statement :
            {"DROP TABLE IF EXISTS temp.report_rows", "DROP TABLE IF EXISTS temp.report_values",
                "DROP TABLE IF EXISTS temp.report_lots"}) {
            if (SqlOutcome failed = ::run(query, QString::fromLatin1(statement), m_backend))
                return failed;
        }
    }
    const QString lot = QStringLiteral("%1.lot"), serial = QStringLiteral("%1.board_serial");
    const auto ranked = [&](const QString &where) {
        return rankRecords.arg(where, binary(lot.arg('s')), binary(serial.arg('s')),
            binary(lot.arg('k')), binary(serial.arg('k')), binary(lot.arg('t')),
            binary(serial.arg('t')), binary(QStringLiteral("t.station")));
    };
    // A server cannot prepare CREATE TABLE AS with the filter's values: the
    // table takes its columns from the statement run on no record, then the
    // records come by INSERT, in one statement.
    if (SqlOutcome failed = ::run(query,
            QStringLiteral("CREATE TEMP TABLE report_rows%1 AS %2")
                .arg(server ? QStringLiteral(" ON COMMIT DROP") : QString(),
                    ranked(QStringLiteral(" WHERE 1 = 0"))),
            m_backend))
        return failed;
    if (!query.prepare(QStringLiteral("INSERT INTO report_rows ") + ranked(m_filter.where)))
        return sqlFailure(query.lastError(), m_backend);
    for (const QVariant &value : m_filter.values)
        query.addBindValue(value);
    if (SqlOutcome failed = ::run(query, m_backend))
        return failed;
    // The lots numbered in the order of their names, byte by byte, as the
    // report lists them.
    if (SqlOutcome failed = ::run(query,
            QStringLiteral("CREATE TEMP TABLE report_lots%1 AS SELECT ROW_NUMBER() OVER (ORDER BY "
                           "%2) AS k, lot FROM (SELECT DISTINCT lot FROM report_rows) d")
                .arg(server ? QStringLiteral(" ON COMMIT DROP") : QString(),
                    binary(QStringLiteral("lot"))),
            m_backend))
        return failed;
    if (SqlOutcome failed
        = ::run(query, QStringLiteral("SELECT COUNT(*) FROM report_lots"), m_backend))
        return failed;
    m_lots = query.next() ? query.value(0).toLongLong() : 0;
    // The report reads the records lot by lot, each lot's by an index where
    // there are several. The planner's estimates of how many rows a rank
    // selects come from ANALYZE: it knows nothing of a new table otherwise.
    const auto indexed = [&](const QString &table) {
        QStringList statements;
        if (m_lots > 1)
            statements << QStringLiteral("CREATE INDEX %1_lot ON %1 (lot)").arg(table);
        return statements << QStringLiteral("ANALYZE ") + table;
    };
    for (const QString &statement : indexed(QStringLiteral("report_rows"))) {
        if (SqlOutcome failed = ::run(query, statement, m_backend))
            return failed;
    }
    if (m_byIdRange) {
        if (SqlOutcome failed = findIdRange(query))
            return failed;
    }
    const QString values = lastValues.arg(server ? QStringLiteral(" ON COMMIT DROP") : QString(),
        finite(QStringLiteral("f.value")), figureTable(), limitTable());
    for (const QString &statement :
        QStringList(values) + indexed(QStringLiteral("report_values"))) {
        if (SqlOutcome failed = ::run(query, statement, m_backend))
            return failed;
    }
    return {};
}

SqlOutcome SummaryQuery::restrictTo(qlonglong lot)
{
    // A report of one lot reads every ranked record, as it would anyway.
    if (m_lots <= 1)
        return {};
    m_lot = lot;
    if (m_backend != DatabaseUrl::Backend::Postgres)
        return {};
    // One lot's records lie close together by id, as stations store them:
    // its range spares each statement a join to every stored figure.
    m_byIdRange = true;
    QSqlQuery query(database());
    return findIdRange(query);
}

QString SummaryQuery::rows() const
{
    const QString table = QStringLiteral("report_rows");
    return m_lot > 0 ? lotRows.arg(table).arg(m_lot) : table;
}

QString SummaryQuery::values() const
{
    const QString table = QStringLiteral("report_values");
    return m_lot > 0 ? lotRows.arg(table).arg(m_lot) : table;
}

SqlOutcome SummaryQuery::findIdRange(QSqlQuery &query)
{
    // The planner cannot tell which records report_rows holds. The range of
    // their ids, as literals, lets it read only that part of a child table's
    // primary key where they lie close together, as a lot's records do,
    // stored in the order they were tested; where they do not, it sees the
    // range holds most rows and reads the table as before.
    if (SqlOutcome failed = ::run(query,
            QStringLiteral("SELECT MIN(id), MAX(id) FROM %1 r WHERE counted = 1").arg(rows()),
            m_backend))
        return failed;
    m_firstId = 1;
    m_lastId = 0; // no counted record: an empty range
    if (query.next() && !query.value(0).isNull()) {
        m_firstId = query.value(0).toLongLong();
        m_lastId = query.value(1).toLongLong();
    }
    return {};
}

QString SummaryQuery::figureTable() const
{
    const QString table = QStringLiteral("record_figure");
    return m_byIdRange ? idRange.arg(table).arg(m_firstId).arg(m_lastId) : table;
}

QString SummaryQuery::limitTable() const
{
    const QString table = QStringLiteral("record_limit");
    return m_byIdRange ? idRange.arg(table).arg(m_firstId).arg(m_lastId) : table;
}

void SummaryQuery::release() const
{
    if (m_backend == DatabaseUrl::Backend::Sqlite) {
        QSqlQuery query(database());
        for (const char *table : {"temp.report_rows", "temp.report_values", "temp.report_lots"})
            ::run(query, QStringLiteral("DROP TABLE IF EXISTS ") + table, m_backend);
    }
}

SqlOutcome SummaryQuery::select(QSqlQuery &query, const QString &tables, const QString &select,
    const QVariantList &values) const
{
    query.setForwardOnly(true);
    if (!query.prepare(
            rankedTables.arg(rows()) + (tables.isEmpty() ? "" : ", ") + tables + ' ' + select))
        return sqlFailure(query.lastError(), m_backend);
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

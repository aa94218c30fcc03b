#include "BoardLists.h"

#include "RecordColumns.h"
#include "SummaryQuery.h"

#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace {

std::string textOf(const QVariant &value)
{
    return value.toString().toStdString();
}

// The columns of a row that name a test, as "SELECT <testColumns> FROM x".
const QString testColumns
    = QStringLiteral("%1.lot, %1.id AS record_id, %1.board_serial, %1.start_time, %1.station, "
                     "%1.pass AS record_pass, %1.origin");

// The rows of table `from` that meet `condition` as table `name`, numbered k
// in time order within each lot.
QString numberedInTime(const QString &name, const QString &from, const QString &condition)
{
    return QStringLiteral("%1 AS (SELECT %2.*, ROW_NUMBER() OVER (PARTITION BY %2.lot ORDER BY "
                          "%2.start_time, %2.id) AS k FROM %2 WHERE %3)")
        .arg(name, from, condition);
}

BoardName boardOf(const QSqlQuery &query)
{
    return {textOf(query.value(QStringLiteral("board_serial"))),
        query.value(QStringLiteral("record_id")).toLongLong()};
}

BoardAttempt attemptOf(const QSqlQuery &query)
{
    // A record without a verdict did not pass.
    return {query.value(QStringLiteral("record_id")).toLongLong(),
        textOf(query.value(QStringLiteral("start_time"))),
        textOf(query.value(QStringLiteral("station"))),
        query.value(QStringLiteral("record_pass")).toBool(),
        textOf(query.value(QStringLiteral("origin")))};
}

LotSummary &lotOf(std::map<std::string, LotSummary> &lots, const QSqlQuery &query)
{
    return lots[textOf(query.value(QStringLiteral("lot")))];
}

} // namespace

SqlOutcome BoardLists::collect(std::map<std::string, LotSummary> &lots) const
{
    for (const auto step : {&BoardLists::failedBoards, &BoardLists::histories,
             &BoardLists::reanalyses, &BoardLists::runs}) {
        if (SqlOutcome failed = std::invoke(step, this, lots))
            return failed;
    }
    return {};
}

SqlOutcome BoardLists::failedBoards(std::map<std::string, LotSummary> &lots) const
{
    QSqlQuery query(m_query.database());
    // Each failed board's last result, with the limits it broke.
    if (SqlOutcome failed = m_query.select(query,
            numberedInTime(QStringLiteral("fb"), QStringLiteral("c"),
                QStringLiteral("c.from_last = 1 AND NOT c.pass")),
            QStringLiteral("SELECT %1, fb.exit_status, fb.frames, l.seq, %2 FROM fb "
                           "LEFT JOIN %3 l ON l.record_id = fb.id AND NOT l.pass "
                           "WHERE fb.k <= ? ORDER BY fb.lot, fb.start_time, fb.id, l.seq")
                .arg(testColumns.arg(QStringLiteral("fb")), limitColumns().names("l."),
                    m_query.limitTable()),
            {qlonglong(m_bounds.boards)}))
        return failed;
    const auto places = limitColumns().placesIn(query.record());
    if (!places)
        return SqlFailure {QStringLiteral("record_limit lacks a column")};
    LotSummary *previous = nullptr;
    while (query.next()) {
        LotSummary &lot = lotOf(lots, query);
        const BoardAttempt last = attemptOf(query);
        if (&lot != previous || lot.failedBoards.empty()
            || lot.failedBoards.back().last.recordId != last.recordId)
            lot.failedBoards.push_back(
                {boardOf(query), last, {}, query.value(QStringLiteral("exit_status")).toInt(),
                    query.value(QStringLiteral("frames")).toLongLong()});
        previous = &lot;
        if (!query.value(QStringLiteral("seq")).isNull())
            limitColumns().read(
                query, *places, lot.failedBoards.back().failedLimits.emplace_back());
    }
    return {};
}

SqlOutcome BoardLists::histories(std::map<std::string, LotSummary> &lots) const
{
    // Boards by name: serials byte by byte, then the boards without one by
    // record id; the retested boards ranked again among themselves.
    const QString byName = QStringLiteral("ORDER BY c.board_serial = '', %1, c.anon")
                               .arg(m_query.binary(QStringLiteral("c.board_serial")));
    // Each board ranked once, from its last result's row, then joined back to
    // the results listed: one window sorts the boards, not all their results;
    // a retested board's rank among the retested counts them up to it.
    QSqlQuery query(m_query.database());
    if (SqlOutcome failed = m_query.select(query,
            QStringLiteral("r AS (SELECT c.lot, c.board_serial, c.anon, DENSE_RANK() OVER w AS "
                           "board_rank, SUM(CASE WHEN c.board_tests > 1 THEN 1 ELSE 0 END) OVER w "
                           "AS retest_rank FROM %2 c WHERE c.counted = 1 AND "
                           "c.from_last = 1 WINDOW w AS (PARTITION BY c.lot %1)), "
                           "h AS (SELECT c.*, r.board_rank, r.retest_rank FROM r JOIN c ON "
                           "c.lot = r.lot AND c.board_serial = r.board_serial AND c.anon = r.anon "
                           "WHERE c.from_last <= ? AND (r.board_rank <= ? OR "
                           "(c.board_tests > 1 AND r.retest_rank <= ?)))")
                .arg(byName, m_query.rows()),
            QStringLiteral("SELECT %1, h.board_tests, h.board_rank, h.retest_rank FROM h "
                           "ORDER BY h.lot, h.board_rank, h.start_time, h.id")
                .arg(testColumns.arg(QStringLiteral("h"))),
            {qlonglong(m_bounds.results), qlonglong(m_bounds.boards), qlonglong(m_bounds.boards)}))
        return failed;
    const auto finish
        = [this](LotSummary *lot, RetestedBoard &board, qlonglong rank, qlonglong retestRank) {
              if (!lot || board.attempts.empty())
                  return;
              board.board.recordId = board.attempts.back().recordId; // named by its last result
              if (board.results > 1 && std::size_t(retestRank) <= m_bounds.boards)
                  lot->retested.push_back(board);
              if (std::size_t(rank) <= m_bounds.boards)
                  lot->histories.push_back(std::move(board));
          };
    LotSummary *lot = nullptr;
    RetestedBoard board;
    qlonglong rank = 0, retestRank = 0;
    while (query.next()) {
        LotSummary &rowLot = lotOf(lots, query);
        const qlonglong rowRank = query.value(QStringLiteral("board_rank")).toLongLong();
        if (&rowLot != lot || rowRank != rank) {
            finish(lot, board, rank, retestRank);
            board = {boardOf(query), {}, std::size_t(query.value("board_tests").toLongLong())};
            lot = &rowLot;
            rank = rowRank;
            retestRank = query.value(QStringLiteral("retest_rank")).toLongLong();
        }
        board.attempts.push_back(attemptOf(query));
    }
    finish(lot, board, rank, retestRank);
    return {};
}

SqlOutcome BoardLists::reanalyses(std::map<std::string, LotSummary> &lots) const
{
    QSqlQuery query(m_query.database());
    if (SqlOutcome failed = m_query.select(query,
            numberedInTime(
                QStringLiteral("ra"), QStringLiteral("b"), QStringLiteral("b.analysis = 1")),
            QStringLiteral("SELECT %1, ra.input_file, ra.board_captures FROM ra WHERE ra.k <= ? "
                           "ORDER BY ra.lot, ra.start_time, ra.id")
                .arg(testColumns.arg(QStringLiteral("ra"))),
            {qlonglong(m_bounds.boards)}))
        return failed;
    while (query.next()) {
        // An analysis counts only for a board that has no capture.
        lotOf(lots, query)
            .reanalyses.push_back({boardOf(query), attemptOf(query),
                textOf(query.value(QStringLiteral("input_file"))),
                query.value(QStringLiteral("board_captures")).toLongLong() == 0});
    }
    return {};
}

SqlOutcome BoardLists::runs(std::map<std::string, LotSummary> &lots) const
{
    QStringList charted;
    for (const auto &[name, lot] : lots) {
        for (const FigureStatistics &figure : lot.figures) {
            if (figure.hasLimit())
                charted << QStringLiteral("(%1, %2, %3)")
                               .arg(charted.size())
                               .arg(SummaryQuery::text(lot.lot), SummaryQuery::text(figure.name));
        }
    }
    if (charted.isEmpty())
        return {};
    QSqlQuery query(m_query.database());
    if (SqlOutcome failed = m_query.select(query,
            QStringLiteral(
                "p (k, lot, name) AS (VALUES %1), "
                "st AS (SELECT station, MIN(time_order) AS station_key FROM %5 rr "
                "WHERE counted = 1 GROUP BY station), "
                "rv AS (SELECT p.k AS chart, c.id, f.value, ROW_NUMBER() OVER (PARTITION BY p.k, "
                "st.station_key ORDER BY c.time_order DESC) AS k, COUNT(*) OVER (PARTITION BY "
                "p.k, st.station_key) AS n FROM c JOIN %3 f ON f.record_id = c.id "
                "JOIN p ON p.lot = c.lot AND p.name = f.name "
                "JOIN st ON st.station = c.station WHERE %2), "
                "v AS (SELECT rv.chart, rv.id, rv.value, rv.n, MIN(CASE WHEN l.record_id IS NULL "
                "THEN NULL WHEN l.pass THEN 1 ELSE 0 END) AS verdict FROM rv JOIN p ON p.k = "
                "rv.chart LEFT JOIN %4 l ON "
                "l.record_id = rv.id AND l.figure = p.name WHERE rv.k <= ? "
                "GROUP BY rv.chart, rv.k, rv.id, rv.value, rv.n)")
                .arg(charted.join(QLatin1String(", ")),
                    SummaryQuery::finite(QStringLiteral("f.value")), m_query.figureTable(),
                    m_query.limitTable(), m_query.rows()),
            // The window sorts narrow rows: each station numbered by its
            // first result, the text columns joined to the few points it keeps.
            QStringLiteral("SELECT r.lot, r.id AS record_id, r.board_serial, r.start_time, "
                           "r.station, p.name, v.value, v.n, v.verdict FROM v "
                           "JOIN p ON p.k = v.chart JOIN %1 r ON r.id = v.id "
                           "ORDER BY r.lot, p.name, r.station, r.start_time, r.id")
                .arg(m_query.rows()),
            {qlonglong(m_bounds.points)}))
        return failed;
    // By lot, figure and station; the lot's runs in the order of its figures.
    std::map<std::string, std::map<std::string, std::map<std::string, FigureRun>>> found;
    while (query.next()) {
        const std::string figure = textOf(query.value(QStringLiteral("name"))),
                          station = textOf(query.value(QStringLiteral("station")));
        FigureRun &run = found[textOf(query.value(QStringLiteral("lot")))][figure][station];
        if (run.points.empty()) {
            run.figure = figure;
            run.station = station;
            run.tests = std::size_t(query.value(QStringLiteral("n")).toLongLong());
        }
        const QVariant verdict = query.value(QStringLiteral("verdict"));
        run.points.push_back({boardOf(query), textOf(query.value(QStringLiteral("start_time"))),
            query.value(QStringLiteral("value")).toDouble(),
            verdict.isNull() || verdict.toInt() != 0});
    }
    for (auto &[name, lot] : lots) {
        for (const FigureStatistics &figure : lot.figures) {
            if (!figure.hasLimit())
                continue;
            for (auto &[station, run] : found[name][figure.name]) {
                run.lowerLimit = figure.lowerLimit;
                run.upperLimit = figure.upperLimit;
                lot.runs.push_back(std::move(run));
            }
        }
    }
    return {};
}

#include "LotAggregates.h"

#include "FigureCatalog.h"
#include "SqlValue.h"
#include "SummaryQuery.h"

#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

std::string textOf(const QVariant &value)
{
    return value.toString().toStdString();
}

std::size_t countOf(const QVariant &value)
{
    return std::size_t(value.toLongLong());
}

std::ptrdiff_t catalogIndex(const std::string &figure)
{
    const FigureDefinition *definition = findFigure(figure);
    return definition ? definition - figureCatalog().data() : std::ssize(figureCatalog());
}

} // namespace

SqlOutcome LotAggregates::collect(std::map<std::string, LotSummary> &lots) const
{
    for (const auto step : {&LotAggregates::counts, &LotAggregates::stations,
             &LotAggregates::figures, &LotAggregates::histograms, &LotAggregates::verdicts}) {
        if (SqlOutcome failed = std::invoke(step, this, lots))
            return failed;
        if (lots.empty())
            break;
    }
    return {};
}

SqlOutcome LotAggregates::counts(std::map<std::string, LotSummary> &lots) const
{
    {
        QSqlQuery all(m_query.database());
        if (SqlOutcome failed = m_query.select(
                all, {}, QStringLiteral("SELECT lot, COUNT(*), SUM(analysis) FROM s GROUP BY lot")))
            return failed;
        while (all.next()) {
            LotSummary &lot = lots[textOf(all.value(0))];
            lot.lot = textOf(all.value(0));
            lot.records = countOf(all.value(1));
            lot.analyses = countOf(all.value(2));
        }
    }
    QSqlQuery counted(m_query.database());
    if (SqlOutcome failed = m_query.select(counted, {},
            QStringLiteral("SELECT lot, COUNT(*), "
                           "SUM(CASE WHEN from_last = 1 THEN 1 ELSE 0 END), "
                           "SUM(CASE WHEN from_last = 1 AND pass THEN 1 ELSE 0 END), "
                           "SUM(CASE WHEN from_last = 1 AND NOT pass THEN 1 ELSE 0 END), "
                           "SUM(CASE WHEN from_last = board_tests AND pass THEN 1 ELSE 0 END), "
                           "SUM(CASE WHEN from_last = board_tests AND NOT pass THEN 1 ELSE 0 END), "
                           "SUM(CASE WHEN from_last = 1 AND board_tests > 1 THEN 1 ELSE 0 END) "
                           "FROM c GROUP BY lot")))
        return failed;
    while (counted.next()) {
        LotSummary &lot = lots[textOf(counted.value(0))];
        lot.captures = countOf(counted.value(1));
        const std::size_t boards = countOf(counted.value(2));
        const auto yield = [&](std::size_t passed, std::size_t failed) {
            return BoardYield {{}, boards, passed, failed, boards - passed - failed};
        };
        lot.total = yield(countOf(counted.value(3)), countOf(counted.value(4)));
        lot.firstPass = yield(countOf(counted.value(5)), countOf(counted.value(6)));
        lot.retestedBoards = countOf(counted.value(7));
    }
    return {};
}

SqlOutcome LotAggregates::stations(std::map<std::string, LotSummary> &lots) const
{
    QSqlQuery query(m_query.database());
    if (SqlOutcome failed = m_query.select(query, {},
            QStringLiteral("SELECT lot, station, COUNT(*), "
                           "SUM(CASE WHEN pass THEN 1 ELSE 0 END), "
                           "SUM(CASE WHEN NOT pass THEN 1 ELSE 0 END) "
                           "FROM c WHERE station_last = 1 GROUP BY lot, station")))
        return failed;
    while (query.next()) {
        const std::size_t boards = countOf(query.value(2)), passed = countOf(query.value(3)),
                          failed = countOf(query.value(4));
        lots[textOf(query.value(0))].stations.push_back(
            {textOf(query.value(1)), boards, passed, failed, boards - passed - failed});
    }
    for (auto &[name, lot] : lots)
        std::ranges::sort(lot.stations, {}, &BoardYield::station);
    return {};
}

SqlOutcome LotAggregates::figures(std::map<std::string, LotSummary> &lots) const
{
    // The limits each figure's most recent last result held: the tighter
    // one where it held two on one side.
    std::map<std::pair<std::string, std::string>,
        std::pair<std::optional<double>, std::optional<double>>>
        limits;
    QSqlQuery held(m_query.database());
    if (SqlOutcome failed = m_query.select(held,
            QStringLiteral("k AS (SELECT c.lot, l.figure, l.is_upper, l.limit_value, c.time_order "
                           "FROM c JOIN %2 l ON l.record_id = c.id WHERE c.from_last = 1 "
                           "AND %1), n AS (SELECT lot, figure, MAX(time_order) AS newest FROM k "
                           "GROUP BY lot, figure)")
                .arg(SummaryQuery::finite(QStringLiteral("l.limit_value")), m_query.limitTable()),
            QStringLiteral("SELECT k.lot, k.figure, k.is_upper, k.limit_value FROM k JOIN n ON "
                           "n.lot = k.lot AND n.figure = k.figure AND n.newest = k.time_order")))
        return failed;
    while (held.next()) {
        auto &[lower, upper] = limits[{textOf(held.value(0)), textOf(held.value(1))}];
        const double limit = held.value(3).toDouble();
        if (held.value(2).toBool())
            upper = std::min(upper.value_or(limit), limit);
        else
            lower = std::max(lower.value_or(limit), limit);
    }

    // Two passes, as describeFigure takes them: the mean, then the squared
    // deviations from it.
    QSqlQuery moments(m_query.database());
    // A figure's values are those of its boards' last results.
    if (SqlOutcome failed = m_query.select(moments,
            QStringLiteral("m AS (SELECT lot, name, COUNT(*) AS n, AVG(value) AS mean, "
                           "MIN(value) AS lo, MAX(value) AS hi FROM %1 r GROUP BY lot, "
                           "name)")
                .arg(m_query.values()),
            QStringLiteral("SELECT m.lot, m.name, m.n, m.mean, m.lo, m.hi, "
                           "SUM((v.value - m.mean) * (v.value - m.mean)) FROM m "
                           "JOIN %1 v ON v.lot = m.lot AND v.name = m.name "
                           "GROUP BY m.lot, m.name, m.n, m.mean, m.lo, m.hi")
                .arg(m_query.values())))
        return failed;
    while (moments.next()) {
        const std::string lot = textOf(moments.value(0)), name = textOf(moments.value(1));
        const FigureMoments figure {countOf(moments.value(2)), moments.value(3).toDouble(),
            moments.value(6).toDouble(), moments.value(4).toDouble(), moments.value(5).toDouble()};
        const auto &[lower, upper] = limits[{lot, name}];
        lots[lot].figures.push_back(describeMoments(name, figure, lower, upper));
    }
    // In the catalog's order, as the station reports list them; keys it does
    // not know after them, by name.
    for (auto &[name, lot] : lots) {
        std::ranges::sort(lot.figures, {}, &FigureStatistics::name);
        std::ranges::stable_sort(lot.figures, {},
            [](const FigureStatistics &figure) { return catalogIndex(figure.name); });
    }
    return {};
}

SqlOutcome LotAggregates::histograms(std::map<std::string, LotSummary> &lots) const
{
    // Each figure's bins, laid out from its range, as one VALUES table the
    // database buckets every value against.
    std::vector<FigureStatistics *> charted;
    QStringList layouts;
    for (auto &[name, lot] : lots) {
        for (FigureStatistics &figure : lot.figures) {
            if (figure.count == 0)
                continue;
            figure.bins
                = histogramLayout(figure.name, figure.count, figure.minimum, figure.maximum);
            layouts << QStringLiteral("(%1, %2, %3, %4, %5, %6)")
                           .arg(charted.size())
                           .arg(SummaryQuery::text(lot.lot), SummaryQuery::text(figure.name),
                               SummaryQuery::number(figure.bins->offset),
                               SummaryQuery::number(figure.bins->width),
                               SummaryQuery::number(figure.bins->first));
            charted.push_back(&figure);
        }
    }
    if (charted.empty())
        return {};
    QSqlQuery query(m_query.database());
    if (SqlOutcome failed = m_query.select(query,
            QStringLiteral("p (k, lot, name, off, width, first) AS (VALUES %1), "
                           "h AS (SELECT p.k, p.first, (v.value - p.off) / p.width AS x, "
                           "v.verdict FROM %2 v "
                           "JOIN p ON p.lot = v.lot AND p.name = v.name)")
                .arg(layouts.join(QLatin1String(", ")), m_query.values()),
            QStringLiteral("SELECT k, %1 - first, verdict, COUNT(*) FROM h GROUP BY 1, 2, 3")
                .arg(m_query.floorOf(QStringLiteral("x")))))
        return failed;
    while (query.next()) {
        const std::size_t k = countOf(query.value(0));
        if (k >= charted.size())
            continue;
        const QVariant verdict = query.value(2);
        charted[k]->bins->add(query.value(1).toDouble(),
            verdict.isNull() ? std::nullopt : std::optional(verdict.toInt() != 0),
            countOf(query.value(3)));
    }
    return {};
}

SqlOutcome LotAggregates::verdicts(std::map<std::string, LotSummary> &lots) const
{
    QSqlQuery query(m_query.database());
    if (SqlOutcome failed = m_query.select(query, {},
            QStringLiteral(
                "SELECT c.lot, l.name, MAX(l.figure), COUNT(*), "
                "SUM(CASE WHEN l.uncertainty IS NOT NULL THEN 1 ELSE 0 END), "
                "SUM(CASE WHEN l.uncertainty IS NOT NULL AND l.within_uncertainty THEN 1 ELSE 0 "
                "END), SUM(CASE WHEN l.pass THEN 0 ELSE 1 END) "
                "FROM c JOIN %1 l ON l.record_id = c.id GROUP BY c.lot, l.name")
                .arg(m_query.limitTable())))
        return failed;
    while (query.next()) {
        LotSummary &lot = lots[textOf(query.value(0))];
        const std::string limit = textOf(query.value(1)), figure = textOf(query.value(2));
        const std::size_t all = countOf(query.value(3)), held = countOf(query.value(4));
        lot.uncertainVerdicts.push_back({limit, figure, held, countOf(query.value(5)), all - held});
        if (const std::size_t failures = countOf(query.value(6)); failures > 0)
            lot.failuresByLimit.push_back({limit, figure, failures});
    }
    for (auto &[name, lot] : lots) {
        std::ranges::sort(lot.uncertainVerdicts, {}, &UncertainVerdicts::limit);
        std::ranges::sort(lot.failuresByLimit, {}, &LimitFailures::limit);
        std::ranges::stable_sort(lot.failuresByLimit, std::greater {}, &LimitFailures::failures);
    }
    return {};
}

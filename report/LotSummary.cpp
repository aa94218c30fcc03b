#include "LotSummary.h"

#include "FigureCatalog.h"
#include "RecordTime.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <tuple>

namespace {

// Where a record stands in time: a time that cannot be read comes first, so
// that it is never taken for a board's last result while a readable one is there.
auto timeOrder(const std::string &time, std::int64_t recordId)
{
    return std::make_tuple(
        parseIsoTime(time).value_or(std::numeric_limits<std::int64_t>::min()), time, recordId);
}

bool earlier(const TestRecord *a, const TestRecord *b)
{
    return timeOrder(a->startTime, a->id) < timeOrder(b->startTime, b->id);
}

BoardName boardName(const TestRecord &record)
{
    return {record.identity.serial, record.id};
}

// Serials in order, then the boards without one by record id.
auto nameKey(const BoardName &name)
{
    return std::make_tuple(name.serial.empty(), name.serial, name.recordId);
}

BoardAttempt attempt(const TestRecord &record)
{
    // A record without a verdict did not pass.
    return {record.id, record.startTime, record.identity.station, record.pass.value_or(false)};
}

// The records of one lot, oldest first, by board.
using Boards
    = std::map<std::tuple<bool, std::string, std::int64_t>, std::vector<const TestRecord *>>;

Boards boardsOf(const std::vector<const TestRecord *> &records)
{
    Boards boards;
    for (const TestRecord *record : records) {
        // Records with a serial share a board; the id tells only the others apart.
        BoardName name = boardName(*record);
        if (!name.serial.empty())
            name.recordId = 0;
        boards[nameKey(name)].push_back(record);
    }
    return boards;
}

BoardYield count(std::string station, const std::vector<const TestRecord *> &lastResults)
{
    BoardYield yield {std::move(station), lastResults.size(), 0, 0, 0};
    for (const TestRecord *record : lastResults)
        ++(!record->pass ? yield.unjudged : *record->pass ? yield.passed : yield.failed);
    return yield;
}

std::vector<FigureStatistics> figureStatistics(std::vector<const TestRecord *> lastResults)
{
    std::map<std::string, std::vector<double>> values;
    for (const TestRecord *record : lastResults) {
        for (const RecordedFigure &figure : record->figures) {
            if (std::isfinite(figure.value))
                values[figure.name].push_back(figure.value);
        }
    }
    std::ranges::sort(lastResults, earlier);
    std::vector<FigureStatistics> figures;
    for (auto &[name, list] : values) {
        std::optional<double> lower, upper;
        for (auto record = lastResults.rbegin(); record != lastResults.rend() && !lower && !upper;
             ++record) {
            for (const RecordedLimit &limit : (*record)->limits) {
                if (limit.figure != name || !std::isfinite(limit.limit))
                    continue;
                // Two limits on one side: the tighter one holds.
                std::optional<double> &side = limit.upper ? upper : lower;
                side = !side      ? limit.limit
                    : limit.upper ? std::min(*side, limit.limit)
                                  : std::max(*side, limit.limit);
            }
        }
        figures.push_back(describeFigure(name, std::move(list), lower, upper));
    }
    // In the catalog's order, as the station reports list them; keys it does
    // not know after them, by name.
    const auto catalogIndex = [](const FigureStatistics &figure) {
        const FigureDefinition *definition = findFigure(figure.name);
        return definition ? definition - figureCatalog().data() : std::ssize(figureCatalog());
    };
    std::ranges::stable_sort(figures, {}, catalogIndex);
    return figures;
}

LotSummary summarizeLot(std::string lot, std::vector<const TestRecord *> records)
{
    std::ranges::stable_sort(records, earlier);
    LotSummary summary;
    summary.lot = std::move(lot);
    summary.records = records.size();

    const Boards boards = boardsOf(records);
    std::vector<const TestRecord *> lastResults;
    std::map<std::string, std::map<Boards::key_type, const TestRecord *>> lastAtStation;
    for (const auto &[key, history] : boards) {
        const TestRecord &last = *history.back();
        lastResults.push_back(&last);
        for (const TestRecord *record : history)
            lastAtStation[record->identity.station][key] = record; // oldest first: the last stays
        if (history.size() > 1) {
            RetestedBoard retest {boardName(last), {}};
            for (const TestRecord *record : history)
                retest.attempts.push_back(attempt(*record));
            summary.retested.push_back(std::move(retest));
        }
        if (last.pass == false) {
            FailedBoard failed {boardName(last), attempt(last), {}, last.exitStatus, last.frames};
            for (const RecordedLimit &limit : last.limits) {
                if (!limit.pass)
                    failed.failedLimits.push_back(limit);
            }
            summary.failedBoards.push_back(std::move(failed));
        }
    }
    summary.total = count({}, lastResults);
    for (const auto &[station, last] : lastAtStation) {
        std::vector<const TestRecord *> list;
        for (const auto &[key, record] : last)
            list.push_back(record);
        summary.stations.push_back(count(station, list));
    }
    std::ranges::sort(summary.failedBoards, [](const FailedBoard &a, const FailedBoard &b) {
        return timeOrder(a.last.time, a.last.recordId) < timeOrder(b.last.time, b.last.recordId);
    });
    summary.figures = figureStatistics(std::move(lastResults));
    return summary;
}

} // namespace

std::string BoardName::text() const
{
    return serial.empty() ? "record " + std::to_string(recordId) + " (no serial)" : serial;
}

std::vector<LotSummary> summarizeLots(const std::vector<TestRecord> &records)
{
    std::map<std::string, std::vector<const TestRecord *>> lots;
    for (const TestRecord &record : records)
        lots[record.identity.lot].push_back(&record);
    std::vector<LotSummary> summaries;
    for (auto &[lot, list] : lots)
        summaries.push_back(summarizeLot(lot, std::move(list)));
    return summaries;
}

#include "LotSummary.h"

#include "FigureCatalog.h"
#include "RecordTime.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
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
    return {record.id, record.startTime, record.identity.station, record.pass.value_or(false),
        record.origin};
}

bool isAnalysis(const TestRecord &record)
{
    return record.origin == "analysis";
}

// A record's verdict on the limits of one figure; empty when none holds it.
std::optional<bool> verdictOn(const TestRecord &record, const std::string &figure)
{
    std::optional<bool> verdict;
    for (const RecordedLimit &limit : record.limits) {
        if (limit.figure == figure)
            verdict = verdict.value_or(true) && limit.pass;
    }
    return verdict;
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

std::ptrdiff_t catalogIndex(const std::string &figure)
{
    const FigureDefinition *definition = findFigure(figure);
    return definition ? definition - figureCatalog().data() : std::ssize(figureCatalog());
}

std::vector<FigureStatistics> figureStatistics(std::vector<const TestRecord *> lastResults)
{
    std::map<std::string, std::vector<double>> values;
    std::map<std::string, std::vector<std::optional<bool>>> verdicts;
    for (const TestRecord *record : lastResults) {
        for (const RecordedFigure &figure : record->figures) {
            if (std::isfinite(figure.value)) {
                values[figure.name].push_back(figure.value);
                verdicts[figure.name].push_back(verdictOn(*record, figure.name));
            }
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
        figures.back().verdicts = std::move(verdicts[name]);
    }
    // In the catalog's order, as the station reports list them; keys it does
    // not know after them, by name.
    std::ranges::stable_sort(
        figures, {}, [](const FigureStatistics &figure) { return catalogIndex(figure.name); });
    return figures;
}

// The records of a board that count: its captures, or every record when it
// has none (a board analysed from files only).
std::vector<const TestRecord *> countingRecords(const std::vector<const TestRecord *> &history)
{
    std::vector<const TestRecord *> captures;
    std::ranges::copy_if(
        history, std::back_inserter(captures), [](const TestRecord *r) { return !isAnalysis(*r); });
    return captures.empty() ? history : captures;
}

// The verdicts within the uncertainty and the failures, per limit, over
// every record that counts.
void countVerdicts(LotSummary &summary, const std::vector<const TestRecord *> &counted)
{
    std::map<std::string, UncertainVerdicts> verdicts;
    std::map<std::string, LimitFailures> failures;
    for (const TestRecord *record : counted) {
        for (const RecordedLimit &limit : record->limits) {
            UncertainVerdicts &each = verdicts[limit.name];
            each.limit = limit.name;
            each.figure = limit.figure;
            ++(limit.uncertainty ? each.verdicts : each.unknown);
            each.within += limit.uncertainty && limit.withinUncertainty;
            if (!limit.pass) {
                LimitFailures &failed = failures[limit.name];
                failed = {limit.name, limit.figure, failed.failures + 1};
            }
        }
    }
    for (auto &[name, each] : verdicts)
        summary.uncertainVerdicts.push_back(std::move(each));
    for (auto &[name, each] : failures)
        summary.failuresByLimit.push_back(std::move(each));
    std::ranges::stable_sort(summary.failuresByLimit, std::greater {}, &LimitFailures::failures);
}

// Per figure with a limit and per station, the values in time order.
void collectRuns(LotSummary &summary, const std::vector<const TestRecord *> &counted)
{
    for (const FigureStatistics &figure : summary.figures) {
        if (!figure.hasLimit())
            continue;
        std::map<std::string, FigureRun> runs;
        for (const TestRecord *record : counted) {
            const auto value
                = std::ranges::find(record->figures, figure.name, &RecordedFigure::name);
            if (value == record->figures.end() || !std::isfinite(value->value))
                continue;
            FigureRun &run = runs[record->identity.station];
            if (run.points.empty())
                run = {figure.name, record->identity.station, {}, figure.lowerLimit,
                    figure.upperLimit};
            run.points.push_back({boardName(*record), record->startTime, value->value,
                verdictOn(*record, figure.name).value_or(true)});
            run.tests = run.points.size();
        }
        for (auto &[station, run] : runs)
            summary.runs.push_back(std::move(run));
    }
}

LotSummary summarizeLot(std::string lot, std::vector<const TestRecord *> records)
{
    std::ranges::stable_sort(records, earlier);
    LotSummary summary;
    summary.lot = std::move(lot);
    summary.records = records.size();

    const Boards boards = boardsOf(records);
    std::vector<const TestRecord *> lastResults, firstResults, counted;
    std::map<std::string, std::map<Boards::key_type, const TestRecord *>> lastAtStation;
    for (const auto &[key, all] : boards) {
        const std::vector<const TestRecord *> history = countingRecords(all);
        for (const TestRecord *record : all) {
            if (isAnalysis(*record)) {
                summary.reanalyses.push_back({boardName(*record), attempt(*record),
                    record->inputFile, history.size() == all.size()});
            }
        }
        counted.insert(counted.end(), history.begin(), history.end());
        const TestRecord &last = *history.back();
        lastResults.push_back(&last);
        firstResults.push_back(history.front());
        for (const TestRecord *record : history)
            lastAtStation[record->identity.station][key] = record; // oldest first: the last stays
        RetestedBoard board {boardName(last), {}, history.size()};
        for (const TestRecord *record : history)
            board.attempts.push_back(attempt(*record));
        if (history.size() > 1)
            summary.retested.push_back(board);
        summary.histories.push_back(std::move(board));
        if (last.pass == false) {
            FailedBoard failed {boardName(last), attempt(last), {}, last.exitStatus, last.frames};
            for (const RecordedLimit &limit : last.limits) {
                if (!limit.pass)
                    failed.failedLimits.push_back(limit);
            }
            summary.failedBoards.push_back(std::move(failed));
        }
    }
    summary.captures = counted.size();
    summary.retestedBoards = summary.retested.size();
    summary.analyses = summary.reanalyses.size();
    summary.total = count({}, lastResults);
    summary.firstPass = count({}, firstResults);
    for (const auto &[station, last] : lastAtStation) {
        std::vector<const TestRecord *> list;
        for (const auto &[key, record] : last)
            list.push_back(record);
        summary.stations.push_back(count(station, list));
    }
    const auto byTime = [](const BoardAttempt &a, const BoardAttempt &b) {
        return timeOrder(a.time, a.recordId) < timeOrder(b.time, b.recordId);
    };
    std::ranges::sort(summary.failedBoards, byTime, &FailedBoard::last);
    std::ranges::sort(summary.reanalyses, byTime, &Reanalysis::attempt);
    summary.figures = figureStatistics(std::move(lastResults));
    std::ranges::stable_sort(counted, earlier);
    countVerdicts(summary, counted);
    collectRuns(summary, counted);
    return summary;
}

} // namespace

std::size_t LotSummary::stationBoards() const
{
    std::size_t sum = 0;
    for (const BoardYield &station : stations)
        sum += station.boards;
    return sum;
}

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

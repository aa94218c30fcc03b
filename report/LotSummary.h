#pragma once

#include "FigureStatistics.h"
#include "TestRecord.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Boards, passes and failures at one station or over a whole lot, each board
// counted once by its last result.
struct BoardYield
{
    std::string station; // empty for the lot's total
    std::size_t boards = 0; // passed + failed + unjudged
    std::size_t passed = 0;
    std::size_t failed = 0;
    // Measured, no verdict: the last result held no limit (its pass unknown).
    std::size_t unjudged = 0;
    // passed / (passed + failed): a board without a verdict is neither; 0
    // when no board was judged.
    double yield() const
    {
        const std::size_t judged = passed + failed;
        return judged == 0 ? 0 : double(passed) / double(judged);
    }
};

// One test of a board.
struct BoardAttempt
{
    std::int64_t recordId = 0;
    std::string time; // the record's start time, as the database holds it
    std::string station;
    bool pass = false;
    std::string origin; // "capture", "analysis", or empty: unknown
};

// A board as the report names it. A record without a serial is a board of its
// own, known by its record id: two such records cannot be told to be one
// board, and counting them as one would hide a failure behind a pass.
struct BoardName
{
    std::string serial; // empty: the record had none
    std::int64_t recordId = 0;
    std::string text() const;
};

struct RetestedBoard
{
    BoardName board;
    std::vector<BoardAttempt> attempts; // oldest first; the last one counts
    // The board's results that count: more than `attempts` where a report
    // keeps the last ones only.
    std::size_t results = 0;
};

// A board whose last result failed, and the limits that result broke.
struct FailedBoard
{
    BoardName board;
    BoardAttempt last;
    std::vector<RecordedLimit> failedLimits; // empty when it failed for another reason
    int exitStatus = 0;
    std::int64_t frames = 0;
};

// A record analysed from a file. It counts in the yield only when its board
// has no capture: a file analysed again never turns a failed board into a pass.
struct Reanalysis
{
    BoardName board;
    BoardAttempt attempt;
    std::string inputFile;
    bool counts = false;
};

// The verdicts on one limit that lay within the figure's uncertainty: a
// retest may give the other verdict.
struct UncertainVerdicts
{
    std::string limit;
    std::string figure;
    std::size_t verdicts = 0; // recorded with an uncertainty
    std::size_t within = 0;
    std::size_t unknown = 0; // recorded without one (older stations, dynamic figures)
    double share() const { return verdicts == 0 ? 0 : double(within) / double(verdicts); }
};

// One test's value of a figure, for a chart over time.
struct RunPoint
{
    BoardName board;
    std::string time;
    double value = 0;
    bool pass = true; // every limit on the figure held
};

// A figure with a limit at one station, its values in time order.
struct FigureRun
{
    std::string figure;
    std::string station;
    std::vector<RunPoint> points;
    std::optional<double> lowerLimit;
    std::optional<double> upperLimit;
    // The tests with a value: more than `points` where a report keeps the
    // last ones only.
    std::size_t tests = 0;
};

// How often one limit failed over the tests that count.
struct LimitFailures
{
    std::string limit;
    std::string figure;
    std::size_t failures = 0;
};

struct LotSummary
{
    std::string lot; // as the records hold it; empty for records without one
    std::size_t records = 0;
    BoardYield total;
    std::vector<BoardYield> stations; // by name
    std::vector<RetestedBoard> retested; // by board name
    // In the station catalog's order, then the keys it does not know by name.
    std::vector<FigureStatistics> figures;
    // By time of the failing test; a board without a verdict is not among them.
    std::vector<FailedBoard> failedBoards;

    std::size_t captures = 0; // the records that count: all but re-analyses
    BoardYield firstPass; // each board by its first result that counts
    std::vector<Reanalysis> reanalyses; // by time
    std::vector<RetestedBoard> histories; // every board, by name
    std::vector<UncertainVerdicts> uncertainVerdicts; // by limit name
    std::vector<FigureRun> runs; // as figures, then by station
    std::vector<LimitFailures> failuresByLimit; // the most first

    // The lists above may be cut to their first boards where a report
    // bounds them: their full lengths. failedBoards holds up to total.failed
    // boards, histories up to total.boards.
    std::size_t retestedBoards = 0;
    std::size_t analyses = 0; // records analysed from a file

    // The stations' boards added up: more than the lot's when a board was
    // tested at two stations, since it counts at each.
    std::size_t stationBoards() const;
};

// The report of each lot the records hold, ordered by lot name.
//
// A board's results are ordered by start time (ISO 8601, any zone; a time
// that cannot be read sorts before every other), then by record id. The lot's
// counts and figures take each board's last result there; a station's take
// each board's last result at that station, so a board that failed at one
// station and passed at another counts as a failure of the first and a pass of
// the second, and the stations' counts need not add up to the lot's.
//
// A record analysed from a file ("analysis") does not count when its board
// has a capture: the lot's and the stations' counts, the first-pass yield,
// the figures and the charts over time take the counting records alone.
//
// The figures are those of the boards' last results; a value that is not
// finite is left out. Their limits are the ones the most recent of those
// results held, since a later limits file replaces an earlier one.
std::vector<LotSummary> summarizeLots(const std::vector<TestRecord> &records);

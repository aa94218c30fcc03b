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
// The figures are those of the boards' last results; a value that is not
// finite is left out. Their limits are the ones the most recent of those
// results held, since a later limits file replaces an earlier one.
std::vector<LotSummary> summarizeLots(const std::vector<TestRecord> &records);

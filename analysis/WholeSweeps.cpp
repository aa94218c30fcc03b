#include "WholeSweeps.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The record's range is taken this far in from its lowest and highest
// samples, so that a few outliers do not widen it.
constexpr double outlierShare = 0.005;
// A record spanning fewer codes is no ramp to cut.
constexpr int fewestCodes = 8;
// A sawtooth crosses the middle third this many times faster one way than
// the other; a triangle takes about as long each way.
constexpr std::size_t sawtoothRatio = 2;

enum class Zone { Low, High };

// A stay in the low or the high third, from its first sample there to its
// last before the record reaches the other third.
struct Visit
{
    Zone zone;
    std::size_t first;
    std::size_t last;
};

struct Range
{
    double low = 0;
    double high = 0;
};

Range rangeOf(std::span<const std::uint16_t> record)
{
    std::vector<std::size_t> hits(std::size_t(*std::ranges::max_element(record)) + 1);
    for (const std::uint16_t code : record)
        ++hits[code];
    const auto outliers = std::size_t(outlierShare * double(record.size()));
    Range range;
    std::size_t below = 0;
    for (std::size_t code = 0; code < hits.size(); ++code) {
        if (below <= outliers && below + hits[code] > outliers)
            range.low = double(code);
        below += hits[code];
        if (below >= record.size() - outliers) {
            range.high = double(code);
            break;
        }
    }
    return range;
}

std::vector<Visit> visitsOf(std::span<const std::uint16_t> record, const Range &range)
{
    const double third = (range.high - range.low) / 3;
    std::vector<Visit> visits;
    for (std::size_t n = 0; n < record.size(); ++n) {
        const double code = record[n];
        if (code > range.low + third && code < range.high - third)
            continue;
        const Zone zone = code <= range.low + third ? Zone::Low : Zone::High;
        if (!visits.empty() && visits.back().zone == zone) {
            visits.back().last = n;
            continue;
        }
        // A lone reading across the middle third, the next one back where
        // the last were, is a glitch (a garbled frame), not a crossing.
        const auto inZone = [&](std::size_t at, Zone of) {
            return of == Zone::Low ? record[at] <= range.low + third
                                   : record[at] >= range.high - third;
        };
        if (!visits.empty() && n + 1 < record.size() && inZone(n + 1, visits.back().zone))
            continue;
        visits.push_back({zone, n, n});
    }
    return visits;
}

std::size_t median(std::vector<std::size_t> values)
{
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// A sawtooth's wraps into `zone`: each cut where the record passes the
// middle of its range.
std::vector<std::size_t> wraps(std::span<const std::uint16_t> record,
    const std::vector<Visit> &visits, Zone zone, double middle)
{
    std::vector<std::size_t> cuts;
    for (std::size_t i = 1; i < visits.size(); ++i) {
        if (visits[i].zone != zone)
            continue;
        std::size_t n = visits[i - 1].last + 1;
        while (zone == Zone::Low ? record[n] >= middle : record[n] <= middle)
            ++n;
        cuts.push_back(n);
    }
    // A record that starts or ends at a wrap holds a whole sweep there too:
    // one as long as the sweeps between wraps are, as a rule. (A glitch
    // across the middle third splits a sweep in two, which only the
    // shortest would take for a sweep's length.)
    if (cuts.size() >= 2) {
        std::vector<std::size_t> lengths;
        for (std::size_t i = 1; i < cuts.size(); ++i)
            lengths.push_back(cuts[i] - cuts[i - 1]);
        const std::size_t length = median(std::move(lengths));
        if (cuts.front() >= length)
            cuts.insert(cuts.begin(), cuts.front() - length);
        if (record.size() - cuts.back() >= length)
            cuts.push_back(cuts.back() + length);
    }
    return cuts;
}

// Where a visit turns: the first and the last of its samples at its
// extreme, which a clipped peak holds for a while.
struct Turn
{
    std::size_t first;
    std::size_t last;
    std::uint16_t extreme;
};

Turn turnOf(std::span<const std::uint16_t> record, const Visit &visit)
{
    const auto stay = record.subspan(visit.first, visit.last - visit.first + 1);
    const std::uint16_t extreme = visit.zone == Zone::High ? *std::ranges::max_element(stay)
                                                           : *std::ranges::min_element(stay);
    const auto first = std::size_t(std::ranges::find(stay, extreme) - stay.begin());
    const auto fromEnd
        = std::size_t(std::ranges::find(stay.rbegin(), stay.rend(), extreme) - stay.rbegin());
    return {visit.first + first, visit.first + stay.size() - 1 - fromEnd, extreme};
}

// A triangle's peaks and troughs: the middle of each visit's samples at its
// extreme. The first and the last visit count only when the record moves
// `reach` codes away from the extreme before and after it, which no few
// LSB of noise do: otherwise the turning point may lie beyond its ends.
std::vector<std::size_t> peaksAndTroughs(
    std::span<const std::uint16_t> record, const std::vector<Visit> &visits, double reach)
{
    const auto movesAway = [&](std::size_t from, std::size_t to, std::uint16_t extreme) {
        return std::any_of(record.begin() + std::ptrdiff_t(from),
            record.begin() + std::ptrdiff_t(to),
            [&](std::uint16_t code) { return std::abs(double(code) - extreme) > reach; });
    };
    std::vector<std::size_t> cuts;
    for (std::size_t i = 0; i < visits.size(); ++i) {
        const Turn turn = turnOf(record, visits[i]);
        if ((i == 0 && !movesAway(0, turn.first, turn.extreme))
            || (i + 1 == visits.size() && !movesAway(turn.last + 1, record.size(), turn.extreme)))
            continue;
        cuts.push_back((turn.first + turn.last) / 2);
    }
    return cuts;
}

} // namespace

SweepCut wholeSweepsOf(std::span<const std::uint16_t> record)
{
    if (record.empty())
        return {};
    const Range range = rangeOf(record);
    if (range.high - range.low < fewestCodes)
        return {};
    const std::vector<Visit> visits = visitsOf(record, range);
    if (visits.size() < 3)
        return {};
    std::vector<std::size_t> rises, falls; // samples taken to cross the middle third
    for (std::size_t i = 1; i < visits.size(); ++i)
        (visits[i].zone == Zone::High ? rises : falls)
            .push_back(visits[i].first - visits[i - 1].last);
    const std::size_t rise = median(rises);
    const std::size_t fall = median(falls);
    const double middle = (range.low + range.high) / 2;
    const std::vector<std::size_t> cuts = fall * sawtoothRatio < rise
        ? wraps(record, visits, Zone::Low, middle)
        : rise * sawtoothRatio < fall
        ? wraps(record, visits, Zone::High, middle)
        : peaksAndTroughs(record, visits, (range.high - range.low) / 6);
    if (cuts.size() < 2)
        return {};
    return {cuts.front(), cuts.back(), int(cuts.size() - 1)};
}

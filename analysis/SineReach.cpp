#include "SineReach.h"

#include <cmath>

namespace {

// The peak is looked for among this share of the hit span at each end.
constexpr int peakSearchShare = 8;

int peakOf(std::span<const std::uint64_t> counts, int from, int to, int step)
{
    int peak = from;
    for (int code = from; code != to + step; code += step) {
        if (counts[code] > counts[peak])
            peak = code;
    }
    return peak;
}

} // namespace

SineCodes sineAnalysedCodes(std::span<const std::uint64_t> counts, const HistogramShape &shape)
{
    const int reach = std::max(1, shape.span() / peakSearchShare);
    const int lowPeak = peakOf(counts, shape.lowest, shape.lowest + reach, 1);
    const int highPeak = peakOf(counts, shape.highest, shape.highest - reach, -1);
    if (highPeak - lowPeak < 2)
        return {shape.lowest + 1, shape.highest - 1};
    return {lowPeak + 1, highPeak - 1};
}

std::string sineReachWarning(const LinearityFigures &figures, int codeCount)
{
    // The codes between the sine's extreme and the end code, which lies half
    // an LSB beyond the end transition: at least 1 when it does not cross it.
    const auto codesShort = [](const std::optional<double> &overdrive) {
        return overdrive ? std::lround(0.5 - *overdrive) : 0;
    };
    const long low = codesShort(figures.overdriveLowLsb);
    const long high = codesShort(figures.overdriveHighLsb);
    if (low < 1 && high < 1)
        return {};
    const auto shortOf = [](long codes) {
        return std::to_string(codes) + (codes == 1 ? " code" : " codes") + " short of ";
    };
    std::string where;
    if (low == high)
        where = shortOf(low) + "the ends";
    else if (high < 1)
        where = shortOf(low) + "code 0";
    else if (low < 1)
        where = shortOf(high) + "code " + std::to_string(codeCount - 1);
    else
        where = shortOf(low) + "code 0 and " + shortOf(high) + "code "
            + std::to_string(codeCount - 1);
    return "not overdriven: the sine stops " + where + "; DNL and INL cover codes "
        + std::to_string(figures.firstCode) + " to " + std::to_string(figures.lastCode) + " only";
}

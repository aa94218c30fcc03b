#include "PartialSweep.h"

#include "FigureText.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A step counts from this many standard errors of the two plateaus' means:
// the largest of a few thousand splits of pure noise stays well below it.
constexpr double leastStepSignificance = 8;
// A weaker step counts too when the INL it makes lies beyond the stated
// 99 % INL uncertainty, which it would otherwise pass as a measured error:
// one sweep more among forty-four makes a step of 4.4 standard errors.
// Of a thousand histograms of 44 hits a code with counting noise alone,
// twelve show such a step.
constexpr double leastUncoveredStepSignificance = 4.3;
// Plateaus shorter than this are left to the DNL.
constexpr int shortestPlateau = 16;
// What may remain of the INL beyond the step's, as a share of the step's,
// for the plateaus to count as flat. A bow of the INL leaves a quarter.
constexpr double mostShapeBeyondStep = 0.2;

// The analysed codes from `from` to `to` against the others, which may lie
// on both sides: a capture that starts part-way through one sweep and stops
// part-way through a later one sweeps the codes between once more.
struct Step
{
    int from = -1; // index into the analysed codes
    int to = -1;
    double significance = 0;
    double insideMean = 0;
    double outsideMean = 0;
};

class StepSearch
{
public:
    StepSearch(std::span<const std::uint64_t> counts, int first, int last)
        : m_n(last - first + 1)
        , m_sum(m_n + 1, 0.0)
        , m_squares(m_n + 1, 0.0)
    {
        for (int i = 0; i < m_n; ++i) {
            const double hits = static_cast<double>(counts[first + i]);
            m_sum[i + 1] = m_sum[i] + hits;
            m_squares[i + 1] = m_squares[i] + hits * hits;
        }
    }

    // The split whose two levels differ most against their noise: the
    // larger of the counting noise and the scatter of the hits. A coarse
    // search over blocks, then each end moved a block either way.
    Step strongest() const
    {
        const int block = std::max(1, m_n / 128);
        Step best;
        for (int from = 0; from < m_n; from += block) {
            for (int to = from + block - 1; to < m_n + block - 1; to += block)
                best = stronger(best, step(from, std::min(to, m_n - 1)));
        }
        for (int round = 0; round < 2 && best.from >= 0; ++round) {
            const Step coarse = best;
            for (int from = coarse.from - block; from <= coarse.from + block; ++from)
                best = stronger(best, step(from, coarse.to));
            for (int to = best.to - block; to <= best.to + block; ++to)
                best = stronger(best, step(best.from, to));
        }
        return best;
    }

private:
    static Step stronger(const Step &a, const Step &b)
    {
        return b.significance > a.significance ? b : a;
    }

    Step step(int from, int to) const
    {
        const int inside = to - from + 1;
        const int outside = m_n - inside;
        if (from < 0 || to >= m_n || inside < shortestPlateau || outside < shortestPlateau)
            return {};
        const double sum = m_sum[to + 1] - m_sum[from];
        const double squares = m_squares[to + 1] - m_squares[from];
        const double insideMean = sum / inside;
        const double outsideMean = (m_sum[m_n] - sum) / outside;
        const double variance = noise(insideMean, sum, squares, inside)
            + noise(outsideMean, m_sum[m_n] - sum, m_squares[m_n] - squares, outside);
        if (!(variance > 0))
            return {};
        return {from, to, std::abs(insideMean - outsideMean) / std::sqrt(variance), insideMean,
            outsideMean};
    }

    static double noise(double mean, double sum, double squares, int count)
    {
        const double scatter = std::max(0.0, (squares - sum * mean) / (count - 1));
        return std::max(scatter, mean) / count;
    }

    int m_n;
    std::vector<double> m_sum, m_squares;
};

// The largest INL left within the plateaus once each is taken against its
// own mean; the outer one runs on across the inner.
double shapeBeyondStep(std::span<const std::uint64_t> counts, int first, int last, const Step &step)
{
    double inside = 0, outside = 0, largest = 0;
    for (int code = first; code <= last; ++code) {
        const bool in = code - first >= step.from && code - first <= step.to;
        double &inl = in ? inside : outside;
        inl += static_cast<double>(counts[code]) / (in ? step.insideMean : step.outsideMean) - 1;
        largest = std::max(largest, std::abs(inl));
    }
    return largest;
}

std::string codes(int from, int to)
{
    return "codes " + std::to_string(from) + " to " + std::to_string(to);
}

} // namespace

std::string partialSweepOf(std::span<const std::uint64_t> counts, const LinearityFigures &figures)
{
    const int first = figures.firstCode;
    const int last = figures.lastCode;
    if (figures.analysedCodes() < 2 * shortestPlateau)
        return {};
    const Step step = StepSearch(counts, first, last).strongest();
    if (step.significance < leastUncoveredStepSignificance || !(step.insideMean > 0)
        || !(step.outsideMean > 0))
        return {};
    const double n1 = step.to - step.from + 1;
    const double n2 = figures.analysedCodes() - n1;
    const double mean = (n1 * step.insideMean + n2 * step.outsideMean) / (n1 + n2);
    const double stepInl
        = n1 * n2 * std::abs(step.insideMean - step.outsideMean) / ((n1 + n2) * mean);
    const double stated = figures.inlEndPointUncertainty99.value_or(0);
    if (step.significance < leastStepSignificance && !(stated > 0 && stepInl > stated))
        return {};
    if (shapeBeyondStep(counts, first, last, step)
        > std::max(mostShapeBeyondStep * stepInl, stated))
        return {};
    const std::string inside = codes(first + step.from, first + step.to);
    std::string outside;
    if (step.from > 0)
        outside = codes(first, first + step.from - 1);
    if (first + step.to < last)
        outside += (outside.empty() ? "" : " and ") + codes(first + step.to + 1, last);
    const bool insideHigher = step.insideMean > step.outsideMean;
    return "a partial sweep: " + (insideHigher ? inside : outside) + " were swept more often than "
        + (insideHigher ? outside : inside) + " ("
        + fixedNumber(std::max(step.insideMean, step.outsideMean), 2) + " against "
        + fixedNumber(std::min(step.insideMean, step.outsideMean), 2)
        + " hits a code), a step no counting noise explains; INL is not measured";
}

#include "SpectrumComponents.h"

#include "FigureText.h"
#include "Periodogram.h"
#include "SineSweep.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Calls visit(k) for each bin of the main lobe about `centre` that is not taken.
template<typename Visit>
void eachFreeBin(const std::vector<bool> &taken, std::size_t centre, int halfWidth, Visit visit)
{
    const std::size_t from = centre > std::size_t(halfWidth) ? centre - halfWidth : 0;
    for (std::size_t k = from; k <= std::min(taken.size() - 1, centre + halfWidth); ++k)
        if (!taken[k])
            visit(k);
}

} // namespace

std::size_t largestBin(const std::vector<double> &power, std::size_t from, std::size_t to)
{
    const double *p = power.data();
    DoublePair low = {p[from], p[from]};
    DoublePair high = low;
    std::size_t k = from;
    for (; k + 4 <= to + 1; k += 4) {
        DoublePair a;
        DoublePair b;
        std::memcpy(&a, p + k, sizeof a);
        std::memcpy(&b, p + k + 2, sizeof b);
        low = a > low ? a : low;
        high = b > high ? b : high;
    }
    double largest = std::max({low[0], low[1], high[0], high[1]});
    for (; k <= to; ++k)
        largest = std::max(largest, p[k]);
    return std::size_t(std::find(p + from, p + to + 1, largest) - p);
}

std::pair<double, std::size_t> takeTone(
    const std::vector<double> &power, std::vector<bool> &taken, std::size_t centre, int halfWidth)
{
    double sum = 0;
    std::size_t count = 0;
    eachFreeBin(taken, centre, halfWidth, [&](std::size_t k) {
        taken[k] = true;
        sum += power[k];
        ++count;
    });
    return {sum, count};
}

double freePower(const std::vector<double> &power, const std::vector<bool> &taken,
    std::size_t centre, int halfWidth)
{
    double sum = 0;
    eachFreeBin(taken, centre, halfWidth, [&](std::size_t k) { sum += power[k]; });
    return sum;
}

void setNoiseFigures(DynamicResult &r, double noiseMean, double bandBins)
{
    r.noiseFloorDbfs = powerDbfs(noiseMean, r.bits);
    if (noiseMean > 0)
        r.snrFsDb = -powerDbfs(noiseMean * bandBins, r.bits);
    // Each bin is fs / N wide: the scaling makes a bin hold the noise of
    // that width, whatever the window.
    if (r.sampleRate && r.recordLength > 0)
        r.noiseDensityDbfsPerHz
            = *r.noiseFloorDbfs - 10 * std::log10(*r.sampleRate / double(r.recordLength));
}

namespace {

// The bins a spur list reads: a peak taken takes at most a main lobe of
// bins, so that the loudest bin left after n peaks is among the n lobes'
// bins and one more of the loudest at the start.
std::size_t spurCandidates(int halfWidth)
{
    return (listedSpurs - 1) * (2 * std::size_t(halfWidth) + 1) + 1;
}

// The `count` loudest bins offered, kept in a heap whose front is the
// quietest kept; a later bin of equal power never displaces an earlier one.
class LoudestBins
{
    struct Louder
    {
        const std::vector<double> &power;
        bool operator()(std::size_t a, std::size_t b) const
        {
            return power[a] > power[b] || (power[a] == power[b] && a < b);
        }
    };

public:
    LoudestBins(const std::vector<double> &power, std::size_t count)
        : m_power(power)
        , m_count(count)
    {
        m_kept.reserve(count);
    }

    // Only a bin above this can be kept.
    double threshold() const
    {
        return m_kept.size() < m_count ? -std::numeric_limits<double>::infinity()
                                       : m_power[m_kept.front()];
    }
    void offer(std::size_t k)
    {
        if (m_count == 0)
            return;
        if (m_kept.size() < m_count) {
            m_kept.push_back(k);
            std::ranges::push_heap(m_kept, Louder {m_power});
        } else if (m_power[k] > m_power[m_kept.front()]) {
            std::ranges::pop_heap(m_kept, Louder {m_power});
            m_kept.back() = k;
            std::ranges::push_heap(m_kept, Louder {m_power});
        }
    }
    std::vector<std::size_t> sorted() &&
    {
        std::ranges::sort(m_kept, Louder {m_power});
        return std::move(m_kept);
    }

private:
    const std::vector<double> &m_power;
    std::size_t m_count;
    std::vector<std::size_t> m_kept;
};

} // namespace

FreeBins freeBins(const std::vector<double> &power, const std::vector<bool> &taken, int halfWidth)
{
    // The sum in four lanes, two pairs, so that an add need not wait on the
    // one before; four bins are offered to the loudest only when one of them
    // stands above the quietest kept.
    DoublePair low = {0, 0};
    DoublePair high = {0, 0};
    double rest = 0;
    LoudestBins loudest(power, spurCandidates(halfWidth));
    double threshold = loudest.threshold();
    const auto offer = [&](std::size_t k) {
        if (power[k] > threshold) {
            loudest.offer(k);
            threshold = loudest.threshold();
        }
    };
    std::size_t count = 0;
    const double *p = power.data();
    const std::size_t size = std::min(power.size(), taken.size());
    if (size < 2)
        return {0, 0, std::move(loudest).sorted()};
    // The bits walked by an iterator: indexing one computes its word anew.
    auto bit = taken.begin() + 1;
    const auto lastBit = taken.begin() + std::ptrdiff_t(size);
    for (std::size_t k = 1; k < size;) {
        if (*bit) {
            ++k;
            ++bit;
            continue;
        }
        std::size_t end = k;
        while (bit != lastBit && !*bit) {
            ++end;
            ++bit;
        }
        count += end - k;
        for (; k + 4 <= end; k += 4) {
            DoublePair a;
            DoublePair b;
            std::memcpy(&a, p + k, sizeof a);
            std::memcpy(&b, p + k + 2, sizeof b);
            low += a;
            high += b;
            const DoublePair larger = a > b ? a : b;
            if (std::max(larger[0], larger[1]) > threshold)
                for (std::size_t i = k; i < k + 4; ++i)
                    offer(i);
        }
        for (; k < end; ++k) {
            rest += p[k];
            offer(k);
        }
    }
    return {(low[0] + low[1]) + (high[0] + high[1]) + rest, count, std::move(loudest).sorted()};
}

void listLargestSpurs(DynamicResult &r, const std::vector<double> &power, std::vector<bool> taken,
    int halfWidth, double fundamentalPower, const std::vector<std::size_t> &candidates)
{
    const auto level = [&](double p) {
        return p > 0 && fundamentalPower > 0 ? 10 * std::log10(p / fundamentalPower) : 0.0;
    };
    std::vector<SpectrumTone> spurs = r.spurs;
    spurs.insert(spurs.end(), r.harmonics.begin(), r.harmonics.end());
    // Enough peaks that the list is full even when every harmonic is quieter:
    // each the loudest bin not yet taken, the lowest of equals.
    auto next = candidates.begin();
    for (std::size_t found = 0; found < listedSpurs; ++found) {
        next = std::find_if(next, candidates.end(), [&](std::size_t k) { return !taken[k]; });
        if (next == candidates.end())
            break;
        const std::size_t loudest = *next;
        const double p = takeTone(power, taken, loudest, halfWidth).first;
        const double frequency = double(loudest) / double(r.recordLength);
        spurs.push_back({0, frequency, loudest, powerDbfs(p, r.bits), level(p)});
    }
    std::ranges::stable_sort(spurs, std::ranges::greater {}, &SpectrumTone::dbfs);
    if (spurs.size() > listedSpurs)
        spurs.resize(listedSpurs);
    r.spurs = std::move(spurs);
}

std::string fundamentalChoice(const DynamicResult &r, bool named, double toneFloorDb)
{
    if (named)
        return "the tone nearest the frequency named";
    // Another tone: a spur that is no harmonic and stands out of the noise.
    const auto isTone = [&](const SpectrumTone &spur) {
        return spur.order == 0 && r.noiseFloorDbfs && spur.dbfs > *r.noiseFloorDbfs + toneFloorDb;
    };
    const auto next = std::ranges::find_if(r.spurs, isTone);
    if (next == r.spurs.end())
        return "the largest tone, the only one";
    return "the largest of " + std::to_string(std::ranges::count_if(r.spurs, isTone) + 1)
        + " tones; the next at bin " + std::to_string(next->bin) + ", " + fixedNumber(-next->dbc, 2)
        + " dB below it";
}

void measureWithoutTone(DynamicResult &failed, DynamicResult &&analysed,
    const std::vector<double> &power, int halfWidth)
{
    failed.hasSpectrum = true;
    failed.window = analysed.window;
    failed.spectrumDbfs = std::move(analysed.spectrumDbfs);
    std::vector<bool> taken(power.size(), false);
    takeTone(power, taken, 0, halfWidth);
    const FreeBins free = freeBins(power, taken, halfWidth);
    if (free.count == 0)
        return;
    setNoiseFigures(failed, free.power / double(free.count), double(power.size() - 1));
    listLargestSpurs(failed, power, std::move(taken), halfWidth, 0, free.loudest);
}

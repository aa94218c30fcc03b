#include "SpectrumComponents.h"

#include "FigureText.h"
#include "Periodogram.h"

#include <algorithm>
#include <cmath>

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

// The `count` loudest bins from 1 on that are not taken, loudest first and
// the lower of equal bins first, in one pass over the spectrum. A peak taken
// takes at most a main lobe of bins: the loudest bin left after n peaks is
// among the n lobes' bins and one more of the loudest at the start.
std::vector<std::size_t> loudestBins(
    const std::vector<double> &power, const std::vector<bool> &taken, std::size_t count)
{
    // Ordered so that the heap's front is the quietest kept; a later bin of
    // equal power never displaces an earlier one.
    const auto louder = [&](std::size_t a, std::size_t b) {
        return power[a] > power[b] || (power[a] == power[b] && a < b);
    };
    std::vector<std::size_t> kept;
    kept.reserve(count);
    for (std::size_t k = 1; k < power.size(); ++k) {
        if (taken[k])
            continue;
        if (kept.size() < count) {
            kept.push_back(k);
            std::ranges::push_heap(kept, louder);
        } else if (power[k] > power[kept.front()]) {
            std::ranges::pop_heap(kept, louder);
            kept.back() = k;
            std::ranges::push_heap(kept, louder);
        }
    }
    std::ranges::sort(kept, louder);
    return kept;
}

} // namespace

void listLargestSpurs(DynamicResult &r, const std::vector<double> &power, std::vector<bool> taken,
    int halfWidth, double fundamentalPower)
{
    const auto level = [&](double p) {
        return p > 0 && fundamentalPower > 0 ? 10 * std::log10(p / fundamentalPower) : 0.0;
    };
    std::vector<SpectrumTone> spurs = r.spurs;
    spurs.insert(spurs.end(), r.harmonics.begin(), r.harmonics.end());
    // Enough peaks that the list is full even when every harmonic is quieter:
    // each the loudest bin not yet taken, the lowest of equals.
    const std::vector<std::size_t> candidates
        = loudestBins(power, taken, (listedSpurs - 1) * (2 * std::size_t(halfWidth) + 1) + 1);
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
    double noisePower = 0;
    std::size_t noiseBins = 0;
    for (std::size_t k = 1; k < power.size(); ++k) {
        if (!taken[k]) {
            noisePower += power[k];
            ++noiseBins;
        }
    }
    if (noiseBins == 0)
        return;
    setNoiseFigures(failed, noisePower / double(noiseBins), double(power.size() - 1));
    listLargestSpurs(failed, power, std::move(taken), halfWidth, 0);
}

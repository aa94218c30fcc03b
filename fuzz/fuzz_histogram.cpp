// Any bytes as a saved histogram, and whatever reads back through the
// analysis: adcapture --analyze takes files from anywhere.
#include "CodeDensityAnalysis.h"
#include "FigureText.h"
#include "HistogramCsv.h"

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

bool finite(const CodeExtreme &extreme)
{
    return std::isfinite(extreme.value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char *>(data), size));
    const HistogramCsvReading reading = readHistogramCsv(in);
    // A message shows the file's bytes, but never a control character.
    for (const char c : reading.error) {
        if (static_cast<unsigned char>(c) < 0x20)
            std::abort();
    }
    if (!reading.ok())
        return 0;
    if (reading.counts.empty() || reading.counts.size() > std::size_t(maxHistogramCsvCodes))
        std::abort();
    for (const std::optional<TestKind> kind :
        {std::optional<TestKind>(), std::optional(TestKind::Ramp), std::optional(TestKind::Sine)}) {
        const CodeDensityResult result = analyseCodeDensity(reading.counts, {kind, 1000.0});
        if (!std::isfinite(result.sigma) || !std::isfinite(result.meanCode))
            std::abort();
        if (result.hasLinearity()) {
            const LinearityFigures &l = result.linearity;
            if (!finite(l.dnlMin) || !finite(l.dnlMax) || !finite(l.inlEndPointMin)
                || !finite(l.inlEndPointMax) || !finite(l.inlBestFitMin)
                || !finite(l.inlBestFitMax))
                std::abort();
            if (l.inlEndPointUncertainty99 && !(*l.inlEndPointUncertainty99 >= 0))
                std::abort();
        }
        // No kind fits: no figures to pass a limit with.
        if (!result.kindFits && result.hasLinearity())
            std::abort();
        figureRows(result);
    }
    // What is written reads back as the same counts.
    std::istringstream again(histogramCsv(reading.counts));
    if (readHistogramCsv(again).counts != reading.counts)
        std::abort();
    return 0;
}

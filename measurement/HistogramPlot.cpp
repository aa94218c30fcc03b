#include "HistogramPlot.h"

#include "MeasurementState.h"
#include "NumberText.h"
#include "WindowToolkit.h"

#include <cstdint>

namespace {

constexpr int baseline = 4200; // twips from the top of the plot area
constexpr Rgb barColour {255, 128, 0};

} // namespace

void redrawHistogram(MeasurementState &state, WindowToolkit &window)
{
    // A full scale of 0 or below has no usable scale; the limit of the
    // arithmetic as it approaches 0 is that every non-empty bin reaches the top.
    const bool hasScale = state.fullScaleCount > 0;
    const std::int16_t scale = hasScale ? toInt16(4200.0 / state.fullScaleCount) : 0;

    const float width = window.plotWidth();
    state.barPitch = toInt16((width - 5) / state.spanCodes);

    std::int64_t x = 0;
    for (int code = state.startCode; code <= state.endCode; ++code, x += state.barPitch) {
        // Codes outside the histogram have no bin, and bars outside the area
        // would not show.
        if (code < 0 || code >= histogramBins || x < 0 || x >= width)
            continue;
        const int count = state.histogram[code];
        if (count == 0)
            continue;
        const std::int64_t height = hasScale ? std::int64_t(count) * scale : baseline;
        if (height < 0)
            continue; // never below the baseline
        const std::int64_t top = height > baseline ? 0 : baseline - height;
        window.drawPlotLine(int(x), baseline, int(x), int(top), barColour);
    }
}

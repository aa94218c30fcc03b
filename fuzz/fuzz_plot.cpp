// The plot of any state SET, RESET and START can leave.
#include "FuzzInput.h"
#include "PlotChecks.h"

#include "FieldLimits.h"
#include "HistogramPlot.h"
#include "MeasurementOperations.h"
#include "MeasurementState.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    PlotCheckingWindow window;
    MeasurementState state;

    // The setting fields as the operator may leave them, after their limits.
    for (TextField field : {TextField::Text5, TextField::Text6, TextField::Text7}) {
        window.setFieldText(field, input.text(16));
        applyFieldLimit(window, field);
    }
    if (input.byte() % 2)
        resetMeasurement(state, window);
    else
        applyDisplayWindow(state, window);
    if (input.byte() % 2) { // START since: the span and scale of the full range
        state.centerCode = 2048;
        state.spanCodes = 4096;
        state.fullScaleCount = 100;
    }

    // Counts only grow from zero, so bins are never negative.
    for (int bin = 0; bin < histogramBins && !input.empty(); bin += 1 + input.byte() % 64)
        state.histogram[bin] = std::int16_t(input.int16() & 0x7fff);

    redrawHistogram(state, window);

    long nonEmpty = 0;
    for (int code = state.startCode; code <= state.endCode; ++code)
        nonEmpty += state.histogram[code] != 0;
    if (window.linesDrawn > nonEmpty)
        std::abort();
    return 0;
}

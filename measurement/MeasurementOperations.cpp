#include "MeasurementOperations.h"

#include "MeasurementState.h"
#include "NumberText.h"
#include "WindowToolkit.h"

#include <algorithm>
#include <utility>

namespace {

std::int16_t fieldValue(const WindowToolkit &window, TextField field)
{
    return toInt16(parseNumber(window.fieldText(field)));
}

void readDisplaySettings(MeasurementState &state, WindowToolkit &window)
{
    // A start below 0 would make the plot read bins that do not exist; the
    // field keeps its text, only the state and the caption show 0.
    state.startCode = std::max<std::int16_t>(fieldValue(window, TextField::Text5), 0);
    state.endCode = fieldValue(window, TextField::Text6);
    state.fullScaleCount = fieldValue(window, TextField::Text7);

    if (state.startCode >= state.endCode) {
        state.startCode = 0;
        state.endCode = 4096;
    }
    // 0 <= start < end <= 32767, so the span always fits 16 bits.
    state.spanCodes = static_cast<std::int16_t>(state.endCode - state.startCode);
    state.centerCode = toInt16(state.spanCodes / 2.0 + state.startCode);

    window.setCaption(CaptionLabel::Label4, formatSigned(state.startCode));
    window.setCaption(CaptionLabel::Label11, formatSigned(state.centerCode));
    window.setCaption(CaptionLabel::Label5, formatSigned(state.endCode));
}

} // namespace

void resetMeasurement(MeasurementState &state, WindowToolkit &window)
{
    state.minCode = highestCode;
    state.maxCode = lowestCode;
    state.frameCount = 0;
    std::fill_n(state.histogram.begin(), 4097, 0);
    std::fill_n(state.wideCounts.begin(), 4097, 0);
    state.record.clear();
    window.clearPlot();
    readDisplaySettings(state, window);
}

void applyDisplayWindow(MeasurementState &state, WindowToolkit &window)
{
    window.clearPlot();
    readDisplaySettings(state, window);
}

void loadDemoPattern(MeasurementState &state)
{
    // Written in this order; bin 988 is deliberately absent.
    static constexpr std::pair<int, std::int16_t> pattern[] = {
        {4095, 10},
        {0, 10},
        {985, 20},
        {986, 30},
        {987, 55},
        {989, 65},
        {990, 72},
        {991, 78},
        {992, 70},
        {993, 82},
        {994, 87},
        {995, 80},
        {996, 83},
        {997, 88},
        {998, 95},
        {999, 97},
        {1000, 98},
        {1001, 43},
        {1002, 21},
        {1003, 10},
        {2048, 50},
    };
    for (const auto &[bin, count] : pattern) {
        state.histogram[bin] = count;
        state.wideCounts[bin] = static_cast<std::uint64_t>(count);
    }
}

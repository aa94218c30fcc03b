#include "AxisScale.h"

#include <algorithm>
#include <cmath>

double roundStep(double span, int count)
{
    const double raw = span / count;
    if (!(raw > 0) || !std::isfinite(raw))
        return 1;
    const double power = std::pow(10, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (raw <= factor * power)
            return factor * power;
    }
    return 10 * power;
}

AxisScale axisScale(double low, double high, double minimumSpan, int ticks)
{
    AxisScale axis;
    if (!std::isfinite(low) || !std::isfinite(high) || !std::isfinite(minimumSpan))
        return {0, 1, 0.25, {0, 0.25, 0.5, 0.75, 1}, 2};
    if (low > high)
        std::swap(low, high);
    const double magnitude = std::max(std::fabs(low), std::fabs(high));
    // Below a millionth of the magnitude the labels would need more digits
    // than a reader can compare, and a double has few more to give.
    const double span = std::max({high - low, minimumSpan, magnitude * 1e-6, 1e-300});
    const double middle = low / 2 + high / 2;
    if (high - low < span) {
        low = middle - span / 2;
        high = middle + span / 2;
    }
    ticks = std::clamp(ticks, 2, 10);
    axis.step = roundStep(span, ticks);
    double first = std::floor(low / axis.step), last = std::ceil(high / axis.step);
    // A round step of span / ticks gives ticks + 2 intervals at most; more
    // only where rounding at the double's last digit went astray.
    if (!(last - first >= 1 && last - first <= ticks + 2)) {
        axis.step = span;
        first = std::floor(low / axis.step);
        last = first + 1;
    }
    axis.low = first * axis.step;
    axis.high = last * axis.step;
    for (double k = first; k <= last; ++k) {
        const double tick = k * axis.step;
        axis.ticks.push_back(std::fabs(tick) < axis.step * 1e-9 ? 0 : tick);
    }
    const double top = std::max(std::fabs(axis.low), std::fabs(axis.high));
    // The digits down to the step's, and at least a whole number's own:
    // 40 is "40", never "4e+01".
    axis.digits = std::clamp(
        int(std::floor(std::log10(top)) - std::min(std::floor(std::log10(axis.step)), 0.0)) + 1, 1,
        15);
    return axis;
}

int AxisScale::decimals() const
{
    // The step's mantissa is 1, 2 or 5: its power of ten gives the decimals.
    return std::clamp(int(-std::floor(std::log10(step) + 1e-9)), 0, 15);
}

AxisScale ticksWithin(double from, double to, int count)
{
    AxisScale axis = axisScale(from, to, 0, count);
    // A tick a hair outside through rounding still counts.
    const double slack = (axis.high - axis.low) * 1e-9;
    std::erase_if(axis.ticks, [&](double tick) {
        return tick < std::min(from, to) - slack || tick > std::max(from, to) + slack;
    });
    return axis;
}

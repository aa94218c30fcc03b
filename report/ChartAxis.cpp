#include "ChartAxis.h"

#include "ReportFormat.h"

ChartAxis chartAxis(double low, double high, double minimumSpan, int ticks)
{
    return {axisScale(low, high, minimumSpan, ticks)};
}

std::string ChartAxis::label(double tick) const
{
    return numberText(tick, digits);
}

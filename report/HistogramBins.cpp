#include "HistogramBins.h"

#include "ChartAxis.h"
#include "FigureCatalog.h"
#include "SvgParts.h"

#include <algorithm>
#include <cmath>

double HistogramBins::place(double value) const
{
    return std::floor((value - offset) / width) - first;
}

void HistogramBins::add(double place, std::optional<bool> verdict, std::size_t boards)
{
    const std::size_t bin = std::size_t(std::clamp(place, 0.0, double(size() - 1)));
    (!verdict ? unheld : *verdict ? passed : failed)[bin] += boards;
}

HistogramBins histogramLayout(
    const std::string &figure, std::size_t count, double minimum, double maximum)
{
    const double span = figureMinimumSpan(figure, std::max(std::fabs(minimum), std::fabs(maximum)));
    const FigureDefinition *definition = findFigure(figure);
    const int target = std::clamp(int(std::ceil(std::sqrt(double(count)))), 5, 30);
    HistogramBins bins;
    bins.count = definition && definition->nature == FigureNature::Count;
    bins.width = roundStep(std::max(maximum - minimum, span / 10), target);
    if (bins.count)
        bins.width = std::max(1.0, bins.width);
    bins.offset = bins.count ? -0.5 : 0;
    bins.first = std::floor((minimum - bins.offset) / bins.width);
    const double last = std::floor((maximum - bins.offset) / bins.width);
    const std::size_t size = std::size_t(std::clamp(last - bins.first + 1, 1.0, 60.0));
    bins.failed.assign(size, 0);
    bins.passed.assign(size, 0);
    bins.unheld.assign(size, 0);
    return bins;
}

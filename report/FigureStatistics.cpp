#include "FigureStatistics.h"

#include "FigureCatalog.h"

#include <algorithm>
#include <cmath>

FigureStatistics describeFigure(std::string name, std::vector<double> values,
    std::optional<double> lowerLimit, std::optional<double> upperLimit)
{
    FigureMoments moments;
    moments.count = values.size();
    if (!values.empty()) {
        const auto [low, high] = std::ranges::minmax(values);
        moments.minimum = low;
        moments.maximum = high;
        // Two passes: the sum of squared deviations from the mean keeps its
        // digits where the sum of squares minus the squared sum would not
        // (figures like 4095.9 ± 0.001).
        double sum = 0;
        for (double value : values)
            sum += value;
        moments.mean = sum / double(values.size());
        for (double value : values)
            moments.squares += (value - moments.mean) * (value - moments.mean);
    }
    FigureStatistics statistics = describeMoments(std::move(name), moments, lowerLimit, upperLimit);
    statistics.values = std::move(values);
    return statistics;
}

FigureStatistics describeMoments(std::string name, const FigureMoments &moments,
    std::optional<double> lowerLimit, std::optional<double> upperLimit)
{
    FigureStatistics statistics;
    statistics.name = std::move(name);
    statistics.lowerLimit = lowerLimit;
    statistics.upperLimit = upperLimit;
    statistics.count = moments.count;
    if (moments.count > 0) {
        statistics.minimum = moments.minimum;
        statistics.maximum = moments.maximum;
        statistics.mean = moments.mean;
    }
    if (moments.count >= 2)
        statistics.sigma = std::sqrt(std::max(moments.squares, 0.0) / double(moments.count - 1));

    // σ that is zero, or only the rounding of equal values' mean, gives no
    // capability. A key the catalog does not know keeps it: it may well be
    // a measure.
    const double sigma = statistics.sigma.value_or(0);
    const double magnitude = std::max(std::fabs(statistics.minimum), std::fabs(statistics.maximum));
    const FigureDefinition *definition = findFigure(statistics.name);
    if (sigma <= 1e-12 * magnitude || (definition && definition->nature != FigureNature::Measure))
        return statistics;
    std::optional<double> cpk;
    if (upperLimit)
        cpk = (*upperLimit - statistics.mean) / (3 * sigma);
    if (lowerLimit) {
        const double lower = (statistics.mean - *lowerLimit) / (3 * sigma);
        cpk = cpk ? std::min(*cpk, lower) : lower;
    }
    statistics.cpk = cpk;
    return statistics;
}

std::optional<ControlLimits> individualsLimits(const std::vector<double> &values)
{
    if (values.size() < 2)
        return std::nullopt;
    double sum = 0, ranges = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        sum += values[i];
        if (i > 0)
            ranges += std::fabs(values[i] - values[i - 1]);
    }
    const double centre = sum / double(values.size());
    const double spread = 2.66 * ranges / double(values.size() - 1);
    return ControlLimits {centre, centre - spread, centre + spread};
}

#include "ReportCharts.h"

#include "ChartAxis.h"
#include "FigureDisplay.h"
#include "ReportFormat.h"
#include "SvgParts.h"

#include <algorithm>
#include <cmath>

namespace {

// The database's counts, or the figure's values binned here.
HistogramBins binsOf(const FigureStatistics &figure)
{
    if (figure.bins)
        return *figure.bins;
    HistogramBins bins = histogramLayout(figure.name, figure.count, figure.minimum, figure.maximum);
    for (std::size_t i = 0; i < figure.values.size(); ++i)
        bins.add(bins.place(figure.values[i]),
            i < figure.verdicts.size() ? figure.verdicts[i] : std::nullopt);
    return bins;
}

// A limit as a dashed red line across a plot, or its name at the plot's edge
// when it lies beyond the axis.
std::string limitMark(const std::optional<double> &limit, const std::string &name,
    const ChartAxis &axis, double left, double top, double plotWidth, double plotHeight,
    const FigureDisplay &display)
{
    if (!limit)
        return {};
    const std::string label = name + " " + display.value(*limit);
    const std::string colour = std::string("fill=\"") + failColour + "\" font-size=\"11\"";
    if (*limit < axis.low || *limit > axis.high) {
        const bool below = *limit < axis.low;
        return text(below ? left + 4 : left + plotWidth - 4, top - 8,
            below ? "\u2190 " + label : label + " \u2192",
            std::string("text-anchor=\"") + (below ? "start" : "end") + "\" " + colour);
    }
    const double x = left + axis.place(*limit) * plotWidth;
    const bool nearRight = x > left + plotWidth * 0.7;
    return line(x, top - 6, x, top + plotHeight,
               std::string("stroke=\"") + failColour
                   + "\" stroke-width=\"2\" stroke-dasharray=\"5,3\"")
        + text(nearRight ? x - 4 : x + 4, top - 8, label,
            std::string("text-anchor=\"") + (nearRight ? "end" : "start") + "\" " + colour);
}

} // namespace

std::string yieldChart(const LotSummary &lot)
{
    constexpr int labelWidth = 140, barWidth = 280, rowHeight = 30, width = 590;
    std::vector<const BoardYield *> rows {&lot.total};
    for (const BoardYield &station : lot.stations)
        rows.push_back(&station);
    const int height = int(rows.size()) * rowHeight + 28;
    std::string svg = svgOpen(width, height, "Yield per station");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const BoardYield &yield = *rows[i];
        const int y = int(i) * rowHeight + 4;
        const std::string name = i == 0 ? "Lot (all stations)" : yield.station;
        svg += "<g><title>" + htmlEscaped(name) + "</title>";
        svg += text(labelWidth - 8, y + 16, htmlEscaped(shortened(name, 18)),
            std::string("text-anchor=\"end\" font-size=\"13\"")
                + (i == 0 ? " font-weight=\"bold\"" : ""));
        const double passedWidth = yield.yield() * barWidth;
        svg += rect(labelWidth, y, barWidth, 22, "#eee");
        svg += rect(labelWidth, y, passedWidth, 22, passColour);
        if (yield.failed > 0)
            svg += rect(labelWidth + passedWidth, y, barWidth - passedWidth, 22, failColour);
        svg += text(labelWidth + barWidth + 10, y + 16,
                   percentText(yield.yield()) + " &#183; " + std::to_string(yield.passed) + " of "
                       + std::to_string(yield.boards) + " passed",
                   "font-size=\"13\"")
            + "</g>";
    }
    const int axis = int(rows.size()) * rowHeight + 4;
    for (int percent = 0; percent <= 100; percent += 25) {
        const double x = labelWidth + barWidth * percent / 100.0;
        svg += line(x, axis - 4, x, axis, "stroke=\"#888\"");
        svg += text(x, axis + 14, std::to_string(percent) + " %",
            "text-anchor=\"middle\" font-size=\"11\" fill=\"#555\"");
    }
    return svg + "</svg>";
}

std::string histogramChart(const FigureStatistics &figure)
{
    constexpr double width = 340, height = 236, left = 40, right = 14, top = 58, bottom = 36;
    constexpr double plotWidth = width - left - right, plotHeight = height - top - bottom;
    const FigureDisplay display(figure.name);
    std::string svg = svgOpen(width, height, "Histogram of " + display.title())
        + chartTitle(width, display.title());
    if (figure.count == 0 || (figure.values.empty() && !figure.bins))
        return svg + "</svg>";

    const double span = figureMinimumSpan(
        figure.name, std::max(std::fabs(figure.minimum), std::fabs(figure.maximum)));
    const HistogramBins bins = binsOf(figure);
    const double binsEnd = bins.origin() + double(bins.size()) * bins.width;
    const auto [low, high]
        = shownRange(bins.origin(), binsEnd, span, figure.lowerLimit, figure.upperLimit);
    const ChartAxis axis = chartAxis(low, high, span);
    const auto xOf = [&](double value) { return left + axis.place(value) * plotWidth; };

    std::size_t tallest = 1;
    for (std::size_t i = 0; i < bins.failed.size(); ++i)
        tallest = std::max(tallest, bins.failed[i] + bins.passed[i] + bins.unheld[i]);
    const double baseline = top + plotHeight;
    for (std::size_t i = 0; i < bins.failed.size(); ++i) {
        const double from = bins.origin() + double(i) * bins.width;
        const double x = xOf(from), barWidth = std::max(xOf(from + bins.width) - x - 1, 1.0);
        const std::string range = bins.count && bins.width == 1
            ? "at " + display.value(from + 0.5)
            : display.value(from) + " to " + display.value(from + bins.width);
        double y = baseline;
        // Failed boards at the bottom, where a reader looks first.
        struct Layer
        {
            const std::vector<std::size_t> &counts;
            const char *colour;
            const char *verdict;
        };
        for (const Layer &layer :
            {Layer {bins.failed, failColour, "failed"}, Layer {bins.passed, barColour, "passed"},
                Layer {bins.unheld, noneColour, "held to no limit"}}) {
            const std::size_t boards = layer.counts[i];
            if (boards == 0)
                continue;
            const double barHeight = plotHeight * double(boards) / double(tallest);
            y -= barHeight;
            svg += rect(x, y, barWidth, barHeight, layer.colour,
                countedText(boards, "board", "boards") + " " + range + ", " + layer.verdict);
        }
    }
    svg += axes(left, top, plotWidth, plotHeight);
    svg += text(left - 4, top + 4, std::to_string(tallest), "text-anchor=\"end\" font-size=\"11\"");
    svg += text(left - 4, baseline, "0", "text-anchor=\"end\" font-size=\"11\"");
    svg += horizontalTicks(axis, left, plotWidth, baseline);
    svg += limitMark(figure.lowerLimit, "LSL", axis, left, top, plotWidth, plotHeight, display);
    svg += limitMark(figure.upperLimit, "USL", axis, left, top, plotWidth, plotHeight, display);
    svg += legend(left, 34, {{barColour, "passed"}, {failColour, "failed"}});
    svg += text(left + plotWidth, height - 4,
        "n = " + std::to_string(figure.count) + ", mean " + display.statistic(figure.mean),
        "text-anchor=\"end\" font-size=\"11\" fill=\"#555\"");
    return svg + "</svg>";
}

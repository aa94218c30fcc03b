#include "TrendCharts.h"

#include "FigureDisplay.h"
#include "FigureStatistics.h"
#include "ReportFormat.h"
#include "SvgParts.h"

#include <algorithm>
#include <cmath>

namespace {

// A horizontal line across the plot, named at its right end.
struct Level
{
    double y;
    std::string label;
    const char *colour;
    bool dashed;
};

// The lines, their names at least 12 px apart so that a limit beside the
// centre line stays readable.
std::string levels(std::vector<Level> lines, double left, double plotWidth)
{
    std::ranges::sort(lines, {}, &Level::y);
    std::string svg;
    double below = -1e9;
    for (const Level &level : lines) {
        const double labelY = std::max(level.y + 4, below + 12);
        below = labelY;
        svg += line(left, level.y, left + plotWidth, level.y,
                   std::string("stroke=\"") + level.colour + "\""
                       + (level.dashed ? " stroke-dasharray=\"5,3\"" : ""))
            + text(left + plotWidth + 4, labelY, level.label,
                std::string("font-size=\"11\" fill=\"") + level.colour + "\"");
    }
    return svg;
}

// The date and time of an ISO time to the second, "2026-03-01 08:00:05".
std::string shortTime(const std::string &time)
{
    std::string shown = time.substr(0, 19);
    std::ranges::replace(shown, 'T', ' ');
    return htmlEscaped(shown);
}

} // namespace

std::string runChart(const FigureRun &run)
{
    constexpr double width = 530, height = 250, left = 54, right = 92, top = 30, bottom = 40;
    constexpr double plotWidth = width - left - right, plotHeight = height - top - bottom;
    const FigureDisplay display(run.figure);
    const std::string title = display.title() + " at " + run.station;
    std::string svg = svgOpen(width, height, "Run chart of " + title) + chartTitle(width, title);
    if (run.points.empty())
        return svg + "</svg>";

    std::vector<double> values;
    for (const RunPoint &point : run.points)
        values.push_back(point.value);
    const std::optional<ControlLimits> control = individualsLimits(values);
    auto [low, high] = std::ranges::minmax(values);
    if (control) {
        low = std::min(low, control->lower);
        high = std::max(high, control->upper);
    }
    const double span = figureMinimumSpan(run.figure, std::max(std::fabs(low), std::fabs(high)));
    const auto [shownLow, shownHigh] = shownRange(low, high, span, run.lowerLimit, run.upperLimit);
    const ChartAxis axis = chartAxis(shownLow, shownHigh, span);
    const auto yOf = [&](double value) { return top + (1 - axis.place(value)) * plotHeight; };
    const auto xOf = [&](std::size_t i) {
        return left + (double(i) + 0.5) / double(run.points.size()) * plotWidth;
    };

    svg += axes(left, top, plotWidth, plotHeight) + verticalTicks(axis, left, top, plotHeight);
    std::vector<Level> lines;
    for (const auto &[limit, name] :
        {std::pair(run.lowerLimit, "LSL"), std::pair(run.upperLimit, "USL")}) {
        if (limit && *limit >= axis.low && *limit <= axis.high)
            lines.push_back(
                {yOf(*limit), std::string(name) + " " + display.value(*limit), failColour, true});
    }
    if (control) {
        lines.push_back({yOf(control->centre), "CL " + display.statistic(control->centre),
            controlColour, false});
        lines.push_back(
            {yOf(control->upper), "UCL " + display.statistic(control->upper), controlColour, true});
        lines.push_back(
            {yOf(control->lower), "LCL " + display.statistic(control->lower), controlColour, true});
    }
    svg += levels(std::move(lines), left, plotWidth);
    std::string path;
    for (std::size_t i = 0; i < values.size(); ++i)
        path += svgNumber(xOf(i)) + "," + svgNumber(yOf(values[i])) + " ";
    svg += "<polyline points=\"" + path + "\" fill=\"none\" stroke=\"#90a4ae\"/>";
    std::size_t beyond = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const RunPoint &point = run.points[i];
        const bool out = control && (point.value > control->upper || point.value < control->lower);
        beyond += out;
        svg += "<circle cx=\"" + svgNumber(xOf(i)) + "\" cy=\"" + svgNumber(yOf(point.value))
            + "\" r=\"3.5\" fill=\"" + (point.pass ? barColour : failColour) + "\""
            + (out ? " stroke=\"#000\" stroke-width=\"2\"" : "") + "><title>"
            + htmlEscaped(point.board.text() + " " + point.time + ": "
                + display.valueWithUnit(point.value) + (point.pass ? "" : ", failed"))
            + "</title></circle>";
    }
    const double baseline = top + plotHeight;
    svg += text(left, baseline + 16, shortTime(run.points.front().time), "font-size=\"11\"");
    svg += text(left + plotWidth, baseline + 16, shortTime(run.points.back().time),
        "text-anchor=\"end\" font-size=\"11\"");
    svg += text(left + plotWidth, height - 4,
        (run.points.size() < run.tests ? "the last " + std::to_string(values.size()) + " of "
                    + countedText(run.tests, "test", "tests")
                                       : countedText(values.size(), "test", "tests"))
            + " in time order"
            + (control ? ", " + std::to_string(beyond) + " beyond the control limits" : ""),
        "text-anchor=\"end\" font-size=\"11\" fill=\"#555\"");
    return svg + "</svg>";
}

std::string paretoChart(const std::vector<LimitFailures> &failures)
{
    constexpr double width = 640, height = 270, left = 44, right = 48, top = 30, bottom = 80;
    constexpr double plotWidth = width - left - right, plotHeight = height - top - bottom;
    std::string svg = svgOpen(width, height, "Failures by limit")
        + chartTitle(width, "Failures by limit (every test that counts)");
    std::size_t total = 0, most = 0;
    for (const LimitFailures &limit : failures) {
        total += limit.failures;
        most = std::max(most, limit.failures);
    }
    if (total == 0)
        return svg + "</svg>";
    const ChartAxis counts = chartAxis(0, double(most), 4, 4);
    svg += axes(left, top, plotWidth, plotHeight) + verticalTicks(counts, left, top, plotHeight);
    const double slot = plotWidth / double(failures.size());
    const double baseline = top + plotHeight;
    std::string path;
    std::size_t cumulative = 0;
    for (std::size_t i = 0; i < failures.size(); ++i) {
        const LimitFailures &limit = failures[i];
        const double x = left + double(i) * slot, centre = x + slot / 2;
        const double barHeight = plotHeight * counts.place(double(limit.failures));
        svg += rect(x + slot * 0.15, baseline - barHeight, slot * 0.7, barHeight, failColour,
            limit.limit + ": " + countedText(limit.failures, "failure", "failures"));
        svg += text(centre, baseline + 14, htmlEscaped(shortened(limit.limit, 16)),
            "text-anchor=\"end\" font-size=\"11\" transform=\"rotate(-35 " + svgNumber(centre) + " "
                + svgNumber(baseline + 14) + ")\"");
        cumulative += limit.failures;
        path += svgNumber(centre) + ","
            + svgNumber(top + plotHeight * (1 - double(cumulative) / double(total))) + " ";
    }
    svg += "<polyline points=\"" + path + "\" fill=\"none\" stroke=\"#333\" stroke-width=\"2\"/>";
    for (const int percent : {0, 50, 100}) {
        const double y = top + plotHeight * (1 - percent / 100.0);
        svg += line(left + plotWidth, y, left + plotWidth + 4, y, "stroke=\"#444\"");
        svg += text(
            left + plotWidth + 6, y + 4, std::to_string(percent) + " %", "font-size=\"11\"");
    }
    return svg + "</svg>";
}

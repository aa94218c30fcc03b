#include "ReportHtml.h"

#include "FigureDisplay.h"
#include "ReportFormat.h"
#include "ReportText.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr const char *style = R"(
body { font-family: sans-serif; margin: 24px; color: #222; max-width: 1100px; }
h1 { font-size: 22px; margin-bottom: 4px; }
h2 { font-size: 19px; margin-top: 32px; border-bottom: 2px solid #ccc; padding-bottom: 4px; }
h3 { font-size: 15px; margin: 20px 0 8px; }
.scope { color: #555; font-size: 13px; }
.verdict { font-size: 15px; }
.pass { color: #2e7d32; }
.fail { color: #c62828; font-weight: bold; }
table { border-collapse: collapse; font-size: 13px; }
th, td { border: 1px solid #ccc; padding: 3px 8px; text-align: left; vertical-align: top; }
th { background: #f0f0f0; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
.cpk-low { background: #fde0e0; }
.cpk-marginal { background: #fff3cd; }
.histograms { display: flex; flex-wrap: wrap; gap: 12px; margin-top: 14px; }
svg text { font-family: sans-serif; }
.none { color: #555; font-style: italic; }
)";

constexpr const char *passColour = "#2e7d32";
constexpr const char *failColour = "#c62828";
constexpr const char *barColour = "#1565c0";

std::string n(double value)
{
    return numberText(value, 6);
}

// At most `characters` characters of valid UTF-8, with an ellipsis when cut.
std::string shortened(std::string_view text, std::size_t characters)
{
    const std::string valid = validUtf8(text);
    std::size_t count = 0;
    for (std::size_t i = 0; i < valid.size(); ++i) {
        if ((static_cast<unsigned char>(valid[i]) & 0xC0) != 0x80 && count++ == characters)
            return valid.substr(0, i) + "\u2026";
    }
    return valid;
}

std::string cell(const std::string &escapedText, bool number = false)
{
    return std::string(number ? "<td class=\"n\">" : "<td>") + escapedText + "</td>";
}

// A number the figure may lack (σ of one value, a limit), written by `text`.
template<typename Text> std::string optionalCell(const std::optional<double> &value, Text text)
{
    return cell(value ? text(*value) : "&ndash;", true);
}

std::string passText(bool pass)
{
    return pass ? "<span class=\"pass\">pass</span>" : "<span class=\"fail\">FAIL</span>";
}

std::string lotName(const std::string &lot)
{
    return lot.empty() ? "(none)" : htmlEscaped(lot);
}

// Horizontal bars, one per station and one for the lot: the passed share in
// green, the failed share in red.
std::string yieldChart(const LotSummary &lot)
{
    constexpr int labelWidth = 190, barWidth = 560, rowHeight = 30, width = 960;
    std::vector<const BoardYield *> rows {&lot.total};
    for (const BoardYield &station : lot.stations)
        rows.push_back(&station);
    const int height = int(rows.size()) * rowHeight + 28;
    std::string svg = "<svg width=\"" + std::to_string(width) + "\" height=\""
        + std::to_string(height) + "\" role=\"img\" aria-label=\"Yield per station\">";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const BoardYield &yield = *rows[i];
        const int y = int(i) * rowHeight + 4;
        const std::string name = i == 0 ? "Lot (all stations)" : yield.station;
        svg += "<g><title>" + htmlEscaped(name) + "</title>";
        svg += "<text x=\"" + std::to_string(labelWidth - 8) + "\" y=\"" + std::to_string(y + 16)
            + "\" text-anchor=\"end\" font-size=\"13\"" + (i == 0 ? " font-weight=\"bold\"" : "")
            + ">" + htmlEscaped(shortened(name, 24)) + "</text>";
        const double passed = yield.boards ? double(yield.passed) / double(yield.boards) : 0;
        const double passedWidth = passed * barWidth;
        svg += "<rect x=\"" + std::to_string(labelWidth) + "\" y=\"" + std::to_string(y)
            + "\" width=\"" + n(barWidth) + "\" height=\"22\" fill=\"#eee\"/>";
        svg += "<rect x=\"" + std::to_string(labelWidth) + "\" y=\"" + std::to_string(y)
            + "\" width=\"" + n(passedWidth) + "\" height=\"22\" fill=\"" + passColour + "\"/>";
        if (yield.failed > 0) {
            svg += "<rect x=\"" + n(labelWidth + passedWidth) + "\" y=\"" + std::to_string(y)
                + "\" width=\"" + n(barWidth - passedWidth) + "\" height=\"22\" fill=\""
                + failColour + "\"/>";
        }
        svg += "<text x=\"" + std::to_string(labelWidth + barWidth + 10) + "\" y=\""
            + std::to_string(y + 16) + "\" font-size=\"13\">" + percentText(yield.yield())
            + " &#183; " + std::to_string(yield.passed) + " of " + std::to_string(yield.boards)
            + " passed</text></g>";
    }
    // The scale under the bars.
    const int axis = int(rows.size()) * rowHeight + 4;
    for (int percent = 0; percent <= 100; percent += 25) {
        const double x = labelWidth + barWidth * percent / 100.0;
        svg += "<line x1=\"" + n(x) + "\" y1=\"" + std::to_string(axis - 4) + "\" x2=\"" + n(x)
            + "\" y2=\"" + std::to_string(axis) + "\" stroke=\"#888\"/>";
        svg += "<text x=\"" + n(x) + "\" y=\"" + std::to_string(axis + 14)
            + "\" text-anchor=\"middle\" font-size=\"11\" fill=\"#555\">" + std::to_string(percent)
            + " %</text>";
    }
    return svg + "</svg>";
}

// A step of 1, 2 or 5 times a power of ten giving about `count` ticks over `span`.
double tickStep(double span, int count)
{
    const double raw = span / count;
    const double power = std::pow(10, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (raw <= factor * power)
            return factor * power;
    }
    return 10 * power;
}

// The values' histogram over an axis that shows the limits too, each limit a
// dashed red line. A limit far from the values (more than twice their spread
// beyond them) would squeeze the bars to a sliver: it is written at the edge
// with an arrow instead.
// A section's heading, then its table, or a line saying it has nothing.
std::string tableSection(std::string_view heading, std::string_view none,
    std::string_view headerCells, const std::string &rows)
{
    std::string html = "<h3>" + std::string(heading) + "</h3>\n";
    if (rows.empty())
        return html + "<p class=\"none\">" + std::string(none) + "</p>\n";
    return html + "<table>\n<tr>" + std::string(headerCells) + "</tr>\n" + rows + "</table>\n";
}

std::string histogram(const FigureStatistics &figure)
{
    constexpr double width = 340, height = 224, left = 40, right = 14, top = 48, bottom = 36;
    constexpr double plotWidth = width - left - right, plotHeight = height - top - bottom;
    const FigureDisplay display(figure.name);
    const std::string title = display.title();
    std::string svg = "<svg width=\"" + n(width) + "\" height=\"" + n(height)
        + "\" role=\"img\" aria-label=\"Histogram of " + htmlEscaped(title)
        + "\" style=\"border:1px solid #ddd\">";
    svg += "<title>" + htmlEscaped(title) + "</title>";
    svg += "<text x=\"" + n(width / 2)
        + "\" y=\"16\" text-anchor=\"middle\" font-size=\"13\" "
          "font-weight=\"bold\">"
        + htmlEscaped(shortened(title, 40)) + "</text>";
    if (figure.count == 0)
        return svg + "</svg>";

    const double spread = figure.maximum - figure.minimum;
    const double reach = spread > 0 ? 2 * spread : std::max(std::fabs(figure.mean) * 0.5, 1.0);
    double low = figure.minimum, high = figure.maximum;
    if (figure.lowerLimit)
        low = std::min(low, std::max(*figure.lowerLimit, figure.minimum - reach));
    if (figure.upperLimit)
        high = std::max(high, std::min(*figure.upperLimit, figure.maximum + reach));
    const double padding = high > low ? (high - low) * 0.06 : reach * 0.25;
    low -= padding;
    high += padding;
    const auto xOf = [&](double value) { return left + (value - low) / (high - low) * plotWidth; };

    // Bins over the values alone: about √n, 5 to 30.
    const int bins
        = spread > 0 ? std::clamp(int(std::ceil(std::sqrt(double(figure.count)))), 5, 30) : 1;
    std::vector<std::size_t> counts(std::size_t(bins), 0);
    for (const double value : figure.values) {
        const int bin = spread > 0 ? int((value - figure.minimum) / spread * bins) : 0;
        ++counts[std::size_t(std::clamp(bin, 0, bins - 1))];
    }
    const std::size_t tallest = *std::ranges::max_element(counts);
    const double binWidth = spread > 0 ? spread / bins : (high - low) / 40;
    for (int i = 0; i < bins; ++i) {
        if (counts[std::size_t(i)] == 0)
            continue;
        const double from = spread > 0 ? figure.minimum + i * binWidth : figure.mean - binWidth / 2;
        const double centre = from + binWidth / 2;
        const bool outside = (figure.lowerLimit && centre < *figure.lowerLimit)
            || (figure.upperLimit && centre > *figure.upperLimit);
        const double barHeight = plotHeight * double(counts[std::size_t(i)]) / double(tallest);
        svg += "<rect x=\"" + n(xOf(from)) + "\" y=\"" + n(top + plotHeight - barHeight)
            + "\" width=\"" + n(std::max(xOf(from + binWidth) - xOf(from) - 1, 1.0))
            + "\" height=\"" + n(barHeight) + "\" fill=\"" + (outside ? failColour : barColour)
            + "\"><title>" + std::to_string(counts[std::size_t(i)]) + " board(s)</title></rect>";
    }
    // Axes, ticks, and the tallest count.
    const double baseline = top + plotHeight;
    svg += "<line x1=\"" + n(left) + "\" y1=\"" + n(baseline) + "\" x2=\"" + n(left + plotWidth)
        + "\" y2=\"" + n(baseline) + "\" stroke=\"#444\"/>";
    svg += "<line x1=\"" + n(left) + "\" y1=\"" + n(top) + "\" x2=\"" + n(left) + "\" y2=\""
        + n(baseline) + "\" stroke=\"#444\"/>";
    svg += "<text x=\"" + n(left - 4) + "\" y=\"" + n(top + 4)
        + "\" text-anchor=\"end\" font-size=\"11\">" + std::to_string(tallest) + "</text>";
    svg += "<text x=\"" + n(left - 4) + "\" y=\"" + n(baseline)
        + "\" text-anchor=\"end\" font-size=\"11\">0</text>";
    const double step = tickStep(high - low, 4);
    for (double tick = std::ceil(low / step) * step; tick <= high; tick += step) {
        const double x = xOf(tick);
        svg += "<line x1=\"" + n(x) + "\" y1=\"" + n(baseline) + "\" x2=\"" + n(x) + "\" y2=\""
            + n(baseline + 4) + "\" stroke=\"#444\"/>";
        svg += "<text x=\"" + n(x) + "\" y=\"" + n(baseline + 16)
            + "\" text-anchor=\"middle\" font-size=\"11\">"
            + numberText(std::fabs(tick) < step * 1e-9 ? 0 : tick, 4) + "</text>";
    }
    const auto limitLine = [&](const std::optional<double> &limit, const char *name) {
        if (!limit)
            return;
        const std::string label = std::string(name) + " " + display.value(*limit);
        if (*limit < low || *limit > high) { // beyond the axis: named at its edge
            const bool below = *limit < low;
            svg += "<text x=\"" + n(below ? left + 4 : left + plotWidth - 4) + "\" y=\""
                + n(top - 4) + "\" text-anchor=\"" + (below ? "start" : "end")
                + "\" font-size=\"11\" fill=\"" + failColour + "\">"
                + (below ? "\u2190 " + label : label + " \u2192") + "</text>";
            return;
        }
        const double x = xOf(*limit);
        svg += "<line x1=\"" + n(x) + "\" y1=\"" + n(top - 6) + "\" x2=\"" + n(x) + "\" y2=\""
            + n(baseline) + "\" stroke=\"" + failColour
            + "\" stroke-width=\"2\" stroke-dasharray=\"5,3\"/>";
        const bool nearRight = x > left + plotWidth * 0.7;
        svg += "<text x=\"" + n(nearRight ? x - 4 : x + 4) + "\" y=\"" + n(top - 8)
            + "\" text-anchor=\"" + (nearRight ? "end" : "start") + "\" font-size=\"11\" fill=\""
            + failColour + "\">" + label + "</text>";
    };
    limitLine(figure.lowerLimit, "LSL");
    limitLine(figure.upperLimit, "USL");
    svg += "<text x=\"" + n(left + plotWidth) + "\" y=\"" + n(height - 4)
        + "\" text-anchor=\"end\" font-size=\"11\" fill=\"#555\">n = "
        + std::to_string(figure.count) + ", mean " + display.statistic(figure.mean) + "</text>";
    return svg + "</svg>";
}

std::string cpkCell(const std::optional<double> &cpk)
{
    if (!cpk)
        return cell("&ndash;", true);
    // 1.33 is the usual floor of a capable process; below 1 the limits cut
    // into the spread.
    const char *grade = *cpk < 1 ? " cpk-low" : *cpk < 1.33 ? " cpk-marginal" : "";
    return std::string("<td class=\"n") + grade + "\">" + numberText(*cpk, 3) + "</td>";
}

void lotSection(std::string &html, const LotSummary &lot)
{
    html += "<section>\n<h2>Lot " + lotName(lot.lot) + "</h2>\n";
    html += "<p class=\"verdict\">" + std::to_string(lot.total.boards) + " boards, "
        + "<span class=\"pass\">" + std::to_string(lot.total.passed) + " passed</span>, "
        + (lot.total.failed ? "<span class=\"fail\">" : "<span>") + std::to_string(lot.total.failed)
        + " failed</span>, yield <b>" + percentText(lot.total.yield()) + "</b> ("
        + std::to_string(lot.records)
        + " records; each board counted once, by its last result)</p>\n";

    html += "<h3>Yield per station</h3>\n" + yieldChart(lot) + "\n";
    html += "<table>\n<tr><th>Station</th><th>Boards</th><th>Passed</th><th>Failed</th>"
            "<th>Yield</th></tr>\n";
    for (const BoardYield &station : lot.stations) {
        html += "<tr>" + cell(htmlEscaped(station.station))
            + cell(std::to_string(station.boards), true)
            + cell(std::to_string(station.passed), true)
            + cell(std::to_string(station.failed), true) + cell(percentText(station.yield()), true)
            + "</tr>\n";
    }
    html += "</table>\n";

    html += "<h3>Figures</h3>\n";
    if (lot.figures.empty()) {
        html += "<p class=\"none\">The records hold no figures.</p>\n";
    } else {
        html += "<table>\n<tr><th>Figure</th><th>n</th><th>Mean</th><th>&sigma;</th>"
                "<th>Min</th><th>Max</th><th>LSL</th><th>USL</th><th>Cpk</th></tr>\n";
        for (const FigureStatistics &figure : lot.figures) {
            const FigureDisplay display(figure.name);
            const auto value = [&display](double number) { return display.value(number); };
            const auto statistic = [&display](double number) { return display.statistic(number); };
            html += "<tr>" + cell(htmlEscaped(display.title()))
                + cell(std::to_string(figure.count), true) + cell(statistic(figure.mean), true)
                + optionalCell(figure.sigma, statistic) + cell(value(figure.minimum), true)
                + cell(value(figure.maximum), true) + optionalCell(figure.lowerLimit, value)
                + optionalCell(figure.upperLimit, value) + cpkCell(figure.cpk) + "</tr>\n";
        }
        html += "</table>\n";
        // A chart for each figure the boards were held to; the bookkeeping
        // (samples, uncertainties, mean code) stays in the table.
        std::string charts;
        for (const FigureStatistics &figure : lot.figures) {
            if (figure.hasLimit())
                charts += histogram(figure) + "\n";
        }
        if (!charts.empty())
            html += "<div class=\"histograms\">\n" + charts + "</div>\n";
    }

    std::string failedRows;
    for (const FailedBoard &board : lot.failedBoards) {
        std::string reasons;
        for (const std::string &reason : failureReasons(board))
            reasons += (reasons.empty() ? "" : "<br>") + htmlEscaped(reason);
        failedRows += "<tr>" + cell(htmlEscaped(board.board.text())) + cell(lotName(lot.lot))
            + cell(htmlEscaped(board.last.station)) + cell(htmlEscaped(board.last.time))
            + cell(reasons) + "</tr>\n";
    }
    html += tableSection("Failed boards", "No board failed its last test.",
        "<th>Serial</th><th>Lot</th><th>Station</th><th>Time</th><th>Failed limits</th>",
        failedRows);

    std::string retestedRows;
    for (const RetestedBoard &board : lot.retested) {
        std::string attempts;
        for (const BoardAttempt &attempt : board.attempts) {
            attempts += (attempts.empty() ? "" : "<br>") + htmlEscaped(attempt.time) + " "
                + htmlEscaped(attempt.station) + " " + passText(attempt.pass);
        }
        retestedRows += "<tr>" + cell(htmlEscaped(board.board.text())) + cell(attempts) + "</tr>\n";
    }
    html += tableSection("Retested boards", "No board was tested more than once.",
        "<th>Serial</th><th>Attempts (the last one counts)</th>", retestedRows);
    html += "</section>\n";
}

} // namespace

std::string reportHtml(const std::vector<LotSummary> &lots, const ReportScope &scope)
{
    const std::string title = scope.lot.empty() ? "Lot report" : "Lot report: " + scope.lot;
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<title>"
        + htmlEscaped(title) + "</title>\n<style>" + style + "</style>\n</head>\n<body>\n";
    html += "<h1>" + htmlEscaped(title) + "</h1>\n<p class=\"scope\">"
        + (scope.lot.empty() ? "Every lot" : "Lot " + htmlEscaped(scope.lot))
        + (scope.since.empty() ? "" : ", tests since " + htmlEscaped(scope.since)) + ". Made "
        + htmlEscaped(scope.generatedAt) + " by adreport " + htmlEscaped(scope.version) + ".</p>\n";
    for (const LotSummary &lot : lots)
        lotSection(html, lot);
    return html + "</body>\n</html>\n";
}

#include "ReportHtml.h"

#include "FigureDisplay.h"
#include "HtmlTables.h"
#include "ReportCharts.h"
#include "ReportFormat.h"
#include "ReportText.h"
#include "SvgParts.h"
#include "TrendCharts.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr const char *style = R"(
body { font-family: sans-serif; margin: 24px; color: #222; max-width: 1100px; }
* { box-sizing: border-box; }
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
td.n { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
.cpk-low { background: #fde0e0; }
.cpk-marginal { background: #fff3cd; }
tr.total td { font-weight: bold; }
.scroll { overflow-x: auto; max-width: 100%; }
.charts { display: flex; flex-wrap: wrap; gap: 12px; margin-top: 14px; }
svg.chart { max-width: 100%; height: auto; border: 1px solid #ddd; background: #fff; }
svg text { font-family: sans-serif; }
.none { color: #555; font-style: italic; }
.note { color: #444; font-size: 13px; }
.warning { background: #fff3cd; border-left: 4px solid #f0ad00; padding: 6px 10px; }
.marks { font-size: 15px; letter-spacing: 2px; white-space: nowrap; }
@media (max-width: 600px) { body { margin: 8px; } h1 { font-size: 19px; } }
)";

std::string cpkCell(const std::optional<double> &cpk)
{
    if (!cpk)
        return cell("&ndash;", true);
    // 1.33 is the usual floor of a capable process; below 1 the limits cut
    // into the spread.
    const char *grade = *cpk < 1 ? " cpk-low" : *cpk < 1.33 ? " cpk-marginal" : "";
    return std::string("<td class=\"n") + grade + "\">" + numberText(*cpk, 3) + "</td>";
}

std::string yieldSentence(const LotSummary &lot)
{
    std::string html = "<p class=\"verdict\">" + countedText(lot.total.boards, "board", "boards")
        + ", " + "<span class=\"pass\">" + std::to_string(lot.total.passed) + " passed</span>, "
        + (lot.total.failed ? "<span class=\"fail\">" : "<span>") + std::to_string(lot.total.failed)
        + " failed</span>, yield <b>" + percentText(lot.total.yield()) + "</b>";
    html += " &#183; first-pass yield <b>" + percentText(lot.firstPass.yield()) + "</b> ("
        + std::to_string(lot.firstPass.passed) + " of " + std::to_string(lot.firstPass.boards)
        + " passed their first test)";
    html += "<br><span class=\"scope\">" + countedText(lot.records, "record", "records") + ": "
        + countedText(lot.captures, "test that counts", "tests that count") + ", "
        + countedText(lot.analyses, "analysis of a file", "analyses of files")
        + "; each board counted once, by its last test</span></p>\n";
    if (const std::string warning = uncertaintyWarning(lot); !warning.empty())
        html += "<p class=\"warning\">&#9888; " + htmlEscaped(warning) + "</p>\n";
    for (const std::string &note : cutNotes(lot))
        html += "<p class=\"note\">Cut: " + htmlEscaped(note) + "</p>\n";
    return html;
}

std::string stationTable(const LotSummary &lot)
{
    std::string rows;
    for (const BoardYield &station : lot.stations) {
        rows += "<tr>" + cell(htmlEscaped(station.station))
            + cell(std::to_string(station.boards), true)
            + cell(std::to_string(station.passed), true)
            + cell(std::to_string(station.failed), true) + cell(percentText(station.yield()), true)
            + "</tr>\n";
    }
    rows += "<tr class=\"total\">" + cell("Lot") + cell(std::to_string(lot.total.boards), true)
        + cell(std::to_string(lot.total.passed), true)
        + cell(std::to_string(lot.total.failed), true) + cell(percentText(lot.total.yield()), true)
        + "</tr>\n";
    std::string html = "<h3>Yield per station</h3>\n" + yieldChart(lot) + "\n"
        + scrolling("<table>\n<tr><th>Station</th><th>Boards</th><th>Passed</th><th>Failed</th>"
                    "<th>Yield</th></tr>\n"
            + rows + "</table>");
    if (const std::string note = stationSumNote(lot); !note.empty())
        html += "<p class=\"note\">" + htmlEscaped(note) + "</p>\n";
    return html;
}

std::string figureSection(const LotSummary &lot)
{
    if (lot.figures.empty())
        return "<h3>Figures</h3>\n<p class=\"none\">The records hold no figures.</p>\n";
    std::string rows;
    for (const FigureStatistics &figure : lot.figures) {
        const FigureDisplay display(figure.name);
        const auto value = [&display](double number) { return display.value(number); };
        const auto statistic = [&display](double number) { return display.statistic(number); };
        rows += "<tr>" + cell(htmlEscaped(display.title()))
            + cell(std::to_string(figure.count), true) + cell(statistic(figure.mean), true)
            + optionalCell(figure.sigma, statistic) + cell(value(figure.minimum), true)
            + cell(value(figure.maximum), true) + optionalCell(figure.lowerLimit, value)
            + optionalCell(figure.upperLimit, value) + cpkCell(figure.cpk) + "</tr>\n";
    }
    std::string html = "<h3>Figures</h3>\n"
        + scrolling("<table>\n<tr><th>Figure</th><th>n</th><th>Mean</th><th>&sigma;</th>"
                    "<th>Min</th><th>Max</th><th>LSL</th><th>USL</th><th>Cpk</th></tr>\n"
            + rows + "</table>");
    // A chart for each figure the boards were held to; the bookkeeping
    // (samples, uncertainties, mean code) stays in the table.
    std::string charts;
    for (const FigureStatistics &figure : lot.figures) {
        if (figure.hasLimit())
            charts += histogramChart(figure) + "\n";
    }
    if (!charts.empty())
        html += "<p class=\"note\">Each bar holds the boards of its bin, stacked by their own "
                "verdict on the figure's limit: failed (red) below passed (blue).</p>\n"
                "<div class=\"charts\">\n"
            + charts + "</div>\n";
    return html;
}

std::string uncertaintySection(const LotSummary &lot)
{
    std::string rows;
    for (const UncertainVerdicts &limit : lot.uncertainVerdicts) {
        const bool many = limit.within > 0 && limit.share() >= largeUncertainShare;
        rows += "<tr>" + cell(htmlEscaped(limit.limit))
            + cell(htmlEscaped(FigureDisplay(limit.figure).title()))
            + std::string(many ? "<td class=\"cpk-marginal\">" : "<td>")
            + htmlEscaped(uncertaintyText(limit)) + "</td>"
            + cell(limit.verdicts ? percentText(limit.share()) : "&ndash;", true) + "</tr>\n";
    }
    return tableSection("Verdicts within the uncertainty", "The tests that count held no limit.",
        "<th>Limit</th><th>Figure</th><th>Verdicts</th><th>Share</th>", rows);
}

std::string trendSection(const LotSummary &lot)
{
    std::string html = "<h3>Over time</h3>\n";
    if (lot.runs.empty())
        html += "<p class=\"none\">No figure held to a limit.</p>\n";
    else {
        html += "<p class=\"note\">Each figure held to a limit, per station, in the order of the "
                "tests: centre line (CL) and control limits (UCL, LCL) at the mean &plusmn; 2.66 "
                "&times; the average moving range, the figure's limits dashed red.</p>\n"
                "<div class=\"charts\">\n";
        for (const FigureRun &run : lot.runs)
            html += runChart(run) + "\n";
        html += "</div>\n";
    }
    html += "<h3>Failures by limit</h3>\n";
    if (lot.failuresByLimit.empty())
        return html + "<p class=\"none\">No limit failed.</p>\n";
    return html + "<div class=\"charts\">" + paretoChart(lot.failuresByLimit) + "</div>\n";
}

void lotSection(std::string &html, const LotSummary &lot)
{
    html += "<section>\n<h2>Lot " + lotName(lot.lot) + "</h2>\n";
    html += yieldSentence(lot) + stationTable(lot) + figureSection(lot) + uncertaintySection(lot)
        + trendSection(lot);

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
    html += historySection(lot) + reanalysisSection(lot) + "</section>\n";
}

} // namespace

std::string reportHtml(const std::vector<LotSummary> &lots, const ReportScope &scope)
{
    return wholeReport<HtmlReport>(lots, scope);
}

void HtmlReport::begin()
{
    const std::string title = m_scope.lot.empty() ? "Lot report" : "Lot report: " + m_scope.lot;
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<title>"
        + htmlEscaped(title) + "</title>\n<style>" + style + "</style>\n</head>\n<body>\n";
    html += "<h1>" + htmlEscaped(title) + "</h1>\n<p class=\"scope\">"
        + (m_scope.lot.empty() ? "Every lot" : "Lot " + htmlEscaped(m_scope.lot))
        + (m_scope.since.empty() ? "" : ", tests since " + htmlEscaped(m_scope.since)) + ". Made "
        + htmlEscaped(m_scope.generatedAt) + " by adreport " + htmlEscaped(m_scope.version)
        + ".</p>\n";
    write(html);
}

void HtmlReport::writeLot(const LotSummary &lot)
{
    std::string html;
    lotSection(html, lot);
    write(html);
}

void HtmlReport::end()
{
    write("</body>\n</html>\n");
}

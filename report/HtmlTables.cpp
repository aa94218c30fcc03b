#include "HtmlTables.h"

#include "ReportFormat.h"

namespace {

std::string passText(bool pass)
{
    return pass ? "<span class=\"pass\">pass</span>" : "<span class=\"fail\">FAIL</span>";
}

// ✔ or ✘ with the test's time and station on hovering.
std::string mark(const BoardAttempt &attempt)
{
    return std::string("<span class=\"") + (attempt.pass ? "pass" : "fail") + "\" title=\""
        + htmlEscaped(attempt.time + " " + attempt.station + (attempt.pass ? " pass" : " FAIL"))
        + "\">" + (attempt.pass ? "&#10004;" : "&#10008;") + "</span>";
}

} // namespace

std::string cell(const std::string &escapedText, bool number)
{
    return std::string(number ? "<td class=\"n\">" : "<td>") + escapedText + "</td>";
}

std::string lotName(const std::string &lot)
{
    return lot.empty() ? "(none)" : htmlEscaped(lot);
}

std::string scrolling(const std::string &html)
{
    return "<div class=\"scroll\">" + html + "</div>\n";
}

std::string tableSection(std::string_view heading, std::string_view none,
    std::string_view headerCells, const std::string &rows)
{
    std::string html = "<h3>" + std::string(heading) + "</h3>\n";
    if (rows.empty())
        return html + "<p class=\"none\">" + std::string(none) + "</p>\n";
    return html
        + scrolling("<table>\n<tr>" + std::string(headerCells) + "</tr>\n" + rows + "</table>");
}

std::string historySection(const LotSummary &lot)
{
    std::string rows;
    for (const RetestedBoard &board : lot.histories) {
        std::string marks, stations;
        for (const BoardAttempt &attempt : board.attempts) {
            marks += mark(attempt);
            if (stations.find(attempt.station) == std::string::npos)
                stations += (stations.empty() ? "" : ", ") + attempt.station;
        }
        const BoardAttempt &last = board.attempts.back();
        rows += "<tr>" + cell(htmlEscaped(board.board.text())) + "<td class=\"marks\">" + marks
            + "</td>" + cell(std::to_string(board.attempts.size()), true)
            + cell(htmlEscaped(stations)) + cell(passText(last.pass) + " " + htmlEscaped(last.time))
            + "</tr>\n";
    }
    return tableSection("Board history", "No board was tested.",
               "<th>Serial</th><th>Tests in time order</th><th>Tests</th><th>Stations</th>"
               "<th>Last test (counts)</th>",
               rows)
        + (lot.retested.empty()
                ? ""
                : "<p class=\"note\">" + countedText(lot.retested.size(), "board", "boards")
                    + " tested more than once.</p>\n");
}

std::string reanalysisSection(const LotSummary &lot)
{
    std::string rows;
    for (const Reanalysis &analysis : lot.reanalyses) {
        rows += "<tr>" + cell(htmlEscaped(analysis.board.text()))
            + cell(htmlEscaped(analysis.attempt.station)) + cell(htmlEscaped(analysis.attempt.time))
            + cell(htmlEscaped(analysis.inputFile)) + cell(passText(analysis.attempt.pass))
            + cell(analysis.counts ? "yes: the board has no capture" : "no: its captures count")
            + "</tr>\n";
    }
    return tableSection("Analyses of files", "No record was an analysis of a file.",
        "<th>Serial</th><th>Station</th><th>Time</th><th>File</th><th>Verdict</th>"
        "<th>In the yield</th>",
        rows);
}

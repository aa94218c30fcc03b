#include "ReportText.h"

#include "FigureDisplay.h"
#include "ReportFormat.h"
#include "TextTable.h"

namespace {

// A number the figure may lack (σ of one value, a limit), written by `text`.
template<typename Text> std::string optionalText(const std::optional<double> &value, Text text)
{
    return value ? text(*value) : "-";
}

// A table: numbers in every column but the first, or text.
void table(std::string &out, const std::vector<std::vector<std::string>> &rows,
    TableAlignment alignment = TableAlignment::Numbers, std::string_view indent = "  ")
{
    for (const std::string &line : tableLines(rows, alignment, indent))
        out += line + '\n';
}

std::string yieldLine(const BoardYield &yield)
{
    return std::to_string(yield.boards) + " boards, " + std::to_string(yield.passed) + " passed, "
        + std::to_string(yield.failed) + " failed, yield " + percentText(yield.yield());
}

} // namespace

std::vector<std::string> failureReasons(const FailedBoard &board)
{
    std::vector<std::string> reasons;
    for (const RecordedLimit &limit : board.failedLimits) {
        std::string reason = limit.name + ": ";
        if (limit.value) {
            const FigureDisplay figure(limit.figure);
            reason += figure.valueWithUnit(*limit.value) + (limit.upper ? " > " : " < ")
                + figure.valueWithUnit(limit.limit);
        } else {
            reason += "not measured";
        }
        reasons.push_back(reason);
    }
    if (reasons.empty()) {
        reasons.push_back(board.frames == 0
                ? std::string("no data")
                : "no limit broken, exit status " + std::to_string(board.exitStatus));
    }
    return reasons;
}

std::string reportText(const std::vector<LotSummary> &lots)
{
    std::string out;
    for (const LotSummary &lot : lots) {
        if (!out.empty())
            out += '\n';
        out += "Lot " + (lot.lot.empty() ? std::string("(none)") : printableText(lot.lot)) + ": "
            + yieldLine(lot.total) + " (" + std::to_string(lot.records) + " records)\n";
        std::vector<std::vector<std::string>> stations {
            {"Station", "Boards", "Passed", "Failed", "Yield"}};
        for (const BoardYield &station : lot.stations) {
            stations.push_back({printableText(station.station), std::to_string(station.boards),
                std::to_string(station.passed), std::to_string(station.failed),
                percentText(station.yield())});
        }
        table(out, stations);
        if (!lot.figures.empty()) {
            out += '\n';
            std::vector<std::vector<std::string>> figures {
                {"Figure", "n", "mean", "sigma", "min", "max", "LSL", "USL", "Cpk"}};
            for (const FigureStatistics &figure : lot.figures) {
                const FigureDisplay display(figure.name);
                const auto value = [&display](double number) { return display.value(number); };
                figures.push_back({printableText(display.title()), std::to_string(figure.count),
                    display.statistic(figure.mean),
                    optionalText(figure.sigma,
                        [&display](double number) { return display.statistic(number); }),
                    value(figure.minimum), value(figure.maximum),
                    optionalText(figure.lowerLimit, value), optionalText(figure.upperLimit, value),
                    optionalText(figure.cpk, [](double cpk) { return numberText(cpk, 4); })});
            }
            table(out, figures);
        }
        if (!lot.failedBoards.empty()) {
            out += "\n  Failed boards:\n";
            std::vector<std::vector<std::string>> failed;
            for (const FailedBoard &board : lot.failedBoards) {
                std::string reasons;
                for (const std::string &reason : failureReasons(board))
                    reasons += (reasons.empty() ? "" : "; ") + printableText(reason);
                failed.push_back({printableText(board.board.text()),
                    printableText(board.last.station), printableText(board.last.time), reasons});
            }
            table(out, failed, TableAlignment::Text, "    ");
        }
        if (!lot.retested.empty()) {
            out += "\n  Retested boards (the last result counts):\n";
            for (const RetestedBoard &board : lot.retested) {
                out += "    " + printableText(board.board.text()) + ':';
                for (const BoardAttempt &attempt : board.attempts) {
                    out += "  " + printableText(attempt.time) + ' ' + printableText(attempt.station)
                        + ' ' + (attempt.pass ? "pass" : "FAIL");
                }
                out += '\n';
            }
        }
    }
    return out;
}

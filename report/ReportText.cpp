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
    return countedText(yield.boards, "board", "boards") + ", " + std::to_string(yield.passed)
        + " passed, " + std::to_string(yield.failed) + " failed, yield "
        + percentText(yield.yield());
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

std::string uncertaintyText(const UncertainVerdicts &limit)
{
    if (limit.verdicts == 0)
        return countedText(limit.unknown, "verdict", "verdicts") + " without an uncertainty";
    std::string text = std::to_string(limit.within) + " of "
        + countedText(limit.verdicts, "verdict", "verdicts") + " within the uncertainty";
    if (limit.unknown > 0)
        text += " (" + std::to_string(limit.unknown) + " more without an uncertainty)";
    return text;
}

std::string uncertaintyWarning(const LotSummary &lot)
{
    std::string limits;
    for (const UncertainVerdicts &limit : lot.uncertainVerdicts) {
        if (limit.within > 0 && limit.share() >= largeUncertainShare)
            limits += (limits.empty() ? "" : "; ") + limit.limit + ": " + uncertaintyText(limit);
    }
    return limits.empty()
        ? std::string()
        : "Verdicts decided within the uncertainty, a retest may turn them: " + limits;
}

std::vector<std::string> cutNotes(const LotSummary &lot)
{
    std::vector<std::string> notes;
    const auto listed = [&notes](const char *what, std::size_t shown, std::size_t all) {
        if (shown < all)
            notes.push_back(std::string(what) + ": the first " + std::to_string(shown) + " of "
                + std::to_string(all) + " are listed.");
    };
    listed("Failed boards", lot.failedBoards.size(), lot.total.failed);
    listed("Retested boards", lot.retested.size(), lot.retestedBoards);
    listed("Board histories", lot.histories.size(), lot.total.boards);
    listed("Analyses of files", lot.reanalyses.size(), lot.analyses);
    std::size_t cutHistories = 0, kept = 0;
    for (const RetestedBoard &board : lot.histories) {
        if (board.attempts.size() < board.results) {
            ++cutHistories;
            kept = board.attempts.size();
        }
    }
    if (cutHistories > 0)
        notes.push_back("Board histories: " + std::to_string(cutHistories)
            + " board(s) show their last " + std::to_string(kept) + " results only.");
    for (const FigureRun &run : lot.runs) {
        if (run.points.size() < run.tests)
            notes.push_back("Run chart of " + run.figure + " at " + run.station + ": the last "
                + std::to_string(run.points.size()) + " of " + std::to_string(run.tests)
                + " tests.");
    }
    return notes;
}

std::string stationSumNote(const LotSummary &lot)
{
    const std::size_t sum = lot.stationBoards();
    if (sum == lot.total.boards)
        return {};
    return "The stations' boards add up to " + std::to_string(sum) + " against the lot's "
        + std::to_string(lot.total.boards)
        + ": a board tested at two stations counts at each, by its last test there.";
}

std::string reportText(const std::vector<LotSummary> &lots)
{
    return wholeReport<TextReport>(lots);
}

void TextReport::writeLot(const LotSummary &lot)
{
    std::string out;
    if (lotsWritten() > 0)
        out += '\n';
    out += "Lot " + (lot.lot.empty() ? std::string("(none)") : printableText(lot.lot)) + ": "
        + yieldLine(lot.total) + " (" + countedText(lot.records, "record", "records") + ")\n";
    std::vector<std::vector<std::string>> stations {
        {"Station", "Boards", "Passed", "Failed", "Yield"}};
    for (const BoardYield &station : lot.stations) {
        stations.push_back({printableText(station.station), std::to_string(station.boards),
            std::to_string(station.passed), std::to_string(station.failed),
            percentText(station.yield())});
    }
    table(out, stations);
    if (const std::string note = stationSumNote(lot); !note.empty())
        out += "  " + note + '\n';
    out += "  First-pass yield " + percentText(lot.firstPass.yield()) + " ("
        + std::to_string(lot.firstPass.passed) + " of " + std::to_string(lot.firstPass.boards)
        + " passed their first test); " + countedText(lot.captures, "test counts", "tests count")
        + ", " + countedText(lot.analyses, "analysis of a file", "analyses of files") + "\n";
    if (const std::string warning = uncertaintyWarning(lot); !warning.empty())
        out += "  Warning: " + printableText(warning) + '\n';
    for (const std::string &note : cutNotes(lot))
        out += "  Cut: " + printableText(note) + '\n';
    if (!lot.figures.empty()) {
        out += '\n';
        std::vector<std::vector<std::string>> figures {
            {"Figure", "n", "mean", "sigma", "min", "max", "LSL", "USL", "Cpk"}};
        for (const FigureStatistics &figure : lot.figures) {
            const FigureDisplay display(figure.name);
            const auto value = [&display](double number) { return display.value(number); };
            figures.push_back({printableText(display.title()), std::to_string(figure.count),
                display.statistic(figure.mean),
                optionalText(
                    figure.sigma, [&display](double number) { return display.statistic(number); }),
                value(figure.minimum), value(figure.maximum),
                optionalText(figure.lowerLimit, value), optionalText(figure.upperLimit, value),
                optionalText(figure.cpk, [](double cpk) { return numberText(cpk, 4); })});
        }
        table(out, figures);
    }
    if (!lot.uncertainVerdicts.empty()) {
        out += "\n  Verdicts within the uncertainty:\n";
        std::vector<std::vector<std::string>> limits;
        for (const UncertainVerdicts &limit : lot.uncertainVerdicts)
            limits.push_back({printableText(limit.limit), uncertaintyText(limit)});
        table(out, limits, TableAlignment::Text, "    ");
    }
    if (!lot.failuresByLimit.empty()) {
        out += "\n  Failures by limit (every test that counts):\n";
        std::vector<std::vector<std::string>> failures;
        for (const LimitFailures &limit : lot.failuresByLimit)
            failures.push_back({printableText(limit.limit), std::to_string(limit.failures)});
        table(out, failures, TableAlignment::Numbers, "    ");
    }
    if (!lot.failedBoards.empty()) {
        out += "\n  Failed boards:\n";
        std::vector<std::vector<std::string>> failed;
        for (const FailedBoard &board : lot.failedBoards) {
            std::string reasons;
            for (const std::string &reason : failureReasons(board))
                reasons += (reasons.empty() ? "" : "; ") + printableText(reason);
            failed.push_back({printableText(board.board.text()), printableText(board.last.station),
                printableText(board.last.time), reasons});
        }
        table(out, failed, TableAlignment::Text, "    ");
    }
    if (!lot.reanalyses.empty()) {
        out += "\n  Analyses of files (a board's captures count before them):\n";
        std::vector<std::vector<std::string>> rows;
        for (const Reanalysis &analysis : lot.reanalyses)
            rows.push_back(
                {printableText(analysis.board.text()), printableText(analysis.attempt.station),
                    printableText(analysis.attempt.time), analysis.attempt.pass ? "pass" : "FAIL",
                    analysis.counts ? "counts" : "does not count"});
        table(out, rows, TableAlignment::Text, "    ");
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
    write(out);
}

#include "ReportCsv.h"

#include "FigureDisplay.h"
#include "ReportFormat.h"

#include <initializer_list>

namespace {

std::string number(const std::optional<double> &value)
{
    return value ? numberText(*value, 10) : std::string();
}

void row(std::string &csv, std::initializer_list<std::string> fields)
{
    bool first = true;
    for (const std::string &field : fields) {
        if (!first)
            csv += ',';
        csv += field;
        first = false;
    }
    csv += "\r\n"; // RFC 4180, as spreadsheets write it
}

} // namespace

std::string reportCsv(const std::vector<LotSummary> &lots)
{
    std::string csv;
    row(csv, {"yield", "lot", "station", "boards", "passed", "failed", "yield"});
    for (const LotSummary &lot : lots) {
        const auto yieldRow = [&](const BoardYield &yield) {
            row(csv,
                {"yield", csvText(lot.lot), csvText(yield.station), std::to_string(yield.boards),
                    std::to_string(yield.passed), std::to_string(yield.failed),
                    numberText(yield.yield(), 6)});
        };
        yieldRow(lot.total);
        for (const BoardYield &station : lot.stations)
            yieldRow(station);
    }
    csv += "\r\n";
    row(csv,
        {"figure", "lot", "name", "n", "mean", "sigma", "minimum", "maximum", "lower_limit",
            "upper_limit", "cpk", "label", "unit"});
    for (const LotSummary &lot : lots) {
        for (const FigureStatistics &figure : lot.figures) {
            const FigureDisplay display(figure.name);
            row(csv,
                {"figure", csvText(lot.lot), csvText(figure.name), std::to_string(figure.count),
                    number(figure.mean), number(figure.sigma), number(figure.minimum),
                    number(figure.maximum), number(figure.lowerLimit), number(figure.upperLimit),
                    number(figure.cpk), csvText(display.label()), csvText(display.unit())});
        }
    }
    csv += "\r\n";
    row(csv,
        {"failure", "lot", "serial", "record_id", "station", "time", "limit", "figure",
            "limit_value", "side", "value"});
    for (const LotSummary &lot : lots) {
        for (const FailedBoard &board : lot.failedBoards) {
            const auto failure = [&](const RecordedLimit *limit) {
                row(csv,
                    {"failure", csvText(lot.lot), csvText(board.board.serial),
                        std::to_string(board.last.recordId), csvText(board.last.station),
                        csvText(board.last.time), limit ? csvText(limit->name) : "",
                        limit ? csvText(limit->figure) : "", limit ? number(limit->limit) : "",
                        limit ? (limit->upper ? "max" : "min") : "",
                        limit ? number(limit->value) : ""});
            };
            if (board.failedLimits.empty())
                failure(nullptr);
            for (const RecordedLimit &limit : board.failedLimits)
                failure(&limit);
        }
    }
    csv += "\r\n";
    row(csv, {"retest", "lot", "serial", "attempt", "record_id", "time", "station", "result"});
    for (const LotSummary &lot : lots) {
        for (const RetestedBoard &board : lot.retested) {
            for (std::size_t i = 0; i < board.attempts.size(); ++i) {
                const BoardAttempt &attempt = board.attempts[i];
                row(csv,
                    {"retest", csvText(lot.lot), csvText(board.board.serial), std::to_string(i + 1),
                        std::to_string(attempt.recordId), csvText(attempt.time),
                        csvText(attempt.station), attempt.pass ? "pass" : "fail"});
            }
        }
    }
    return csv;
}

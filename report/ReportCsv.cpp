#include "ReportCsv.h"

#include "FigureDisplay.h"
#include "ReportFormat.h"

#include <algorithm>
#include <string_view>

namespace {

// One of the report's tables: its name, written in each of its rows, and
// its columns after "table" and "lot".
struct CsvTable
{
    std::string_view name;
    std::vector<std::string_view> columns;
};

const CsvTable yieldTable {"yield", {"station", "boards", "passed", "failed", "yield"}};
const CsvTable figureTable {"figure",
    {"name", "n", "mean", "sigma", "minimum", "maximum", "lower_limit", "upper_limit", "cpk",
        "label", "unit"}};
const CsvTable failureTable {"failure",
    {"serial", "record_id", "station", "time", "limit", "figure", "limit_value", "side", "value"}};
const CsvTable retestTable {
    "retest", {"serial", "attempt", "record_id", "time", "station", "result"}};

// The tables as one: a header of every table's columns, each once in the
// order they first appear, and every row as wide as the header.
class LongTable
{
public:
    explicit LongTable(std::initializer_list<const CsvTable *> tables)
    {
        m_columns = {"table", "lot"};
        for (const CsvTable *table : tables)
            for (const std::string_view column : table->columns)
                if (std::find(m_columns.begin(), m_columns.end(), column) == m_columns.end())
                    m_columns.push_back(column);
        writeRow({m_columns.begin(), m_columns.end()});
    }

    // `fields` in the order of the table's columns.
    void add(const CsvTable &table, const std::string &lot, const std::vector<std::string> &fields)
    {
        std::vector<std::string_view> row(m_columns.size());
        row[0] = table.name;
        row[1] = lot;
        for (std::size_t i = 0; i < fields.size() && i < table.columns.size(); ++i)
            row[index(table.columns[i])] = fields[i];
        writeRow(row);
    }

    const std::string &text() const { return m_csv; }

private:
    std::size_t index(std::string_view column) const
    {
        return std::size_t(
            std::find(m_columns.begin(), m_columns.end(), column) - m_columns.begin());
    }

    void writeRow(const std::vector<std::string_view> &fields)
    {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0)
                m_csv += ',';
            m_csv += fields[i];
        }
        m_csv += "\r\n"; // RFC 4180, as spreadsheets write it
    }

    std::vector<std::string_view> m_columns;
    std::string m_csv;
};

std::string number(const std::optional<double> &value)
{
    return value ? numberText(*value, 10) : std::string();
}

} // namespace

std::string reportCsv(const std::vector<LotSummary> &lots)
{
    LongTable csv {&yieldTable, &figureTable, &failureTable, &retestTable};
    for (const LotSummary &lot : lots) {
        const auto yieldRow = [&](const BoardYield &yield) {
            csv.add(yieldTable, csvText(lot.lot),
                {csvText(yield.station), std::to_string(yield.boards), std::to_string(yield.passed),
                    std::to_string(yield.failed), numberText(yield.yield(), 6)});
        };
        yieldRow(lot.total);
        for (const BoardYield &station : lot.stations)
            yieldRow(station);
    }
    for (const LotSummary &lot : lots) {
        for (const FigureStatistics &figure : lot.figures) {
            const FigureDisplay display(figure.name);
            csv.add(figureTable, csvText(lot.lot),
                {csvText(figure.name), std::to_string(figure.count), number(figure.mean),
                    number(figure.sigma), number(figure.minimum), number(figure.maximum),
                    number(figure.lowerLimit), number(figure.upperLimit), number(figure.cpk),
                    csvText(display.label()), csvText(display.unit())});
        }
    }
    for (const LotSummary &lot : lots) {
        for (const FailedBoard &board : lot.failedBoards) {
            const auto failure = [&](const RecordedLimit *limit) {
                std::vector<std::string> fields {csvText(board.board.serial),
                    std::to_string(board.last.recordId), csvText(board.last.station),
                    csvText(board.last.time)};
                if (limit)
                    fields.insert(fields.end(),
                        {csvText(limit->name), csvText(limit->figure), number(limit->limit),
                            limit->upper ? "max" : "min", number(limit->value)});
                csv.add(failureTable, csvText(lot.lot), fields);
            };
            if (board.failedLimits.empty())
                failure(nullptr);
            for (const RecordedLimit &limit : board.failedLimits)
                failure(&limit);
        }
    }
    for (const LotSummary &lot : lots) {
        for (const RetestedBoard &board : lot.retested) {
            for (std::size_t i = 0; i < board.attempts.size(); ++i) {
                const BoardAttempt &attempt = board.attempts[i];
                csv.add(retestTable, csvText(lot.lot),
                    {csvText(board.board.serial), std::to_string(i + 1),
                        std::to_string(attempt.recordId), csvText(attempt.time),
                        csvText(attempt.station), attempt.pass ? "pass" : "fail"});
            }
        }
    }
    return csv.text();
}

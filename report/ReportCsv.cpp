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
    }

    std::string header() const
    {
        std::string csv;
        writeRow(csv, {m_columns.begin(), m_columns.end()});
        return csv;
    }

    // Adds a row to `csv`, `fields` in the order of the table's columns.
    void add(std::string &csv, const CsvTable &table, const std::string &lot,
        const std::vector<std::string> &fields) const
    {
        std::vector<std::string_view> row(m_columns.size());
        row[0] = table.name;
        row[1] = lot;
        for (std::size_t i = 0; i < fields.size() && i < table.columns.size(); ++i)
            row[index(table.columns[i])] = fields[i];
        writeRow(csv, row);
    }

private:
    std::size_t index(std::string_view column) const
    {
        return std::size_t(
            std::find(m_columns.begin(), m_columns.end(), column) - m_columns.begin());
    }

    static void writeRow(std::string &csv, const std::vector<std::string_view> &fields)
    {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0)
                csv += ',';
            csv += fields[i];
        }
        csv += "\r\n"; // RFC 4180, as spreadsheets write it
    }

    std::vector<std::string_view> m_columns;
};

const LongTable &longTable()
{
    static const LongTable table {&yieldTable, &figureTable, &failureTable, &retestTable};
    return table;
}

std::string number(const std::optional<double> &value)
{
    return value ? numberText(*value, 10) : std::string();
}

} // namespace

std::string reportCsv(const std::vector<LotSummary> &lots)
{
    return wholeReport<CsvReport>(lots, RowSpill::Place::Memory);
}

CsvReport::CsvReport(Sink out, RowSpill::Place spill)
    : ReportStream(std::move(out))
    , m_figures(spill)
    , m_failures(spill)
    , m_retests(spill)
{ }

void CsvReport::begin()
{
    write(longTable().header());
}

void CsvReport::writeLot(const LotSummary &lot)
{
    const LongTable &csv = longTable();
    const std::string lotName = csvText(lot.lot);
    std::string yields;
    const auto yieldRow = [&](const BoardYield &yield) {
        csv.add(yields, yieldTable, lotName,
            {csvText(yield.station), std::to_string(yield.boards), std::to_string(yield.passed),
                std::to_string(yield.failed), numberText(yield.yield(), 6)});
    };
    yieldRow(lot.total);
    for (const BoardYield &station : lot.stations)
        yieldRow(station);
    write(yields); // the first table: its rows go out as they come

    std::string figures;
    for (const FigureStatistics &figure : lot.figures) {
        const FigureDisplay display(figure.name);
        csv.add(figures, figureTable, lotName,
            {csvText(figure.name), std::to_string(figure.count), number(figure.mean),
                number(figure.sigma), number(figure.minimum), number(figure.maximum),
                number(figure.lowerLimit), number(figure.upperLimit), number(figure.cpk),
                csvText(display.label()), csvText(display.unit())});
    }
    m_figures.append(figures);

    std::string failures;
    for (const FailedBoard &board : lot.failedBoards) {
        const auto failure = [&](const RecordedLimit *limit) {
            std::vector<std::string> fields {csvText(board.board.serial),
                std::to_string(board.last.recordId), csvText(board.last.station),
                csvText(board.last.time)};
            if (limit)
                fields.insert(fields.end(),
                    {csvText(limit->name), csvText(limit->figure), number(limit->limit),
                        limit->upper ? "max" : "min", number(limit->value)});
            csv.add(failures, failureTable, lotName, fields);
        };
        if (board.failedLimits.empty())
            failure(nullptr);
        for (const RecordedLimit &limit : board.failedLimits)
            failure(&limit);
    }
    m_failures.append(failures);

    std::string retests;
    for (const RetestedBoard &board : lot.retested) {
        for (std::size_t i = 0; i < board.attempts.size(); ++i) {
            const BoardAttempt &attempt = board.attempts[i];
            csv.add(retests, retestTable, lotName,
                {csvText(board.board.serial), std::to_string(i + 1),
                    std::to_string(attempt.recordId), csvText(attempt.time),
                    csvText(attempt.station), attempt.pass ? "pass" : "fail"});
        }
    }
    m_retests.append(retests);
}

void CsvReport::end()
{
    // The other tables after the yields, each with the rows of every lot.
    for (RowSpill *table : {&m_figures, &m_failures, &m_retests}) {
        if (!table->readBack([this](std::string_view rows) { write(rows); }))
            fail(table->error());
    }
}

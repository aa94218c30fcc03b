#include "ReportJson.h"

#include "FigureDisplay.h"
#include "ReportFormat.h"

namespace {

// Writes JSON with two spaces an indent level, one member or element a line.
class JsonWriter
{
public:
    std::string text() const { return m_text + '\n'; }

    void beginObject(std::string_view key = {}) { open(key, '{'); }
    void endObject() { close('}'); }
    void beginArray(std::string_view key = {}) { open(key, '['); }
    void endArray() { close(']'); }

    void member(std::string_view key, const std::string &rawValue)
    {
        next();
        m_text += jsonString(key) + ": " + rawValue;
    }
    void string(std::string_view key, std::string_view value) { member(key, jsonString(value)); }
    void number(std::string_view key, const std::optional<double> &value)
    {
        member(key, jsonNumber(value));
    }
    void count(std::string_view key, std::size_t value) { member(key, std::to_string(value)); }
    void flag(std::string_view key, bool value) { member(key, value ? "true" : "false"); }

private:
    void next()
    {
        if (m_depth == 0)
            return;
        if (!m_empty)
            m_text += ',';
        m_text += '\n' + std::string(2 * m_depth, ' ');
        m_empty = false;
    }
    void open(std::string_view key, char bracket)
    {
        next();
        if (!key.empty())
            m_text += jsonString(key) + ": ";
        m_text += bracket;
        ++m_depth;
        m_empty = true;
    }
    void close(char bracket)
    {
        --m_depth;
        if (!m_empty)
            m_text += '\n' + std::string(2 * m_depth, ' ');
        m_text += bracket;
        m_empty = false;
    }

    std::string m_text;
    int m_depth = 0;
    bool m_empty = true;
};

void board(JsonWriter &json, const BoardName &name)
{
    json.string("serial", name.serial);
    if (name.serial.empty())
        json.string("board", name.text());
}

void yield(JsonWriter &json, const BoardYield &yield)
{
    json.count("boards", yield.boards);
    json.count("passed", yield.passed);
    json.count("failed", yield.failed);
    json.number("yield", yield.boards == 0 ? std::nullopt : std::optional(yield.yield()));
}

void attempt(JsonWriter &json, const BoardAttempt &attempt)
{
    json.member("record_id", std::to_string(attempt.recordId));
    json.string("time", attempt.time);
    json.string("station", attempt.station);
    json.flag("pass", attempt.pass);
}

void lotObject(JsonWriter &json, const LotSummary &lot)
{
    json.beginObject();
    json.string("lot", lot.lot);
    json.count("records", lot.records);
    yield(json, lot.total);
    json.beginArray("stations");
    for (const BoardYield &station : lot.stations) {
        json.beginObject();
        json.string("station", station.station);
        yield(json, station);
        json.endObject();
    }
    json.endArray();
    json.beginArray("figures");
    for (const FigureStatistics &figure : lot.figures) {
        json.beginObject();
        const FigureDisplay display(figure.name);
        json.string("name", figure.name);
        json.string("label", display.label());
        json.string("unit", display.unit());
        json.count("n", figure.count);
        json.number("mean", figure.mean);
        json.number("sigma", figure.sigma);
        json.number("minimum", figure.minimum);
        json.number("maximum", figure.maximum);
        json.number("lower_limit", figure.lowerLimit);
        json.number("upper_limit", figure.upperLimit);
        json.number("cpk", figure.cpk);
        json.endObject();
    }
    json.endArray();
    json.beginArray("failed_boards");
    for (const FailedBoard &failed : lot.failedBoards) {
        json.beginObject();
        board(json, failed.board);
        attempt(json, failed.last);
        json.member("exit_status", std::to_string(failed.exitStatus));
        json.member("frames", std::to_string(failed.frames));
        json.beginArray("failed_limits");
        for (const RecordedLimit &limit : failed.failedLimits) {
            json.beginObject();
            json.string("name", limit.name);
            json.string("figure", limit.figure);
            json.number("limit", limit.limit);
            json.string("side", limit.upper ? "max" : "min");
            json.number("value", limit.value);
            json.endObject();
        }
        json.endArray();
        json.endObject();
    }
    json.endArray();
    json.beginArray("retested_boards");
    for (const RetestedBoard &retested : lot.retested) {
        json.beginObject();
        board(json, retested.board);
        json.beginArray("attempts");
        for (const BoardAttempt &each : retested.attempts) {
            json.beginObject();
            attempt(json, each);
            json.endObject();
        }
        json.endArray();
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

} // namespace

std::string reportJson(const std::vector<LotSummary> &lots, const ReportScope &scope)
{
    JsonWriter json;
    json.beginObject();
    json.string("program", "adreport");
    json.string("version", scope.version);
    json.string("generated_at", scope.generatedAt);
    json.member("lot_filter", scope.lot.empty() ? "null" : jsonString(scope.lot));
    json.member("since", scope.since.empty() ? "null" : jsonString(scope.since));
    json.beginArray("lots");
    for (const LotSummary &lot : lots)
        lotObject(json, lot);
    json.endArray();
    json.endObject();
    return json.text();
}

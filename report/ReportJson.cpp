#include "ReportJson.h"

#include "FigureDisplay.h"
#include "JsonText.h"
#include "ReportText.h"

namespace {

using Json = nlohmann::ordered_json;

// The lots' array is a member of the report's object: its elements lie two
// levels of two spaces in.
constexpr std::size_t indentation = 4;

void board(Json &json, const BoardName &name)
{
    json["serial"] = name.serial;
    if (name.serial.empty())
        json["board"] = name.text();
}

void yield(Json &json, const BoardYield &yield)
{
    json["boards"] = yield.boards;
    json["passed"] = yield.passed;
    json["failed"] = yield.failed;
    json["yield"] = yield.boards == 0 ? Json() : Json(yield.yield());
}

Json attempt(const BoardAttempt &attempt)
{
    return {{"record_id", attempt.recordId}, {"time", attempt.time}, {"station", attempt.station},
        {"pass", attempt.pass}, {"origin", jsonTextOrNull(attempt.origin)}};
}

Json figureObject(const FigureStatistics &figure)
{
    const FigureDisplay display(figure.name);
    return {
        {"name", figure.name},
        {"label", display.label()},
        {"unit", display.unit()},
        {"n", figure.count},
        {"mean", figure.mean},
        {"sigma", jsonOrNull(figure.sigma)},
        {"minimum", figure.minimum},
        {"maximum", figure.maximum},
        {"lower_limit", jsonOrNull(figure.lowerLimit)},
        {"upper_limit", jsonOrNull(figure.upperLimit)},
        {"cpk", jsonOrNull(figure.cpk)},
    };
}

Json failedObject(const FailedBoard &failed)
{
    Json object = Json::object();
    board(object, failed.board);
    object.update(attempt(failed.last));
    object["exit_status"] = failed.exitStatus;
    object["frames"] = failed.frames;
    Json limits = Json::array();
    for (const RecordedLimit &limit : failed.failedLimits)
        limits.push_back({{"name", limit.name}, {"figure", limit.figure}, {"limit", limit.limit},
            {"side", limit.upper ? "max" : "min"}, {"value", jsonOrNull(limit.value)}});
    object["failed_limits"] = limits;
    return object;
}

Json retestedObject(const RetestedBoard &retested)
{
    Json object = Json::object();
    board(object, retested.board);
    Json attempts = Json::array();
    for (const BoardAttempt &each : retested.attempts)
        attempts.push_back(attempt(each));
    object["attempts"] = attempts;
    return object;
}

// What the lot's counts rest on: the tests that count, the first tests, the
// analyses of files, the verdicts within the uncertainty and the failures
// per limit.
void addTrends(Json &object, const LotSummary &lot)
{
    object["captures"] = lot.captures;
    object["station_boards"] = lot.stationBoards();
    Json firstPass = Json::object();
    yield(firstPass, lot.firstPass);
    object["first_pass"] = firstPass;
    Json verdicts = Json::array();
    for (const UncertainVerdicts &limit : lot.uncertainVerdicts)
        verdicts.push_back(
            {{"limit", limit.limit}, {"figure", limit.figure}, {"verdicts", limit.verdicts},
                {"within_uncertainty", limit.within}, {"without_uncertainty", limit.unknown}});
    object["verdicts_within_uncertainty"] = verdicts;
    Json failures = Json::array();
    for (const LimitFailures &limit : lot.failuresByLimit)
        failures.push_back(
            {{"limit", limit.limit}, {"figure", limit.figure}, {"failures", limit.failures}});
    object["failures_by_limit"] = failures;
    Json analyses = Json::array();
    for (const Reanalysis &analysis : lot.reanalyses) {
        Json each = Json::object();
        board(each, analysis.board);
        each.update(attempt(analysis.attempt));
        each["input_file"] = analysis.inputFile;
        each["counts"] = analysis.counts;
        analyses.push_back(each);
    }
    object["reanalyses"] = analyses;
    object["board_histories"] = Json::array();
    for (const RetestedBoard &history : lot.histories)
        object["board_histories"].push_back(retestedObject(history));
    // What the bounded lists and charts left out; empty when nothing.
    object["cut"] = Json::array();
    for (const std::string &note : cutNotes(lot))
        object["cut"].push_back(note);
}

Json lotObject(const LotSummary &lot)
{
    Json object {{"lot", lot.lot}, {"records", lot.records}};
    yield(object, lot.total);
    Json stations = Json::array();
    for (const BoardYield &station : lot.stations) {
        Json each {{"station", station.station}};
        yield(each, station);
        stations.push_back(each);
    }
    object["stations"] = stations;
    object["figures"] = Json::array();
    for (const FigureStatistics &figure : lot.figures)
        object["figures"].push_back(figureObject(figure));
    object["failed_boards"] = Json::array();
    for (const FailedBoard &failed : lot.failedBoards)
        object["failed_boards"].push_back(failedObject(failed));
    object["retested_boards"] = Json::array();
    for (const RetestedBoard &retested : lot.retested)
        object["retested_boards"].push_back(retestedObject(retested));
    addTrends(object, lot);
    return object;
}

} // namespace

std::string reportJson(const std::vector<LotSummary> &lots, const ReportScope &scope)
{
    return wholeReport<JsonReport>(lots, scope);
}

JsonReport::JsonReport(Sink out, const ReportScope &scope)
    : ReportStream(std::move(out))
{
    // The lots are the object's last member: its text with no lot ends in
    // "[]" and the closing lines.
    const Json report {
        {"program", "adreport"},
        {"version", scope.version},
        {"generated_at", scope.generatedAt},
        {"lot_filter", jsonTextOrNull(scope.lot)},
        {"since", jsonTextOrNull(scope.since)},
        {"lots", Json::array()},
    };
    const std::string text = jsonText(report, 2);
    const std::size_t array = text.rfind("[]");
    m_opening = text.substr(0, array + 1);
    m_closing = text.substr(array + 2);
}

void JsonReport::begin()
{
    write(m_opening);
}

void JsonReport::writeLot(const LotSummary &lot)
{
    // An element of the array two levels in: each line of the lot's own
    // text indented by two levels, the last line break left to what follows.
    const std::string object = jsonText(lotObject(lot), 2);
    std::string element = lotsWritten() == 0 ? "\n" : ",\n";
    std::size_t line = 0;
    while (line < object.size()) {
        const std::size_t next = object.find('\n', line);
        const std::size_t stop = next == std::string::npos ? object.size() : next;
        if (line > 0)
            element += '\n';
        element.append(indentation, ' ').append(object, line, stop - line);
        line = stop + 1;
    }
    write(element);
}

void JsonReport::end()
{
    write(lotsWritten() == 0 ? "]" : "\n" + std::string(indentation / 2, ' ') + "]");
    write(m_closing);
}

#include "ReportOptions.h"

#include "OptionParser.h"
#include "RecordTime.h"

#include <cstdint>
#include <optional>

std::string ReportOptions::parse(const std::vector<std::string> &arguments)
{
    *this = ReportOptions();
    OptionParser parser;
    parser.addValue({"--db"}, "a database URL (sqlite:PATH or postgresql://HOST/NAME)");
    parser.addValue({"--lot"}, "a lot name");
    parser.addValue({"--since"}, "a date (2026-03-01) or date and time");
    for (const char *name : {"--csv", "--json", "--html"})
        parser.addValue({name}, "a path, or - for standard output");
    for (const char *name : {"--max-points", "--max-results", "--max-boards"})
        parser.addValue({name}, "a count from 1");
    parser.addFlag({"--help", "-h"});
    parser.addFlag({"--version", "-V"});
    if (!parser.parseProgramArguments(arguments, mode))
        return parser.error();
    if (mode != Mode::Report)
        return {};
    databaseUrl = parser.value("--db");
    lot = parser.value("--lot");
    since = parser.value("--since");
    csvPath = parser.value("--csv");
    jsonPath = parser.value("--json");
    htmlPath = parser.value("--html");
    if (databaseUrl.empty())
        return "--db: needs a database URL (sqlite:PATH or postgresql://HOST/NAME)";
    if (parser.isSet("--lot") && lot.empty())
        return "--lot: needs a lot name";
    if (parser.isSet("--since") && !parseIsoTime(since))
        return "--since: '" + since
            + "' is not a date (2026-03-01) or date and time "
              "(2026-03-01T08:00:00Z)";
    for (const char *name : {"--csv", "--json", "--html"}) {
        if (parser.isSet(name) && parser.value(name).empty())
            return std::string(name) + ": needs a path, or - for standard output";
    }
    const struct
    {
        const char *name;
        std::size_t &bound;
    } bounds[] = {{"--max-points", this->bounds.points}, {"--max-results", this->bounds.results},
        {"--max-boards", this->bounds.boards}};
    for (const auto &[name, bound] : bounds) {
        std::optional<std::uint64_t> count;
        if (!parser.wholeValue(name, 1, 100'000'000, "a count from 1 to 100000000", count))
            return parser.error();
        bound = std::size_t(count.value_or(bound));
    }
    int toStdout = 0;
    for (const std::string *path : {&csvPath, &jsonPath, &htmlPath})
        toStdout += *path == "-";
    if (toStdout > 1)
        return "only one output can go to standard output (-)";
    return {};
}

std::string ReportOptions::helpText()
{
    return R"(Usage: adreport --db URL [--lot LOT] [--since DATE] [--csv FILE] [--json FILE] [--html FILE]
                [--max-points N] [--max-results N] [--max-boards N]
Reports the boards a test floor has tested, from the results database that
adcapture writes: per lot and station the boards tested, passed and failed
(each board counted once, by its last result), the yield, the retested
boards, and each figure's mean, sigma, range and Cpk against its limits.

  --db URL       sqlite:PATH or postgresql://[USER[:PASSWORD]@]HOST[:PORT]/NAME
  --lot LOT      only this lot (default: every lot)
  --since DATE   only tests that started at DATE or later: 2026-03-01, or
                 2026-03-01T08:00:00Z (a time without a zone is UTC)
  --csv FILE     the report as CSV tables
  --json FILE    the report as JSON
  --html FILE    the report as one self-contained HTML page with charts
                 (FILE may be - for standard output, for one of them)
                 Without an output, a summary is printed on standard output.
  --max-points N   run charts show each figure's last N tests per station
                   (default 200)
  --max-results N  board histories show each board's last N results
                   (default 20)
  --max-boards N   each list of boards (failed, retested, histories, analyses
                   of files) holds a lot's first N (default 1000)
                 The database does the counting: the yields, figures and
                 histograms cover every record whatever these bounds; the
                 report says where it cut a list or a chart.
  -h, --help     show this help
  -V, --version  show the version

Exit status: 0 the report was made (whatever the boards' results), 1 no
record matched (nothing is written), 2 bad usage, a database that cannot be
opened or read, or an output that cannot be written (the others are still
written).
)";
}

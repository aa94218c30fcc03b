#include "ReportOptions.h"

#include "OptionParser.h"
#include "RecordTime.h"

std::string ReportOptions::parse(const std::vector<std::string> &arguments)
{
    *this = ReportOptions();
    OptionParser parser;
    parser.addValue({"--db"}, "a database URL (sqlite:PATH or postgresql://HOST/NAME)");
    parser.addValue({"--lot"}, "a lot name");
    parser.addValue({"--since"}, "a date (2026-03-01) or date and time");
    for (const char *name : {"--csv", "--json", "--html"})
        parser.addValue({name}, "a path, or - for standard output");
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
  -h, --help     show this help
  -V, --version  show the version

Exit status: 0 the report was made (whatever the boards' results), 1 no
record matched (nothing is written), 2 bad usage, a database that cannot be
opened or read, or an output that cannot be written (the others are still
written).
)";
}

#include "CaptureOptions.h"

#include "DynamicCaptureOptions.h"
#include "OptionParser.h"

#include <QSysInfo>

#include <algorithm>
#include <cctype>
#include <climits>

namespace {

// Some three weeks: longer is a typing error, and the time in milliseconds
// still fits the timer's int.
constexpr double longestSeconds = 2'000'000;
// Worse than this no converter is tested for; larger values are typing errors.
constexpr double largestLsbLimit = 4096;

// Every limit of the catalog is an option of its own.
void declareLimitOptions(OptionParser &parser)
{
    for (const LimitDefinition &limit : limitCatalog())
        parser.addValue({limit.option});
}

bool readLimitOptions(OptionParser &parser, LimitSet &limits)
{
    for (const LimitDefinition &limit : limitCatalog()) {
        std::optional<double> value;
        std::optional<int> count;
        if (limit.whole()
                ? !parser.intValue(
                    limit.option, int(limit.low), int(limit.high), limit.range, count)
                : !parser.realValue(limit.option, limit.low, limit.high, limit.range, value))
            return false;
        if (count)
            value = double(*count);
        if (value)
            limits.set(limit, *value);
    }
    return true;
}

constexpr const char *pathOptions[]
    = {"--csv", "--json", "--port", "--analyze", "--samples", "--raw", "--junit", "--limits"};

// The board's identity goes into file names' neighbours, CSV and HTML
// reports and the database: printable text of a sensible length only, and
// text that shows as what it is, so that two boards never share one name and
// one board never looks like another.
constexpr const char *identityOptions[]
    = {"--serial", "--lot", "--part", "--operator", "--station"};
constexpr qsizetype longestIdentity = 200; // characters, not bytes

bool isBidiControl(char32_t c)
{
    return (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069) || c == 0x200e
        || c == 0x200f || c == 0x061c;
}

// Why one character has no place in an identity; empty when it has.
QString characterProblem(char32_t c)
{
    const QString code = QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return QStringLiteral("has a control character (%1)").arg(code);
    case QChar::Other_Format: // zero-width characters, the byte-order mark, ...
        return isBidiControl(c)
            ? QStringLiteral("has a bidirectional control character (%1)").arg(code)
            : QStringLiteral("has an invisible format character (%1)").arg(code);
    default:
        return {};
    }
}

QString checkIdentity(const char *option, const std::string &value)
{
    const auto problem = [option](const QString &why) {
        return QStringLiteral("%1: %2").arg(QLatin1String(option), why);
    };
    if (value.empty())
        return problem(QStringLiteral("needs a value"));
    // A byte that is no UTF-8 reaches here as U+FFFD, as does any other
    // undecodable one: two different serials would become one.
    const QString text = QString::fromUtf8(value);
    if (text.contains(QChar::ReplacementCharacter))
        return problem(QStringLiteral("not valid UTF-8 (a byte that is no character, or U+FFFD)"));
    const QList<uint> characters = text.toUcs4();
    if (characters.size() > longestIdentity)
        return problem(QStringLiteral("longer than %1 characters").arg(longestIdentity));
    for (const uint c : characters) {
        if (const QString why = characterProblem(c); !why.isEmpty())
            return problem(why);
    }
    if (std::ranges::all_of(characters, [](uint c) { return QChar::isSpace(c); }))
        return problem(QStringLiteral("is blank"));
    return {};
}

} // namespace

QString CaptureOptions::parse(const QStringList &arguments)
{
    *this = CaptureOptions();
    OptionParser parser;
    for (const char *name :
        {"--frames", "--seconds", "--kind", "--bits", "--inl-resolution", "--record-length"})
        parser.addValue({name});
    declareLimitOptions(parser);
    for (const char *name : pathOptions)
        parser.addValue({name});
    for (const char *name : identityOptions)
        parser.addValue({name});
    parser.addValue({"--db"}, "a database URL");
    parser.addFlag({"--no-db"});
    parser.addValue({"--spool"}, "a folder");
    parser.addValue({"--db-wait"}, "a time in seconds");
    parser.addFlag({"--send-spool"});
    declareDynamicOptions(parser);
    parser.addFlag({"--guard-band"});
    parser.addFlag({"--list-ports"});
    parser.addFlag({"--all"});
    parser.addFlag({"--help", "-h"});
    parser.addFlag({"--version", "-V"});

    std::vector<std::string> list;
    for (qsizetype i = 1; i < arguments.size(); ++i)
        list.push_back(arguments[i].toLocal8Bit().toStdString());
    const auto error = [&parser] { return QString::fromLocal8Bit(parser.error()); };
    const auto text
        = [&parser](const char *name) { return QString::fromLocal8Bit(parser.value(name)); };
    if (!parser.parseProgramArguments(list, mode))
        return error();
    if (mode != Mode::Capture)
        return {};

    // Each value is checked on its own first, so that a typing error is named
    // before any conflict between options.
    if (!parser.intValue("--frames", 1, INT_MAX, "a frame count from 1 to 2147483647", frames)
        || !parser.realValue(
            "--seconds", 0.001, longestSeconds, "a time from 0.001 to 2000000 seconds", seconds)
        || !readLimitOptions(parser, limits))
        return error();
    std::optional<int> givenBits;
    std::optional<double> givenResolution;
    if (!parser.intValue("--bits", 1, 16, "a resolution from 1 to 16 bits", givenBits)
        || !parser.realValue("--inl-resolution", 0.001, largestLsbLimit,
            "a resolution from 0.001 to 4096 LSB", givenResolution))
        return error();
    std::optional<std::uint64_t> givenLength;
    if (!parser.wholeValue("--record-length", 64, std::uint64_t(1) << 26,
            "a record of 64 to 67108864 samples", givenLength))
        return error();
    if (!readDynamicOptions(parser, *this))
        return error();
    std::optional<double> databaseWait;
    if (!parser.realValue("--db-wait", 0, 3600, "a time from 0 to 3600 seconds", databaseWait))
        return error();
    databaseWaitMs = databaseWait ? int(*databaseWait * 1000) : databaseWaitMs;
    recordLength = std::size_t(givenLength.value_or(recordLength));
    bits = givenBits.value_or(bits);
    inlResolution = givenResolution.value_or(inlResolution);
    limits.guardBand = parser.isSet("--guard-band");
    if (parser.isSet("--kind")) {
        std::string key = parser.value("--kind");
        std::ranges::transform(key, key.begin(), [](unsigned char c) { return std::tolower(c); });
        kind = testKindFromKey(key);
        if (!kind) {
            parser.badValue("--kind", "one of dc, ramp, sine");
            return error();
        }
    }
    for (const char *name : pathOptions) {
        if (parser.isSet(name) && parser.value(name).empty())
            return QStringLiteral("%1: needs a path").arg(QLatin1String(name));
    }
    csvPath = text("--csv");
    jsonPath = text("--json");
    portPath = text("--port");
    analyzePath = text("--analyze");
    samplesPath = text("--samples");
    rawPath = text("--raw");
    junitPath = text("--junit");

    std::string *const identityFields[] = {
        &identity.serial, &identity.lot, &identity.part, &identity.operatorName, &identity.station};
    for (std::size_t i = 0; i < std::size(identityOptions); ++i) {
        if (!parser.isSet(identityOptions[i]))
            continue;
        *identityFields[i] = parser.value(identityOptions[i]);
        if (const QString problem = checkIdentity(identityOptions[i], *identityFields[i]);
            !problem.isEmpty())
            return problem;
    }
    if (identity.station.empty())
        identity.station = QSysInfo::machineHostName().toStdString();
    noDatabase = parser.isSet("--no-db");
    if (parser.isSet("--db")) {
        if (noDatabase)
            return QStringLiteral("--db and --no-db: choose one");
        databaseUrl = text("--db");
    }
    if (parser.isSet("--spool") && parser.value("--spool").empty())
        return QStringLiteral("--spool: needs a folder");
    spoolFolder = text("--spool");
    if (parser.isSet("--send-spool")) {
        const bool alone = std::ranges::all_of(parser.given(), [](const std::string &name) {
            return name == "--send-spool" || name == "--db" || name == "--spool"
                || name == "--db-wait";
        });
        if (!alone)
            return QStringLiteral("--send-spool: takes no other option than --db, --spool and "
                                  "--db-wait");
        if (noDatabase)
            return QStringLiteral("--send-spool and --no-db: choose one");
        mode = Mode::SendSpool;
        return {};
    }

    // The command line's limits over the file's; the report names each one
    // the command line replaced.
    for (const LimitDefinition &limit : limitCatalog()) {
        if (limits.value(limit))
            commandLineLimits.emplace_back(limit.key);
    }
    if (limits.guardBand)
        commandLineLimits.push_back("guard_band");
    if (parser.isSet("--limits")) {
        StationResult<LimitsFile> reading = readLimitsFile(parser.value("--limits"));
        // The file's format is told in the manual page, not in --help.
        if (!reading)
            return QString::fromStdString(reading.reason())
                + (reading.reason().starts_with("cannot read ")
                        ? QString()
                        : QStringLiteral(" (see adcapture(1), LIMITS FILE)"));
        LimitSet merged = reading->limits;
        for (const LimitDefinition &limit : limitCatalog()) {
            const std::optional<double> given = limits.value(limit);
            if (!given)
                continue;
            if (const std::optional<double> fromFile = merged.value(limit))
                limitOverrides.push_back({std::string(limit.key), *fromFile, *given});
            merged.set(limit, *given);
        }
        if (limits.guardBand && !merged.guardBand
            && std::ranges::count(reading->keys, "guard_band"))
            limitOverrides.push_back({"guard_band", 0, 1});
        merged.guardBand = merged.guardBand || limits.guardBand;
        limits = merged;
        if (!kind)
            kind = reading->kind;
        limitsFile = std::move(reading.value());
    }
    allPorts = parser.isSet("--all");

    if (parser.isSet("--list-ports")) {
        const bool alone = std::ranges::all_of(parser.given(),
            [](const std::string &name) { return name == "--list-ports" || name == "--all"; });
        if (!alone)
            return QStringLiteral("--list-ports: takes no other option than --all");
        mode = Mode::ListPorts;
        return {};
    }
    if (allPorts)
        return QStringLiteral("--all: only with --list-ports");
    if (givenBits && analyzePath.isEmpty())
        return QStringLiteral("--bits: only with --analyze; a capture reads 12-bit frames");
    if (!analyzePath.isEmpty()) {
        for (const char *name : {"--frames", "--seconds", "--port", "--raw", "--record-length"}) {
            if (parser.isSet(name))
                return QStringLiteral("%1: not with --analyze, which reads a saved histogram")
                    .arg(QLatin1String(name));
        }
        mode = Mode::Analyze;
    }
    // The kind comes from --kind or from the limits file.
    const QString kindFrom = parser.isSet("--kind") || !limitsFile
        ? QStringLiteral("--kind %1").arg(QLatin1String(kind ? testKindKey(*kind) : ""))
        : QStringLiteral("%1: kind = %2")
              .arg(QString::fromStdString(limitsFile->path),
                  QLatin1String(kind ? testKindKey(*kind) : ""));
    const bool needsLinearity = limits.needs(FigureSource::Linearity);
    const bool needsNoise = limits.needs(FigureSource::DcNoise);
    if (kind == TestKind::Dc && needsLinearity) {
        return QStringLiteral("%1: a DC histogram has no DNL, INL or missing codes; "
                              "use --max-noise")
            .arg(kindFrom);
    }
    if (kind && kind != TestKind::Dc && needsNoise) {
        return limitsFile ? QStringLiteral("max-noise needs a DC histogram, not %1").arg(kindFrom)
                          : QStringLiteral("--max-noise: needs a DC histogram (--kind dc)");
    }
    if (!kind && needsNoise && needsLinearity)
        return QStringLiteral("max-noise and DNL/INL limits need different histograms "
                              "(DC and ramp or sine)");
    return {};
}

std::string CaptureOptions::limitSource(const std::string &key) const
{
    if (std::ranges::count(commandLineLimits, key))
        return "command line";
    if (limitsFile && std::ranges::count(limitsFile->keys, key))
        return "file";
    return {};
}

QString CaptureOptions::helpText()
{
    return QStringLiteral(R"(Usage: adcapture [OPTION]...
       adcapture --analyze FILE [--kind KIND] [LIMIT]... [--csv FILE] [--json FILE]
       adcapture --list-ports [--all]
       adcapture --send-spool [--db URL] [--spool DIR]
Reads frames from the 12-bit A/D converter on serial port 1 with the same
rules as adtest (frames counted at STX, the first three characters decoded,
anything before STX discarded), analyses the code-density histogram and
checks it against the limits given.

Capture:
  --port PATH        the converter's device (default: $ADTEST_COM1, else
                     /dev/ttyS0)
  --frames N         stop after N complete frames
  --seconds S        stop after S seconds
                     (without either: run until interrupted)
  --analyze FILE     read a saved histogram (the CSV of adtest or adcapture)
                     or sample record (.npy or sample,code CSV) instead of
                     capturing
  --kind KIND        dc, ramp or sine: the input applied (default: read from
                     the histogram's shape)
  --bits N           with --analyze: the converter's resolution, 1 to 16
                     bits (default 12); a histogram of any other number of
                     rows is refused
  --inl-resolution X the INL uncertainty (99 %, LSB) to say how many more
                     samples would reach (default 0.5)

Limits (exit status 1 when one fails):
)") + QString::fromStdString(limitHelpText())
        + QStringLiteral(R"(  --guard-band       pass a limit only when the figure plus its 99 %
                     uncertainty is within it

Dynamic analysis (of the sample record, after the capture):
  --sample-rate HZ   the converter's sample rate: frequencies in Hz (default:
                     in cycles per sample)
  --window KEY       rectangular, hann, blackman-harris-4 or
                     blackman-harris-7 (default: rectangular for a whole
                     number of cycles, else blackman-harris-7)
  --harmonics N      harmonics in THD, the fundamental the first (default 5)
  --averages N       cut the record into N records and average their spectra,
                     1 to 1024 (default 1): a steadier noise floor
  --fundamental HZ   take the tone at HZ for the fundamental (default: the
                     largest tone); needs the sample rate

Board and station (into the report, the JUnit file and the results database):
  --serial TEXT      the board's serial number
  --lot TEXT         its lot
  --part TEXT        its part number
  --operator TEXT    who tests it
  --station TEXT     where it is tested (default: the host name)
  --limits FILE      the limits from a TOML file with a name and a revision
                     (a limit given on the command line overrides the file's)
  --db URL           keep the result in sqlite:PATH or
                     postgresql://[USER@]HOST[:PORT]/DBNAME (default with
                     --serial or --lot: $XDG_DATA_HOME/adtest/results.sqlite)
  --no-db            keep no result in a database
  --db-wait S        wait up to S seconds for a busy database (a lock held by
                     another program, too many clients; default 30)
  --spool DIR        where a result the database cannot take now is kept
                     until a later run sends it (default:
                     $XDG_STATE_HOME/adtest/spool)
  --send-spool       send the results kept in the spool to the database and
                     exit: 0 when all were sent, 2 when one stays

Output:
  --junit FILE       JUnit XML: one test case per limit
  --csv FILE         the histogram, with DNL and INL columns
  --samples FILE     the sample record, the most recent readings in arrival
                     order: NumPy .npy (uint16) when FILE ends in .npy, else
                     CSV (sample,code)
  --record-length N  readings the record keeps (default 1048576)
  --raw FILE         every byte of the line as it arrived, for adsim --replay
  --json FILE        the report: times, frames, figures, limits
  --list-ports       list the serial ports present (--all: with the
                     /dev/ttyS* placeholders that have no UART behind them)
  -h, --help         show this help
  -V, --version      show the version

Exit status: 0 every limit holds, 1 a limit fails or no data came (no
complete frame, an empty histogram), 2 bad usage, the port cannot be used or
went away, an output cannot be written, the database is misconfigured or the
result could neither be stored nor spooled, 3 measured, no limits: no verdict
(no limit was given, so the board neither passed nor failed), 130 interrupted
(SIGINT, SIGTERM or SIGHUP; what was captured is written and the report
marked as interrupted).
)");
}

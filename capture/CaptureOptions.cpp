#include "CaptureOptions.h"

#include <QCommandLineParser>

#include <cmath>
#include <limits>

namespace {

const QString framesName = QStringLiteral("frames");
const QString secondsName = QStringLiteral("seconds");
const QString kindName = QStringLiteral("kind");
const QString csvName = QStringLiteral("csv");
const QString jsonName = QStringLiteral("json");
const QString maxDnlName = QStringLiteral("max-dnl");
const QString maxInlName = QStringLiteral("max-inl");
const QString maxMissingName = QStringLiteral("max-missing");
const QString maxNoiseName = QStringLiteral("max-noise");
const QString portName = QStringLiteral("port");
const QString analyzeName = QStringLiteral("analyze");
const QString listPortsName = QStringLiteral("list-ports");
const QString allName = QStringLiteral("all");
const QString helpName = QStringLiteral("help");
const QString versionName = QStringLiteral("version");

// Some three weeks: longer is a typing error, and the time in milliseconds
// still fits the timer's int.
constexpr double longestSeconds = 2'000'000;
// Worse than this no converter is tested for; larger values are typing errors.
constexpr double largestLsbLimit = 4096;

QString badValue(const QString &name, const QString &value, const char *what)
{
    return QStringLiteral("--%1: '%2' is not %3").arg(name, value, QLatin1String(what));
}

} // namespace

QString CaptureOptions::parse(const QStringList &arguments)
{
    *this = CaptureOptions();
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto valued = [](const QString &name) {
        return QCommandLineOption(name, QString(), QStringLiteral("value"));
    };
    parser.addOptions({valued(framesName), valued(secondsName), valued(kindName), valued(csvName),
        valued(jsonName), valued(maxDnlName), valued(maxInlName), valued(maxMissingName),
        valued(maxNoiseName), valued(portName), valued(analyzeName),
        QCommandLineOption(listPortsName), QCommandLineOption(allName),
        QCommandLineOption(QStringList {QStringLiteral("h"), helpName}),
        QCommandLineOption(QStringList {QStringLiteral("V"), versionName})});
    if (!parser.parse(arguments))
        return parser.errorText();
    if (parser.isSet(helpName)) {
        mode = Mode::Help;
        return {};
    }
    if (parser.isSet(versionName)) {
        mode = Mode::Version;
        return {};
    }
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());

    // Each value is checked on its own first, so that a typing error is named
    // before any conflict between options.
    const auto real = [&](const QString &name, double low, double high, const char *what,
                          std::optional<double> &target) -> QString {
        if (!parser.isSet(name))
            return {};
        const QString text = parser.value(name);
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(value) || value < low || value > high)
            return badValue(name, text, what);
        target = value;
        return {};
    };
    const auto whole = [&](const QString &name, int low, int high, const char *what,
                           std::optional<int> &target) -> QString {
        if (!parser.isSet(name))
            return {};
        const QString text = parser.value(name);
        bool ok = false;
        const int value = text.trimmed().toInt(&ok);
        if (!ok || value < low || value > high)
            return badValue(name, text, what);
        target = value;
        return {};
    };
    for (const QString &error : {
             whole(framesName, 1, std::numeric_limits<int>::max(),
                 "a frame count from 1 to 2147483647", frames),
             real(secondsName, 0.001, longestSeconds, "a time from 0.001 to 2000000 seconds",
                 seconds),
             real(maxDnlName, 0, largestLsbLimit, "a limit from 0 to 4096 LSB", limits.maxDnl),
             real(maxInlName, 0, largestLsbLimit, "a limit from 0 to 4096 LSB", limits.maxInl),
             whole(maxMissingName, 0, 4096, "a code count from 0 to 4096", limits.maxMissing),
             real(maxNoiseName, 0, largestLsbLimit, "a limit from 0 to 4096 LSB", limits.maxNoise),
         }) {
        if (!error.isEmpty())
            return error;
    }

    if (parser.isSet(kindName)) {
        const QString text = parser.value(kindName);
        kind = testKindFromKey(text.toStdString());
        if (!kind)
            return badValue(kindName, text, "one of dc, ramp, sine");
    }
    for (const QString &name : {csvName, jsonName, portName, analyzeName}) {
        if (parser.isSet(name) && parser.value(name).isEmpty())
            return QStringLiteral("--%1: needs a path").arg(name);
    }
    csvPath = parser.value(csvName);
    jsonPath = parser.value(jsonName);
    portPath = parser.value(portName);
    analyzePath = parser.value(analyzeName);
    allPorts = parser.isSet(allName);

    if (parser.isSet(listPortsName)) {
        const QStringList given = parser.optionNames();
        for (const QString &name : given) {
            if (name != listPortsName && name != allName)
                return QStringLiteral("--list-ports: takes no other option than --all");
        }
        mode = Mode::ListPorts;
        return {};
    }
    if (allPorts)
        return QStringLiteral("--all: only with --list-ports");
    if (!analyzePath.isEmpty()) {
        for (const QString &name : {framesName, secondsName, portName}) {
            if (parser.isSet(name))
                return QStringLiteral("--%1: not with --analyze, which reads a saved histogram")
                    .arg(name);
        }
        mode = Mode::Analyze;
    }
    if (!csvPath.isEmpty() && csvPath == jsonPath)
        return QStringLiteral("--csv and --json: name two different files");
    if (kind == TestKind::Dc && limits.needLinearity()) {
        return QStringLiteral("--kind dc: a DC histogram has no DNL, INL or missing codes; "
                              "use --max-noise");
    }
    if (kind && kind != TestKind::Dc && limits.maxNoise)
        return QStringLiteral("--max-noise: needs a DC histogram (--kind dc)");
    return {};
}

QString CaptureOptions::helpText()
{
    return QStringLiteral(R"(Usage: adcapture [OPTION]...
       adcapture --analyze FILE [--kind KIND] [LIMIT]... [--csv FILE] [--json FILE]
       adcapture --list-ports [--all]
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
                     instead of capturing
  --kind KIND        dc, ramp or sine: the input applied (default: read from
                     the histogram's shape)

Limits (exit status 1 when one fails):
  --max-dnl X        worst |DNL| in LSB
  --max-inl X        worst |INL| in LSB, end-point
  --max-missing N    missing codes
  --max-noise X      DC noise in LSB rms

Output:
  --csv FILE         the histogram, with DNL and INL columns
  --json FILE        the report: times, frames, figures, limits
  --list-ports       list the serial ports present (--all: with the
                     /dev/ttyS* placeholders that have no UART behind them)
  -h, --help         show this help
  -V, --version      show the version

Exit status: 0 every limit holds, 1 a limit fails, 2 bad usage or the port
cannot be used, 130 interrupted (SIGINT or SIGTERM; what was captured is
written and the report marked as interrupted).
)");
}

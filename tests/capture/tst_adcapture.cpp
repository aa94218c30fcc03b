#include "CaptureOptions.h"
#include "CaptureReport.h"
#include "JsonFile.h"
#include "LimitCheck.h"
#include "PacedEventPump.h"
#include "ProgressLine.h"
#include "StartupOptions.h"

#include "CodeDensityAnalysis.h"
#include "HistogramCsv.h"
#include "SampleRecordFile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <numbers>
#include <numeric>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace {

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run runCapture(const QStringList &arguments, int timeoutMs = 60000)
{
    QProcess process;
    process.start(QStringLiteral(ADCAPTURE_PATH), arguments);
    if (!process.waitForFinished(timeoutMs))
        process.kill();
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// The simulated converter on a fresh pseudo-terminal; returns its path.
QString startConverter(QProcess &adsim, const QStringList &arguments)
{
    adsim.start(
        QStringLiteral(ADSIM_PATH), arguments + QStringList {"--wait-reader", "--seed", "3"});
    if (!adsim.waitForReadyRead(10000))
        return {};
    return QString::fromLocal8Bit(adsim.readLine()).trimmed();
}

// A sine histogram of a converter without faults but for `missing`.
std::vector<std::uint64_t> sineHistogram(double total, int missing)
{
    std::vector<std::uint64_t> counts(4096);
    const auto below = [](double level) {
        return std::acos(std::clamp((2048 - level) / 2100, -1.0, 1.0)) / std::numbers::pi;
    };
    for (int k = 0; k < 4096; ++k)
        counts[k] = std::llround(total * (below(k + 1) - below(k)));
    counts[missing] = 0;
    return counts;
}

// A sample record of a sine of amplitude 2000 about mid-scale through an
// ideal 12-bit quantiser, with a third harmonic at -70 dBc; amplitude 0
// gives a DC record with 1.2 LSB of noise.
std::vector<std::uint16_t> sineRecord(double cyclesPerSample, double amplitude = 2000)
{
    std::mt19937 random(2);
    std::normal_distribution<double> noise(0, 1.2);
    std::vector<std::uint16_t> codes(1 << 16);
    for (std::size_t n = 0; n < codes.size(); ++n) {
        const double phase = 2 * std::numbers::pi * cyclesPerSample * double(n) + 0.1;
        const double x = amplitude == 0 ? 2048 + noise(random)
                                        : 2048 + amplitude * std::sin(phase)
                + amplitude * std::pow(10, -70.0 / 20) * std::sin(3 * phase);
        codes[n] = std::uint16_t(std::clamp(std::round(x), 0.0, 4095.0));
    }
    return codes;
}

// adcapture --analyze on `codes` saved as DIR/record.npy, with `sidecar`
// beside it unless empty, and the report in DIR/r.json.
Run analyzeRecord(const QTemporaryDir &dir, const std::vector<std::uint16_t> &codes,
    const QByteArray &sidecar, const QStringList &options)
{
    const QString path = dir.filePath("record.npy");
    QFile record(path);
    QFile side(path + ".json");
    if (!record.open(QIODevice::WriteOnly)
        || record.write(QByteArray::fromStdString(sampleRecordNpy(codes))) < 0
        || (!sidecar.isEmpty() && (!side.open(QIODevice::WriteOnly) || side.write(sidecar) < 0)))
        return {};
    record.close();
    side.close();
    return runCapture(QStringList {"--analyze", path, "--json", dir.filePath("r.json")} + options);
}

} // namespace

class TestAdcapture : public QObject
{
    Q_OBJECT

private slots:
    void options_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error"); // a part of it; empty: accepted

        QTest::newRow("capture") << QStringList {"--frames", "1000000", "--kind", "sine", "--csv",
            "a.csv", "--json", "a.json", "--max-dnl", "0.9", "--max-inl=1.5", "--max-missing", "0",
            "--port", "/dev/ttyUSB0", "--seconds", "2.5"}
                                 << QString();
        QTest::newRow("dc noise limit")
            << QStringList {"--kind", "dc", "--max-noise", "0.7"} << QString();
        QTest::newRow("unknown option")
            << QStringList {"--frame", "5"} << "--frame: unknown option";
        QTest::newRow("missing value") << QStringList {"--json"} << "--json: needs a value";
        QTest::newRow("zero frames") << QStringList {"--frames", "0"} << "--frames: '0' is not";
        QTest::newRow("fractional frames") << QStringList {"--frames", "1.5"} << "--frames: '1.5'";
        QTest::newRow("too many frames") << QStringList {"--frames", "2147483648"} << "--frames";
        QTest::newRow("negative limit") << QStringList {"--max-dnl", "-0.1"} << "--max-dnl: '-0.1'";
        QTest::newRow("limit not a number")
            << QStringList {"--max-inl", "1,5"} << "--max-inl: '1,5'";
        QTest::newRow("infinite time") << QStringList {"--seconds", "inf"} << "--seconds: 'inf'";
        QTest::newRow("unknown kind")
            << QStringList {"--kind", "square"} << "one of dc, ramp, sine";
        QTest::newRow("stray argument") << QStringList {"/dev/ttyUSB0"} << "unexpected argument";
        QTest::newRow("empty path") << QStringList {"--csv="} << "--csv: needs a path";
        QTest::newRow("all alone") << QStringList {"--all"} << "only with --list-ports";
        QTest::newRow("list with capture")
            << QStringList {"--list-ports", "--frames", "5"} << "--list-ports";
        QTest::newRow("analyze with port") << QStringList {"--analyze", "h.csv", "--port", "/dev/x"}
                                           << "--port: not with --analyze";
        QTest::newRow("dc with dnl")
            << QStringList {"--kind", "dc", "--max-dnl", "1"} << "--kind dc";
        QTest::newRow("sine with noise")
            << QStringList {"--kind", "sine", "--max-noise", "1"} << "--max-noise";
        QTest::newRow("dynamic") << QStringList {"--sample-rate", "1e5", "--window", "Hann",
            "--harmonics", "7", "--min-enob", "10.5", "--min-sinad", "60", "--max-thd", "-60",
            "--min-sfdr", "65", "--averages", "4"}
                                 << QString();
        QTest::newRow("no record averaged") << QStringList {"--averages", "0"} << "--averages: '0'";
        QTest::newRow("too many averaged")
            << QStringList {"--averages", "1025"} << "--averages: '1025'";
        QTest::newRow("unknown window")
            << QStringList {"--window", "hamming"} << "--window: 'hamming' is not one of";
        QTest::newRow("thd above the fundamental") << QStringList {"--max-thd", "3"} << "--max-thd";
        QTest::newRow("no harmonic") << QStringList {"--harmonics", "1"} << "--harmonics";
        QTest::newRow("fundamental without a rate")
            << QStringList {"--fundamental", "50"} << "--fundamental: a frequency in Hz needs";
        QTest::newRow("fundamental at half the rate") << QStringList {"--sample-rate", "1000",
            "--fundamental", "500"} << "--fundamental: 500 Hz does not lie between 0 and half";

        // One name for one board, shown as it is. main() reads arguments
        // as these: a byte that is no UTF-8 becomes U+FFFD.
        const auto serial = [](const QString &value) { return QStringList {"--serial", value}; };
        QTest::newRow("not UTF-8") << serial(QString::fromLocal8Bit("SN\xfe")) << "not valid UTF-8";
        QTest::newRow("right-to-left override") << serial("SN\u202e21") << "bidirectional control";
        QTest::newRow("left-to-right mark") << serial("SN\u200e1") << "bidirectional control";
        QTest::newRow("zero-width space") << serial("SN\u200b1") << "invisible format character";
        QTest::newRow("blank") << QStringList {"--station", " \u3000"} << "--station: is blank";
        QTest::newRow("200 CJK characters") << serial(QString(200, QChar(0x6d4b))) << QString();
        QTest::newRow("201 characters")
            << serial(QString(201, u'x')) << "longer than 200 characters";
        QTest::newRow("200 characters past 16 bits")
            << serial(QString::fromUcs4(std::u32string(200, U'\U0001D7D8').c_str())) << QString();
    }
    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        CaptureOptions options;
        const QString message = options.parse(QStringList {"adcapture"} + arguments);
        if (error.isEmpty()) {
            QCOMPARE(message, QString());
        } else {
            QVERIFY2(message.contains(error), qPrintable(message));
            QVERIFY(!message.contains('\n'));
        }
        if (QByteArray(QTest::currentDataTag()) == "capture") {
            QCOMPARE(options.frames, 1000000);
            QCOMPARE(options.kind, TestKind::Sine);
            QCOMPARE(options.limits.value("max_inl"), 1.5);
            QCOMPARE(options.limits.value("max_missing"), 0.0);
            QCOMPARE(options.portPath, "/dev/ttyUSB0");
            QCOMPARE(options.seconds, 2.5);
        }
        if (QByteArray(QTest::currentDataTag()) == "dynamic") {
            QCOMPARE(options.window, SpectrumWindow::Hann);
            QCOMPARE(options.harmonics, 7);
            QCOMPARE(options.averages, 4);
            QCOMPARE(options.sampleRate, 1e5);
            QCOMPARE(options.limits.value("min_enob"), 10.5);
            QCOMPARE(options.limits.value("max_thd"), -60.0);
        }
    }

    // adtest's options come out of the command line; Qt's own stay, in order.
    void adtestOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QStringList>("rest");
        QTest::addColumn<QString>("error");

        QTest::newRow("port between Qt options")
            << QStringList {"-platform", "offscreen", "--port", "/dev/ttyUSB0", "-style", "x"}
            << "/dev/ttyUSB0" << QStringList {"-platform", "offscreen", "-style", "x"} << "";
        QTest::newRow("port with =")
            << QStringList {"--port=/dev/ttyACM0"} << "/dev/ttyACM0" << QStringList {} << "";
        QTest::newRow("port without value")
            << QStringList {"--port"} << "" << QStringList {} << "--port: needs a device path";
        QTest::newRow("all without list")
            << QStringList {"--all"} << "" << QStringList {} << "--all: only with --list-ports";
        // As adcapture: the listing takes nothing but --all, Qt's options included.
        QTest::newRow("list all") << QStringList {"--all", "--list-ports"} << "" << QStringList {}
                                  << "";
        const QString listAlone = "--list-ports: takes no other option than --all";
        QTest::newRow("list with port") << QStringList {"--list-ports", "--port", "/dev/x"} << ""
                                        << QStringList {} << listAlone;
        QTest::newRow("list with Qt option")
            << QStringList {"-platform", "offscreen", "--list-ports"} << "" << QStringList {}
            << listAlone;
    }
    void adtestOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, port);
        QFETCH(QStringList, rest);
        QFETCH(QString, error);
        std::vector<std::string> line {"adtest"};
        for (const QString &argument : arguments)
            line.push_back(argument.toStdString());
        const StartupOptions options = StartupOptions::parse(line);
        QCOMPARE(QString::fromStdString(options.error), error);
        if (!error.isEmpty())
            return;
        QCOMPARE(QString::fromStdString(options.port), port);
        QStringList left;
        for (const std::string &argument : options.rest)
            left << QString::fromStdString(argument);
        QCOMPARE(left, QStringList {"adtest"} + rest);
    }

    // Without a display Qt never reads its options: adtest tells a typing
    // error from them itself.
    void adtestUnknownBeforeQt_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("Qt's own") << QStringList {"-platform", "xcb", "--style=fusion", "-reverse"}
                                  << "";
        QTest::newRow("unknown") << QStringList {"-reverse", "--bogus=1"}
                                 << "--bogus: unknown option";
        QTest::newRow("stray word") << QStringList {"board17"} << "unexpected argument 'board17'";
    }
    void adtestUnknownBeforeQt()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        std::vector<std::string> line {"adtest"};
        for (const QString &argument : arguments)
            line.push_back(argument.toStdString());
        QCOMPARE(QString::fromStdString(unknownBeforeQt(line).value_or("")), error);
    }

    void limits_data()
    {
        QTest::addColumn<std::vector<std::uint64_t>>("counts");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<double>("value"); // NaN: not measured
        QTest::addColumn<bool>("pass");

        const auto sine = sineHistogram(2e6, 1000);
        std::vector<std::uint64_t> dc(4096);
        dc[2047] = 250, dc[2048] = 500, dc[2049] = 250; // sigma sqrt(0.5)
        QTest::newRow("missing code fails") << sine << "--max-missing=0" << 1.0 << false;
        QTest::newRow("missing code allowed") << sine << "--max-missing=1" << 1.0 << true;
        QTest::newRow("dnl -1 at a missing code") << sine << "--max-dnl=0.99" << 1.0 << false;
        QTest::newRow("noise held") << dc << "--max-noise=0.75" << std::sqrt(0.5) << true;
        QTest::newRow("noise over") << dc << "--max-noise=0.7" << std::sqrt(0.5) << false;
        QTest::newRow("noise of a sine") << sine << "--max-noise=100" << qQNaN() << false;
        QTest::newRow("dnl of a dc input") << dc << "--max-dnl=5" << qQNaN() << false;
        QTest::newRow("no frames")
            << std::vector<std::uint64_t>(4096) << "--max-inl=5" << qQNaN() << false;
    }
    void limits()
    {
        QFETCH(std::vector<std::uint64_t>, counts);
        QFETCH(QString, limit);
        QFETCH(double, value);
        QFETCH(bool, pass);
        CaptureOptions options;
        QCOMPARE(options.parse({"adcapture", limit}), QString());
        const CodeDensityResult result = analyseCodeDensity(counts);
        const auto outcomes = checkLimits(options.limits, {result, DynamicResult()});
        QCOMPARE(outcomes.size(), 1u);
        QCOMPARE(outcomes[0].pass, pass);
        if (std::isnan(value)) {
            QVERIFY(!outcomes[0].value);
            QVERIFY(!outcomes[0].note.empty());
        } else {
            QVERIFY(outcomes[0].value);
            QVERIFY(std::abs(*outcomes[0].value - value) < 1e-6);
        }
    }

    // Counts past 2^53 lose their last digits as doubles.
    void reportCountsAreExact_data()
    {
        QTest::addColumn<quint64>("samples");
        QTest::newRow("2^62") << (quint64(1) << 62);
        QTest::newRow("largest 64-bit count") << std::numeric_limits<quint64>::max();
    }
    void reportCountsAreExact()
    {
        QFETCH(quint64, samples);
        CaptureReport report;
        report.frames = std::numeric_limits<std::int64_t>::max();
        report.result.samples = samples;
        const QByteArray json = report.toJson();
        QVERIFY2(json.contains("\"samples\": " + QByteArray::number(samples) + ","), json);
        QVERIFY2(json.contains("\"frames\": 9223372036854775807,"), json);
        QVERIFY(!QJsonDocument::fromJson(json).isNull());
    }

    void timeLeft()
    {
        CaptureProgress progress;
        progress.frames = 1000;
        progress.elapsedSeconds = 10;
        QVERIFY(!progress.secondsLeft());
        progress.targetFrames = 3000; // 100 frames/s: 20 s to go
        QCOMPARE(*progress.secondsLeft(), 20.0);
        progress.targetSeconds = 15; // the time runs out first
        QCOMPARE(*progress.secondsLeft(), 5.0);
        progress.frames = 5000; // stops at once
        QCOMPARE(*progress.secondsLeft(), 0.0);
        QCOMPARE(clockTime(3723.4), "1:02:03");
        QCOMPARE(clockTime(59.6), "1:00");
    }

    // The program's own exit statuses for what goes wrong before a capture.
    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");

        QTest::newRow("bad value") << QStringList {"--max-dnl", "x"} << "--max-dnl: 'x'";
        QTest::newRow("no such port") << QStringList {"--port", "/dev/adcapture-none", "--frames",
            "1"} << "/dev/adcapture-none";
        QTest::newRow("unreadable histogram") << QStringList {"--analyze", "/nonexistent/h.csv"}
                                              << "/nonexistent/h.csv: No such file or directory";
        QTest::newRow("no bits") << QStringList {"--analyze", "h.csv", "--bits", "0"}
                                 << "a resolution from 1 to 16 bits";
        QTest::newRow("folder to analyse")
            << QStringList {"--analyze", "/"} << "cannot read /: Is a directory";
        QTest::newRow("unwritable report") << QStringList {"--analyze", "/dev/null", "--json",
            "/nonexistent/r.json"} << "/nonexistent/r.json";
    }
    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Run run = runCapture(arguments);
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.startsWith("adcapture: ") && run.err.contains(message.toLocal8Bit()),
            run.err.constData());
        QVERIFY(run.out.isEmpty());
    }

    // A port list that cannot be written is a failure, not a silent success.
    void listingNotWritten()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full");
        QProcess process;
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.start(QStringLiteral(ADCAPTURE_PATH), {"--list-ports"});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().startsWith("adcapture: cannot write the port list"));
    }

    // Every output is whole or absent, and a verdict never claims more than
    // the data gives.
    void outputsWholeOrAbsent_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("report on a FIFO") << "fifo" << 2 << "it is a FIFO, not a file";
        QTest::newRow("one name twice") << "same" << 2 << "lead to one file";
        QTest::newRow("two names of one file") << "dot" << 2 << "lead to one file";
        QTest::newRow("a link to the other output") << "link" << 2 << "lead to one file";
        QTest::newRow("disk full at the end") << "full" << 2 << "File too large";
        QTest::newRow("histogram cut short") << "short" << 2 << "1912 rows";
        QTest::newRow("silent port") << "silent" << 1 << "nothing arrived";
    }
    void outputsWholeOrAbsent()
    {
        QFETCH(QString, fault);
        QFETCH(int, status);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const auto path = [&](const char *name) { return dir.filePath(QLatin1String(name)); };
        const auto writeFile = [](const QString &name, const QByteArray &contents) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
        };
        const std::string table = histogramCsv(sineHistogram(1e6, 2500));
        writeFile(path("h.csv"), QByteArray::fromStdString(table));
        writeFile(path("old.csv"), "older");
        QStringList arguments {"--analyze", path("h.csv")};
        QProcess adsim;
        if (fault == "fifo") {
            QCOMPARE(::mkfifo(path("fifo").toLocal8Bit().constData(), 0600), 0);
            arguments << "--json" << path("fifo");
        } else if (fault == "same") {
            arguments << "--csv" << path("old.csv") << "--json" << path("old.csv");
        } else if (fault == "dot") {
            arguments << "--csv" << path("old.csv") << "--json" << dir.path() + "/./old.csv";
        } else if (fault == "link") {
            QVERIFY(QFile::link(path("old.csv"), path("link.json")));
            arguments << "--csv" << path("old.csv") << "--json" << path("link.json");
        } else if (fault == "short") {
            writeFile(
                path("h.csv"), QByteArray::fromStdString(table.substr(0, table.find("\n1912,"))));
        } else if (fault == "silent") {
            // A converter that waits an hour before its first frame.
            const QString port = startConverter(adsim, {"--settle-ms", "3600000"});
            QVERIFY(!port.isEmpty());
            arguments = QStringList {
                "--port", port, "--frames", "5", "--seconds", "1", "--json", path("r.json")};
        }
        Run run;
        if (fault == "full") {
            // Files past 8 blocks of 512 bytes cannot be written, as on a
            // full disk: the CSV with its DNL and INL columns is far longer.
            QProcess shell;
            shell.start("sh",
                {"-c", "trap '' XFSZ; ulimit -f 8; exec \"$@\"", "sh", ADCAPTURE_PATH, "--analyze",
                    path("h.csv"), "--csv", path("old.csv")});
            QVERIFY(shell.waitForFinished(60000));
            run = {shell.exitCode(), shell.readAllStandardOutput(), shell.readAllStandardError()};
        } else {
            run = runCapture(arguments);
        }
        adsim.kill();
        adsim.waitForFinished();
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(message.toLocal8Bit()), run.err.constData());
        QFile old(path("old.csv"));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("older"));
        if (fault == "fifo")
            QVERIFY(QFileInfo(path("fifo")).isFile() == false);
        if (fault == "full")
            QVERIFY(run.out.contains("not written") && run.out.contains("result   INCOMPLETE"));
        if (fault == "silent") {
            QVERIFY(run.out.contains("result   FAIL"));
            QCOMPARE(readJsonFile(path("r.json"))["no_data"].toBool(), true);
        }
    }

    // A histogram saved as the window saves it reads back to the same figures.
    void analyzeSavedHistogram()
    {
        QTemporaryDir dir;
        const auto counts = sineHistogram(1e6, 2500);
        const CodeDensityResult shown = analyseCodeDensity(counts);
        QFile csv(dir.filePath("h.csv"));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write(QByteArray::fromStdString(histogramCsv(counts, &shown)));
        csv.close();

        const Run run = runCapture({"--analyze", csv.fileName(), "--json", dir.filePath("r.json"),
            "--max-dnl", "2", "--max-missing", "1"});
        QCOMPARE(run.status, 0);
        const QJsonObject report = readJsonFile(dir.filePath("r.json"));
        QCOMPARE(report["input_file"].toString(), csv.fileName());
        const QJsonObject analysis = report["analysis"].toObject();
        const QJsonObject linearity = analysis["linearity"].toObject();
        QCOMPARE(analysis["kind"].toString(), "sine");
        QCOMPARE(analysis["samples"].toDouble(), double(shown.samples));
        QCOMPARE(linearity["missing_codes"].toArray(), QJsonArray {2500});
        const LinearityFigures &l = shown.linearity;
        QCOMPARE(linearity["dnl_max_lsb"]["value"].toDouble(), l.dnlMax.value);
        QCOMPARE(linearity["dnl_max_lsb"]["code"].toInt(), l.dnlMax.code);
        QCOMPARE(linearity["inl_end_point_min_lsb"]["value"].toDouble(), l.inlEndPointMin.value);
        QCOMPARE(linearity["inl_best_fit_max_lsb"]["value"].toDouble(), l.inlBestFitMax.value);
        QCOMPARE(linearity["sine_amplitude_codes"].toDouble(), l.sineAmplitude);
        QCOMPARE(linearity["overdrive_low_lsb"].toDouble(), *l.overdriveLowLsb);
        QCOMPARE(report["limits"].toArray().size(), 2);
        QVERIFY(report["pass"].toBool());
    }

    // The dynamic figures of a saved sample record reach the report, the
    // summary and the limits; a record without a tone and a histogram fail
    // the limits, saying why.
    void analyzeSampleRecord_data()
    {
        QTest::addColumn<QString>("input"); // coherent, noncoherent, dc or histogram
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<double>("sinad"); // NaN: null
        QTest::addColumn<QString>("note"); // of the limit that fails

        // The quantiser's 1/12 LSB^2 and the harmonic at -70 dBc.
        const double sinad = 10 * std::log10(2e6 / (1.0 / 12 + 2e6 * 1e-7));
        QTest::newRow("coherent, no limits: no verdict")
            << "coherent" << QStringList {} << 3 << sinad << QString();
        QTest::newRow("coherent") << "coherent"
                                  << QStringList {"--min-enob", "11", "--max-thd", "-65"} << 0
                                  << sinad << QString();
        QTest::newRow("not coherent, in Hz")
            << "noncoherent" << QStringList {"--sample-rate", "100000", "--min-sfdr", "71"} << 1
            << sinad << QString();
        QTest::newRow("dc record")
            << "dc" << QStringList {"--min-enob", "1"} << 1 << qQNaN() << "no tone";
        QTest::newRow("histogram")
            << "histogram" << QStringList {"--min-sinad", "1"} << 1 << qQNaN() << "histogram";
        QTest::newRow("ramp record") << "ramp" << QStringList {"--min-enob", "1"} << 1 << qQNaN()
                                     << "undetermined: the record is a ramp, not a sine";
    }
    void analyzeSampleRecord()
    {
        QFETCH(QString, input);
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(double, sinad);
        QFETCH(QString, note);
        constexpr double coherentFrequency = 4093.0 / 65536;
        constexpr double frequency = 0.0623456;
        QTemporaryDir dir;
        QString path = dir.filePath("record.npy");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (input == "histogram") {
            file.write(QByteArray::fromStdString(histogramCsv(sineHistogram(1e6, 0))));
        } else if (input == "ramp") {
            std::vector<std::uint16_t> ramp(65536);
            for (std::size_t n = 0; n < ramp.size(); ++n)
                ramp[n] = std::uint16_t(n % 4096);
            file.write(QByteArray::fromStdString(sampleRecordNpy(ramp)));
        } else {
            const auto record = input == "dc"
                ? sineRecord(0.01, 0)
                : sineRecord(input == "coherent" ? coherentFrequency : frequency);
            file.write(QByteArray::fromStdString(sampleRecordNpy(record)));
        }
        file.close();
        const Run run = runCapture(
            QStringList {"--analyze", path, "--json", dir.filePath("r.json")} + options);
        QCOMPARE(run.status, status);
        const QJsonObject report = readJsonFile(dir.filePath("r.json"));
        QCOMPARE(run.out.endsWith("  result   MEASURED (no limits)\n"), status == 3);
        if (std::isnan(sinad)) {
            QVERIFY(report["sinad_db"].isNull() && report["enob_fit_bits"].isNull());
            const QJsonObject limit = report["limits"][0].toObject();
            QVERIFY(!limit["pass"].toBool() && limit["value"].isNull());
            QVERIFY2(limit["note"].toString().contains(note), qPrintable(limit["note"].toString()));
            QVERIFY(run.out.contains("not measured (" + limit["note"].toString().toUtf8()));
            // The ramp's 16 sweeps are whole: its linearity comes from all of them.
            const QJsonValue linearity = report["analysis"]["linearity"];
            QCOMPARE(linearity["whole_sweeps"].toInt(-1), input == "ramp" ? 16 : -1);
            QCOMPARE(linearity["samples_left_out"].toInt(-1), input == "ramp" ? 0 : -1);
            return;
        }
        QVERIFY(std::abs(report["sinad_db"].toDouble() - sinad) < 0.2);
        QVERIFY(std::abs(report["thd_db"].toDouble() + 70) < 0.5);
        QVERIFY(std::abs(report["enob_fit_bits"].toDouble() - (sinad - 1.76) / 6.02) < 0.1);
        QVERIFY(run.out.contains("  SINAD "));
        if (input == "coherent") {
            QCOMPARE(report["frequency_unit"].toString(), "cycles/sample");
            QVERIFY(std::abs(report["signal_frequency"].toDouble() - coherentFrequency) < 1e-9);
            QVERIFY(report["coherent_suggestion"].isNull());
            QCOMPARE(report["dynamic"]["window"].toString(), "rectangular");
        } else {
            QCOMPARE(report["frequency_unit"].toString(), "Hz");
            QVERIFY(std::abs(report["signal_frequency"].toDouble() - frequency * 1e5) < 1e-3);
            QCOMPARE(report["coherent_suggestion"]["cycles"].toInt(), 4085);
            QCOMPARE(report["dynamic"]["window"].toString(), "blackman-harris-7");
            // SFDR 70 dB, the harmonic: below the 71 asked for.
            QCOMPARE(report["limits"][0]["name"].toString(), "min_sfdr");
            QVERIFY(!report["limits"][0]["pass"].toBool());
        }
    }

    // A record's sidecar gives the rate unless --sample-rate names one, and
    // the summary says where it came from; a malformed one is refused.
    void analyzeWithSidecar_data()
    {
        QTest::addColumn<QByteArray>("sidecar");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<bool>("fromSidecar");
        QTest::newRow("rate") << QByteArray("{\"sample_rate_hz\": 1000}") << QStringList() << 3
                              << "Hz" << true;
        QTest::newRow("rate given") << QByteArray("{\"sample_rate_hz\": 1000}")
                                    << QStringList {"--sample-rate", "500"} << 3 << "Hz" << false;
        QTest::newRow("no rate") << QByteArray("{\"sample_rate_hz\": null}") << QStringList() << 3
                                 << "cycles/sample" << false;
        QTest::newRow("malformed") << QByteArray("{") << QStringList() << 2 << QString() << false;
    }
    void analyzeWithSidecar()
    {
        QFETCH(QByteArray, sidecar);
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(QString, unit);
        QFETCH(bool, fromSidecar);
        QTemporaryDir dir;
        const QString path = dir.filePath("record.npy");
        const Run run = analyzeRecord(dir, sineRecord(0.0623456), sidecar, options);
        QCOMPARE(run.status, status);
        if (status == 2) {
            QCOMPARE(run.err.count('\n'), 1);
            QVERIFY2(run.err.contains("record.npy.json: not a sample record's sidecar"),
                run.err.constData());
            return;
        }
        QCOMPARE(readJsonFile(dir.filePath("r.json"))["frequency_unit"].toString(), unit);
        QCOMPARE(run.out.contains("sample rate 1000 Hz from " + path.toLocal8Bit() + ".json"),
            fromSidecar);
    }

    // Of two tones the larger is the fundamental unless --fundamental names
    // the other, with the rate from the command line or the record's
    // sidecar; a record without either is refused.
    void namedFundamental_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("sidecar");
        QTest::addColumn<int>("status");
        QTest::addColumn<double>("frequency"); // Hz of the fundamental taken
        const QByteArray rate("{\"sample_rate_hz\": 1000}");
        QTest::newRow("the larger")
            << QStringList {"--sample-rate", "1000"} << QByteArray() << 3 << 62.3456;
        QTest::newRow("the smaller named") << QStringList {"--sample-rate", "1000", "--fundamental",
            "171.23"} << QByteArray() << 3 << 171.2345;
        QTest::newRow("rate from the sidecar")
            << QStringList {"--fundamental", "171.2"} << rate << 3 << 171.2345;
        QTest::newRow("beyond the sidecar's rate")
            << QStringList {"--fundamental", "600"} << rate << 2 << 0.0;
        QTest::newRow("no rate") << QStringList {"--fundamental", "171"} << QByteArray() << 2
                                 << 0.0;
    }
    void namedFundamental()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, sidecar);
        QFETCH(int, status);
        QFETCH(double, frequency);
        QTemporaryDir dir;
        std::vector<std::uint16_t> codes(1 << 16);
        for (std::size_t n = 0; n < codes.size(); ++n) {
            const double t = 2 * std::numbers::pi * double(n);
            codes[n] = std::uint16_t(
                std::lround(2048 + 1500 * std::sin(0.0623456 * t) + 300 * std::sin(0.1712345 * t)));
        }
        const Run run = analyzeRecord(dir, codes, sidecar, options);
        QCOMPARE(run.status, status);
        if (status == 2) {
            QCOMPARE(run.err.count('\n'), 1);
            QVERIFY2(run.err.contains("--fundamental: "), run.err.constData());
            return;
        }
        const QJsonObject report = readJsonFile(dir.filePath("r.json"));
        QVERIFY2(std::abs(report["signal_frequency"].toDouble() - frequency) < 0.01,
            qPrintable(QString::number(report["signal_frequency"].toDouble())));
    }

    // Frames from the simulated converter with known faults, read through a
    // pseudo-terminal.
    void captureFromConverter_data()
    {
        QTest::addColumn<QStringList>("limits");
        QTest::addColumn<int>("status");

        QTest::newRow("missing codes fail") << QStringList {"--max-missing", "0"} << 1;
        QTest::newRow("within limits") << QStringList {"--max-missing", "2", "--max-dnl", "1"} << 0;
    }
    void captureFromConverter()
    {
        QFETCH(QStringList, limits);
        QFETCH(int, status);
        constexpr int frames = 40000;
        QProcess adsim;
        const QString port
            = startConverter(adsim, {"--pattern", "ramp", "--fast", "--missing", "700,3000"});
        QVERIFY(!port.isEmpty());
        QTemporaryDir dir;
        const Run run = runCapture(QStringList {"--port", port, "--frames", QString::number(frames),
                                       "--kind", "ramp", "--json", dir.filePath("r.json"), "--csv",
                                       dir.filePath("h.csv"), "--samples", dir.filePath("s.npy")}
            + limits);
        adsim.terminate();
        adsim.waitForFinished(10000);
        QCOMPARE(run.status, status);
        QVERIFY(run.err.isEmpty()); // no terminal: no progress line
        QVERIFY(run.out.contains(status ? "result   FAIL" : "result   PASS"));

        const QJsonObject report = readJsonFile(dir.filePath("r.json"));
        QCOMPARE(report["frames"].toInt(), frames);
        QCOMPARE(report["stop_reason"].toString(), "frames");
        QCOMPARE(report["port"].toString(), port);
        QCOMPARE(report["exit_status"].toInt(), status);
        QVERIFY(QDateTime::fromString(report["start_time"].toString(), Qt::ISODateWithMs)
            <= QDateTime::fromString(report["end_time"].toString(), Qt::ISODateWithMs));
        const QJsonObject linearity = report["analysis"]["linearity"].toObject();
        QCOMPARE(linearity["missing_codes"].toArray(), (QJsonArray {700, 3000}));
        for (const QJsonValue limit : report["limits"].toArray())
            QCOMPARE(limit["pass"].toBool(), status == 0);

        QFile csv(dir.filePath("h.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        std::istringstream text(csv.readAll().toStdString());
        const HistogramCsvReading table = readHistogramCsv(text);
        QVERIFY(table.ok());
        QCOMPARE(std::accumulate(table.counts.begin(), table.counts.end(), std::uint64_t(0)),
            std::uint64_t(frames));
        // The record's rate and first time beside it.
        const QJsonObject sidecar = readJsonFile(dir.filePath("s.npy.json"));
        QVERIFY(sidecar["sample_rate_hz"].toDouble() > 0);
        QCOMPARE(sidecar["samples"].toInt(), frames);
        QVERIFY(QDateTime::fromString(sidecar["first_sample_time"].toString(), Qt::ISODateWithMs)
                    .isValid());
    }

    // SIGTERM mid-capture: what was read is written, marked as interrupted,
    // and no temporary file is left beside it.
    void interruptedCapture()
    {
        QProcess adsim;
        const QString port = startConverter(adsim, {"--pattern", "sine", "--rate", "20000"});
        QVERIFY(!port.isEmpty());
        QTemporaryDir dir;
        QProcess capture;
        capture.start(QStringLiteral(ADCAPTURE_PATH),
            {"--port", port, "--frames", "100000000", "--json", dir.filePath("r.json"), "--csv",
                dir.filePath("h.csv")});
        QVERIFY(capture.waitForStarted());
        QTest::qWait(1500);
        capture.terminate();
        QVERIFY(capture.waitForFinished(10000));
        adsim.terminate();
        adsim.waitForFinished(10000);
        QCOMPARE(capture.exitStatus(), QProcess::NormalExit);
        QCOMPARE(capture.exitCode(), 130);

        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), (QStringList {"h.csv", "r.json"}));
        const QJsonObject report = readJsonFile(dir.filePath("r.json"));
        QVERIFY(report["interrupted"].toBool());
        QCOMPARE(report["stop_reason"].toString(), "interrupted");
        QVERIFY(!report["pass"].toBool());
        QVERIFY(report["frames"].toInt() > 100);
    }

    // The pump reads the clock less often while characters come fast; once
    // they come slowly, an event posted must still be handled within a few
    // reads, not after as many yields as the fast stream allowed a read.
    void pumpAfterFastYields()
    {
        PacedEventPump pump;
        for (int i = 0; i < 2'000'000; ++i)
            pump.yield();
        bool handled = false;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&handled] { handled = true; }, Qt::QueuedConnection);
        int yields = 0;
        for (; !handled && yields < 4000; ++yields) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
            pump.yield();
        }
        QVERIFY(handled);
        QVERIFY2(yields <= 1100, qPrintable(QString::number(yields)));
    }
};

QTEST_GUILESS_MAIN(TestAdcapture)
#include "tst_adcapture.moc"

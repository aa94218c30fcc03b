// Every limit of the catalog, end to end: the command line, the limits file,
// the check, the JSON report, the JUnit file, the results database and the lot
// report all name it, and the figure it holds, from its one row. A new row is
// covered here without a line of test.

#include "CaptureOptions.h"
#include "CaptureReport.h"
#include "CodeDensityAnalysis.h"
#include "DynamicAnalysis.h"
#include "JUnitReport.h"
#include "LimitCheck.h"
#include "LimitsFile.h"
#include "LotSummary.h"
#include "ReportHtml.h"
#include "ResultRecord.h"
#include "ResultsDatabase.h"
#include "SweptRecord.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <numbers>
#include <random>

namespace {

// A ramp histogram of 100 hits a code, one wide code and one missing.
std::vector<std::uint64_t> rampCounts()
{
    std::vector<std::uint64_t> counts(4096, 100);
    counts[1000] = 150;
    counts[2000] = 0;
    return counts;
}

std::vector<std::uint64_t> dcCounts()
{
    std::vector<std::uint64_t> counts(4096);
    counts[2047] = 250, counts[2048] = 500, counts[2049] = 250;
    return counts;
}

// A coherent sine of 4096 samples with a -70 dBc third harmonic, quantised.
std::vector<std::uint16_t> sineRecord()
{
    std::vector<std::uint16_t> codes(4096);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const double phase = 2 * std::numbers::pi * 67 * double(i) / double(codes.size());
        const double value = 2047.5 + 2000 * std::sin(phase)
            + 2000 * std::pow(10, -70.0 / 20) * std::sin(3 * phase);
        codes[i] = std::uint16_t(std::lround(value));
    }
    return codes;
}

// A grounded input: codes about mid-scale with half an LSB of noise.
std::vector<std::uint16_t> groundedRecord()
{
    std::mt19937 generator(17);
    std::normal_distribution<double> noise(2048, 0.5);
    std::vector<std::uint16_t> codes(4096);
    for (std::uint16_t &code : codes)
        code = std::uint16_t(std::lround(noise(generator)));
    return codes;
}

// The inputs that measure a figure of each source.
struct MeasuredBoard
{
    CodeDensityResult codeDensity;
    DynamicResult dynamic;
    std::vector<std::uint16_t> record;
};

MeasuredBoard boardFor(FigureSource source)
{
    MeasuredBoard board;
    if (source == FigureSource::Dynamic || source == FigureSource::Spectrum) {
        board.record = sineRecord();
        board.codeDensity = analyseCodeDensity(countsOf(board.record), {TestKind::Sine, {}, 0.5});
        DynamicOptions options;
        options.sampleRate = 1e6; // the noise density needs one
        board.dynamic = analyseDynamic(board.record, options);
    } else if (source == FigureSource::DcNoise) {
        board.codeDensity = analyseCodeDensity(dcCounts(), {TestKind::Dc, {}, 0.5});
    } else {
        board.codeDensity = analyseCodeDensity(rampCounts(), {TestKind::Ramp, {}, 0.5});
    }
    return board;
}

// A limit the figure meets, or one it just misses.
double limitFor(const LimitDefinition &limit, double value, bool passing)
{
    const double margin = limit.whole() ? 1 : 0.01 + 0.01 * std::abs(value);
    const bool above = passing == limit.upper();
    const double chosen = limit.whole() ? std::round(value) + (above ? 0 : -margin)
                                        : value + (above ? margin : -margin);
    return std::clamp(chosen, limit.low, limit.high);
}

QString limitText(const LimitDefinition &limit, double value)
{
    return limit.whole() ? QString::number(qint64(value)) : QString::number(value, 'g', 17);
}

} // namespace

class tst_StationCatalog : public QObject
{
    Q_OBJECT

private slots:
    void catalogRowsAreWhole()
    {
        QStringList keys;
        for (const FigureDefinition &figure : figureCatalog()) {
            QVERIFY2(!keys.contains(QLatin1String(figure.key)), figure.key.data());
            keys << QLatin1String(figure.key);
            QVERIFY(figure.value && !figure.label.empty());
        }
        for (const LimitDefinition &limit : limitCatalog()) {
            QVERIFY2(findFigure(limit.figureKey), limit.figureKey.data());
            QCOMPARE(findLimit(limit.option), &limit);
            QVERIFY(limit.low < limit.high && !limit.range.empty());
            QVERIFY(QString::fromStdString(limitHelpText()).contains(QLatin1String(limit.option)));
        }
    }

    // A ramp captured part-way through a sweep gives no INL: its INL limit
    // fails with the reason.
    void partialSweepFailsTheInlLimit()
    {
        std::vector<std::uint64_t> counts(4096, 300);
        std::fill(counts.begin(), counts.begin() + 1639, 400);
        const CodeDensityResult result = analyseCodeDensity(counts, {TestKind::Ramp, {}, 0.5});
        LimitSet limits;
        limits.set(*findLimit("--max-inl"), 4096);
        const LimitOutcome outcome = checkLimits(limits, {result, DynamicResult()}).front();
        QVERIFY(!outcome.pass && outcome.note.starts_with("a partial sweep"));
    }

    // The spectrum's limits on a grounded input without a sample rate: SNRFS
    // and the spurs hold there, SNR does not, the density needs the rate.
    void spectrumLimitsWithoutTone_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<double>("limit");
        QTest::addColumn<bool>("passing");
        QTest::addColumn<QString>("note");
        QTest::newRow("SNRFS passes") << "min_snrfs" << 60.0 << true << "";
        QTest::newRow("SNRFS fails") << "min_snrfs" << 90.0 << false << "";
        QTest::newRow("spur passes") << "max_spur" << -80.0 << true << "";
        QTest::newRow("density without a rate")
            << "max_noise_density" << 0.0 << false << "no sample rate known";
        QTest::newRow("SNR") << "min_sinad" << 0.0 << false << "no tone stands out of the noise";
    }
    void spectrumLimitsWithoutTone()
    {
        QFETCH(QString, key);
        QFETCH(double, limit);
        QFETCH(bool, passing);
        QFETCH(QString, note);
        const std::vector<std::uint16_t> record = groundedRecord();
        const CodeDensityResult histogram
            = analyseCodeDensity(countsOf(record), {TestKind::Dc, {}, 0.5});
        const DynamicResult dynamic = analyseDynamic(record, {}); // no sample rate
        LimitSet limits;
        limits.set(*findLimit(key.toStdString()), limit);
        const LimitOutcome outcome = checkLimits(limits, {histogram, dynamic}).front();
        QVERIFY2(outcome.note.starts_with(note.toStdString()), outcome.note.c_str());
        QCOMPARE(outcome.value.has_value(), note.isEmpty());
        QCOMPARE(outcome.pass, passing);
    }

    // Noise limits and the spectrum's go together in one limits file.
    void spectrumLimitsFitWithNoise()
    {
        const StationResult<LimitsFile> file = parseLimitsFile("l.toml",
            "name = \"dc\"\nrevision = \"1\"\nkind = \"dc\"\n[limits]\nmax_noise = 0.7\n"
            "min_snrfs = 60\nmax_spur = -80\n");
        QVERIFY2(file, file.reason().c_str());
    }

    void limitEndToEnd_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("passing");
        for (const LimitDefinition &limit : limitCatalog()) {
            const QString key = QString::fromLatin1(limit.key);
            QTest::addRow("%s passes", limit.key.data()) << key << true;
            QTest::addRow("%s fails", limit.key.data()) << key << false;
        }
    }
    void limitEndToEnd()
    {
        QFETCH(QString, key);
        QFETCH(bool, passing);
        const LimitDefinition &limit = *findLimit(key.toStdString());
        const FigureDefinition &figure = limit.figure();
        const MeasuredBoard board = boardFor(figure.source);
        const FigureInputs inputs {board.codeDensity, board.dynamic};
        QVERIFY2(
            figureUnavailable(figure, inputs).empty(), figureUnavailable(figure, inputs).c_str());
        const double measured = *figure.value(inputs);
        const double value = limitFor(limit, measured, passing);
        const QString text = limitText(limit, value);

        // The command line: the option takes the value, and refuses one out of range.
        CaptureOptions options;
        QCOMPARE(options.parse({"adcapture", QLatin1String(limit.option), text}), QString());
        QCOMPARE(options.limits.value(limit), value);
        const QString refused = options.parse(
            {"adcapture", QLatin1String(limit.option), QString::number(limit.high + 1)});
        QVERIFY2(refused.contains(QLatin1String(limit.range)), qPrintable(refused));

        // The limits file: the key takes the same value.
        const std::string contents = "name = \"catalog\"\nrevision = \"1\"\n[limits]\n"
            + std::string(limit.key) + " = " + text.toStdString() + "\n";
        const StationResult<LimitsFile> file = parseLimitsFile("l.toml", contents);
        QVERIFY2(file, file.reason().c_str());
        QCOMPARE(file->limits.value(limit), value);

        // The check holds the figure against it.
        CaptureReport report;
        report.result = board.codeDensity;
        report.dynamic = board.dynamic;
        report.recordSamples = board.record.size();
        report.startTime = report.endTime = QDateTime::currentDateTime();
        report.inputFile = QStringLiteral("board.npy");
        report.identity = {"SN-1", "LOT-1", "", "", "bench"};
        report.limits = checkLimits(file->limits, inputs);
        QCOMPARE(report.limits.size(), 1u);
        const LimitOutcome &outcome = report.limits.front();
        QCOMPARE(outcome.name, limit.key);
        QCOMPARE(outcome.value, measured);
        QCOMPARE(outcome.pass, passing);

        // The JSON report names the limit and its figure by their keys.
        const QJsonObject json = QJsonDocument::fromJson(report.toJson()).object();
        const QJsonObject jsonLimit = json["limits"].toArray().first().toObject();
        QCOMPARE(jsonLimit["name"].toString(), key);
        QCOMPARE(jsonLimit["figure"].toString(), QLatin1String(limit.figureKey));
        QCOMPARE(jsonLimit["pass"].toBool(), passing);
        QCOMPARE(json["figures"][QLatin1String(limit.figureKey)].toDouble(), measured);

        // The JUnit file has a case of that name, failed when the limit is.
        const QByteArray junit = junitReport(report);
        QVERIFY(junit.contains("<testcase name=\"" + key.toUtf8() + "\""));
        QCOMPARE(junit.contains("<failure"), !passing);

        // The database keeps the figure and the limit's direction.
        QTemporaryDir dir;
        DatabaseUrl url;
        url.path = dir.filePath("r.sqlite");
        ResultsDatabase database;
        QCOMPARE(database.open(url), QString());
        QCOMPARE(database.insert(resultRecord(report)).error, QString());
        const LoadResult loaded = database.load();
        QCOMPARE(loaded.records.size(), 1u);
        const TestRecord &record = loaded.records.front();
        QCOMPARE(record.limits.size(), 1u);
        QCOMPARE(record.limits.front().figure, limit.figureKey);
        QCOMPARE(record.limits.front().upper, limit.upper());
        const auto stored
            = std::ranges::find(record.figures, limit.figureKey, &RecordedFigure::name);
        QVERIFY(stored != record.figures.end());
        QCOMPARE(stored->value, measured);

        // The lot report charts it under its label, with its limit.
        const std::vector<LotSummary> lots = summarizeLots(loaded.records);
        QCOMPARE(lots.size(), 1u);
        const auto statistics = std::ranges::find(
            lots.front().figures, std::string(limit.figureKey), &FigureStatistics::name);
        QVERIFY(statistics != lots.front().figures.end());
        QCOMPARE(limit.upper() ? statistics->upperLimit : statistics->lowerLimit, value);
        const std::string html = reportHtml(lots, {});
        QVERIFY2(html.find(std::string(figure.label)) != std::string::npos, figure.key.data());
    }
};

QTEST_GUILESS_MAIN(tst_StationCatalog)
#include "tst_station_catalog.moc"

#include "GuiTestMain.h"

#include "AnalysisWindow.h"
#include "ArrivalRate.h"
#include "AxisScale.h"
#include "CodeCurvePlot.h"
#include "CodeDensityAnalysis.h"
#include "DynamicAnalysis.h"
#include "FrequencyPlot.h"
#include "LimitVerdict.h"
#include "LimitVerdictPanel.h"
#include "NoiseHistogramPlot.h"
#include "ResolutionNotes.h"
#include "SampleRateField.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <numbers>

namespace {

// A ramp's histogram: 1000 hits a code, the end codes wider, code 1000
// missing and code 2000 wide by 0.3 LSB.
std::vector<std::uint64_t> rampCounts()
{
    std::vector<std::uint64_t> counts(4096, 1000);
    counts.front() = counts.back() = 5000;
    counts[1000] = 0;
    counts[2000] = 1300;
    return counts;
}

// A DC input's Gaussian noise of `sigma` LSB about code 2048.3, 100000 samples.
std::vector<std::uint64_t> noiseCounts(double sigma)
{
    std::vector<std::uint64_t> counts(4096, 0);
    for (int code = 2000; code < 2100; ++code) {
        const double z0 = (code - 0.5 - 2048.3) / sigma, z1 = (code + 0.5 - 2048.3) / sigma;
        counts[code] = std::uint64_t(std::lround(
            1e5 * (std::erf(z1 / std::numbers::sqrt2) - std::erf(z0 / std::numbers::sqrt2)) / 2));
    }
    return counts;
}

bool isRoundStep(double step)
{
    const double mantissa = step / std::pow(10, std::floor(std::log10(step) + 1e-9));
    return std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9
        || std::abs(mantissa - 5) < 1e-9;
}

} // namespace

// The analysis window's verdict on a limits file, its axes and its rate.
class AnalysisVerdictTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        QSettings().remove(LimitVerdictPanel::settingsKey);
        QSettings().remove(SampleRateField::settingsKey);
    }

    // Each limit's verdict stands beside its figure, as adcapture decides:
    // a limit inside the figure's uncertainty says so, a figure the inputs
    // do not give fails with the reason, and one line sums them up.
    void verdictFromLimitsFileAndResult()
    {
        const CodeDensityResult result = analyseCodeDensity(rampCounts(), {TestKind::Ramp, {}});
        QVERIFY(result.hasLinearity() && result.linearity.dnlUncertainty99);
        const double worst
            = std::max(-result.linearity.dnlMin.value, result.linearity.dnlMax.value);
        const double spread = *result.linearity.dnlUncertainty99;
        QTemporaryDir dir;
        const QString path = dir.filePath("final.toml");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("name = \"final\"\nrevision = \"B\"\n[limits]\nmax_dnl = %1\n"
                                  "max_missing = 0\nmin_enob = 9\n")
                       .arg(worst + spread / 2, 0, 'f', 6)
                       .toUtf8());
        file.close();

        LimitVerdictPanel panel;
        QVERIFY(panel.loadLimits(path));
        panel.showVerdict(result, DynamicResult());
        QCOMPARE(panel.outcomes().size(), 3u);
        const LimitVerdictRow dnl = limitVerdictRow(panel.outcomes()[0]);
        QCOMPARE(dnl.figure, QStringLiteral("Worst |DNL|"));
        QVERIFY2(dnl.value.endsWith(" LSB") && dnl.value.contains(" ±"), qPrintable(dnl.value));
        QVERIFY(dnl.limit.startsWith("≤ ") && dnl.limit.endsWith("(max-dnl)"));
        QCOMPARE(dnl.verdict, QStringLiteral("PASS, within the uncertainty: a repeat may differ"));
        const LimitVerdictRow missing = limitVerdictRow(panel.outcomes()[1]);
        QCOMPARE(missing.value, QStringLiteral("1"));
        QCOMPARE(missing.verdict, QStringLiteral("FAIL"));
        const LimitVerdictRow enob = limitVerdictRow(panel.outcomes()[2]);
        QVERIFY2(enob.value.startsWith("not measured (") && !enob.pass, qPrintable(enob.value));
        QCOMPARE(overallVerdict(panel.outcomes(), true),
            QStringLiteral("FAIL: 2 of 3 limits fail (max-missing, min-enob); 1 verdict within "
                           "the uncertainty: a repeat may differ"));
        QVERIFY(panel.verdictLine().contains("FAIL: 2 of 3"));
        QVERIFY(panel.tableText().contains("not measured ("));
        QCOMPARE(overallVerdict(panel.outcomes(), false),
            QStringLiteral("INCOMPLETE: no data, the histogram is empty"));
        QCOMPARE(overallVerdict({panel.outcomes()[0]}, true),
            QStringLiteral("PASS: the limit holds; 1 verdict within the uncertainty: a repeat "
                           "may differ"));

        // The next window reads the same file again, and draws the DNL limit.
        AnalysisWindow window;
        QCOMPARE(window.verdictPanel().limitsFile()->revision, std::string("B"));
        window.refresh(rampCounts(), false);
        QTRY_VERIFY(window.verdictPanel().verdictLine().contains("FAIL"));
    }

    // A file that cannot be read is one line naming the line at fault, and
    // the limits in force stay.
    void badLimitsFileChangesNothing()
    {
        QTemporaryDir dir;
        const auto write = [&dir](const char *name, const char *text) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::WriteOnly))
                file.write(text);
            return file.fileName();
        };
        const QString good
            = write("good.toml", "name = \"a\"\nrevision = \"1\"\n[limits]\nmax_dnl = 1\n");
        const QString bad
            = write("bad.toml", "name = \"a\"\nrevision = \"1\"\n[limits]\nmax_dnll = 1\n");
        LimitVerdictPanel panel;
        QVERIFY(panel.loadLimits(good));
        QVERIFY(!panel.loadLimits(bad));
        QVERIFY2(panel.message().startsWith("Limits not read: " + bad + ":4:"),
            qPrintable(panel.message()));
        QVERIFY(!panel.message().contains('\n'));
        QVERIFY(panel.limitsFile()->path.ends_with("good.toml"));
        QCOMPARE(QSettings().value(LimitVerdictPanel::settingsKey).toString(),
            QString::fromStdString(panel.limitsFile()->path));
        QVERIFY(panel.loadLimits(good));
        QCOMPARE(panel.message(), QString());
    }

    // Round ticks: the ends on a 1-2-5 step, the values inside.
    void ticks_data()
    {
        QTest::addColumn<double>("extent");
        QTest::addColumn<double>("limit");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::newRow("DNL 22.147") << 22.147 << 0.0 << -30.0 << 30.0;
        QTest::newRow("INL 16.137") << 16.137 << 0.0 << -20.0 << 20.0;
        QTest::newRow("1.100") << 1.1 << 0.0 << -1.5 << 1.5;
        QTest::newRow("small, at least 0.5") << 0.01 << 0.0 << -0.6 << 0.6;
        QTest::newRow("limit above the curve") << 0.2 << 0.9 << -1.0 << 1.0;
    }
    void ticks()
    {
        QFETCH(double, extent);
        QFETCH(double, limit);
        QFETCH(double, low);
        QFETCH(double, high);
        std::vector<double> values(4096, 0);
        values[5] = -extent;
        values[4000] = extent / 2;
        const AxisScale axis = CodeCurvePlot::valueAxis(
            values, 1, 4094, limit > 0 ? std::optional(limit) : std::nullopt, std::optional(0.05));
        QVERIFY(isRoundStep(axis.step));
        QCOMPARE(axis.low, low);
        QCOMPARE(axis.high, high);
        QCOMPARE(axis.ticks.front(), axis.low);
        QCOMPARE(axis.ticks.back(), axis.high);
        QVERIFY(std::ranges::find(axis.ticks, 0.0) != axis.ticks.end());

        const AxisScale codes = ticksWithin(0, 4095, 6);
        QCOMPARE(codes.ticks, (std::vector<double> {0, 1000, 2000, 3000, 4000}));
        QCOMPARE(
            ticksWithin(100, 355, 6).ticks, (std::vector<double> {100, 150, 200, 250, 300, 350}));
        QCOMPARE(axisScale(-1.5, 1.5, 1, 6).decimals(), 1);
        QCOMPARE(axisScale(0, 0.12, 0, 6).decimals(), 2);
    }

    // The spectrum's scale runs from full scale to the noise floor less the
    // margin, and a tone's peak reads its level through any window.
    void spectrumRanging()
    {
        DynamicResult result;
        result.spectrumDbfs.assign(513, -110);
        result.spectrumDbfs[40] = -6;
        result.noiseFloorDbfs = -110;
        const AxisScale axis = FrequencyPlot::levelAxis(result, 4);
        QCOMPARE(axis.high, 0.0);
        QVERIFY(axis.low <= -110 + 4 - FrequencyPlot::floorMargin);
        QVERIFY(axis.low > -110 + 4 - FrequencyPlot::floorMargin - axis.step);
        QVERIFY(isRoundStep(axis.step));

        // Not coherent: 1000.37 cycles in 65536 samples, through a window.
        std::vector<std::uint16_t> codes(65536);
        for (std::size_t i = 0; i < codes.size(); ++i)
            codes[i] = std::uint16_t(std::lround(
                2047.5 + 2000 * std::sin(2 * std::numbers::pi * 1000.37 * double(i) / 65536)));
        const DynamicResult sine = analyseDynamic(codes, {});
        QVERIFY(sine.ok && sine.window != SpectrumWindow::Rectangular);
        const double gain = FrequencyPlot::windowGainDb(sine);
        QVERIFY(gain > 3 && gain < 5);
        const double peak = sine.spectrumDbfs[sine.fundamental.bin] + gain;
        QVERIFY2(std::abs(peak - sine.fundamental.dbfs) < 1, qPrintable(QString::number(peak)));
        result.window = SpectrumWindow::Rectangular;
        QCOMPARE(FrequencyPlot::windowGainDb(result), 0.0);
    }

    // The arrival rate holds steady through a refresh timer's jitter, starts
    // afresh after RESET and keeps its value while nothing arrives.
    void arrivalRateIsSteady()
    {
        ArrivalRate rate;
        QVERIFY(!rate.rate());
        std::uint64_t total = 0;
        for (int second = 0; second <= 60; ++second) {
            const double late = second % 2 ? 0.2 : 0; // every other refresh late
            total = std::uint64_t(192 * (second + late));
            rate.add(second + late, total);
        }
        QVERIFY(std::abs(*rate.rate() - 192) < 1e-9);
        QVERIFY(rate.measuredOver() >= ArrivalRate::span
            && rate.measuredOver() < ArrivalRate::span + 1.5);
        rate.add(61, total);
        rate.add(70, total);
        QVERIFY(std::abs(*rate.rate() - 192) < 1e-9);
        rate.add(71, 10);
        QVERIFY(!rate.rate());
    }

    // An entered rate wins over the measured one and is remembered.
    void enteredRateIsRemembered()
    {
        SampleRateField field;
        QVERIFY(!field.rate());
        QVERIFY(field.description().contains("arrival rate"));
        field.setEnteredRate(1000);
        QCOMPARE(*field.rate(), 1000.0);
        QVERIFY(field.description().startsWith("entered"));
        SampleRateField next;
        QCOMPARE(*next.rate(), 1000.0);
    }

    // The noise plot spans +-5 sigma and every code hit, but a stray code far
    // out does not shrink the bars to hairs.
    void noiseHistogramSpan_data()
    {
        QTest::addColumn<int>("stray");
        QTest::newRow("Gaussian only") << -1;
        QTest::newRow("stray code near") << 2090;
        QTest::newRow("stray code far") << 3000;
        QTest::newRow("stray code at 0") << 0;
    }
    void noiseHistogramSpan()
    {
        QFETCH(int, stray);
        std::vector<std::uint64_t> counts = noiseCounts(3);
        if (stray >= 0)
            counts[stray] = 1;
        const CodeDensityResult r = analyseCodeDensity(counts, {TestKind::Dc, {}});
        const auto [first, last] = NoiseHistogramPlot::shownCodes(counts, r.meanCode, r.sigma);
        QVERIFY(first <= r.meanCode - 5 * r.sigma && last >= r.meanCode + 5 * r.sigma);
        QVERIFY(last - first <= 401);
        for (int code = 0; code < 4096; ++code) {
            if (counts[code] > 0 && std::abs(code - r.meanCode) < 199)
                QVERIFY2(code > first && code < last, qPrintable(QString::number(code)));
        }
    }

    // Each resolution figure of a DC test says how it comes about.
    void resolutionNotesGiveTheFormulae()
    {
        const CodeDensityResult result = analyseCodeDensity(noiseCounts(3), {TestKind::Dc, {}});
        const QStringList notes = resolutionNotes(result);
        QCOMPARE(notes.size(), 3);
        QVERIFY(notes[0].endsWith(QString::number(*result.dc.effectiveBits, 'f', 2)
            + " bits "
              "(the ENOB of the noise, N − log2(√12 σ), is 1.79 bits less)"));
        QVERIFY(notes[1].contains("N − log2(6.6 σ)")
            && notes[1].contains(QString::number(*result.dc.noiseFreeBits, 'f', 2) + " bits"));
        const double implied = 12 - std::log2(double(result.dc.peakToPeakCodes));
        QVERIFY(notes[2].contains(QString::number(implied, 'f', 2) + " bits"));
        QVERIFY(resolutionNotes(analyseCodeDensity(rampCounts(), {TestKind::Ramp, {}})).isEmpty());
    }
};

ADTEST_GUI_TEST_MAIN(AnalysisVerdictTest)
#include "tst_analysis_verdict.moc"

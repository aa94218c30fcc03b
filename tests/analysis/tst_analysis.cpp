#include "CodeDensityAnalysis.h"
#include "FigureText.h"
#include "HistogramCsv.h"
#include "RecordFileReader.h"
#include "SampleRecordFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <sstream>

using Counts = std::vector<std::uint64_t>;
Q_DECLARE_METATYPE(Counts)
Q_DECLARE_METATYPE(TestKind)

namespace {

constexpr int codes = 4096;

// Lower transition level of each code, 0..codes, for code widths 1 + dnl.
std::vector<double> transitionsOf(const std::vector<double> &dnl)
{
    std::vector<double> levels(dnl.size() + 1, 0.0);
    for (std::size_t k = 0; k < dnl.size(); ++k)
        levels[k + 1] = levels[k] + 1 + dnl[k];
    return levels;
}

// Expected hits per code for a ramp a little beyond codes 1..codes-2 or a sine with
// the given amplitude around mid-scale; the share outside goes to the end codes.
std::vector<double> expectedHits(
    TestKind kind, const std::vector<double> &dnl, double total, double amplitude = 2100)
{
    const std::vector<double> levels = transitionsOf(dnl);
    const double centre = levels.back() / 2;
    auto below = [&](double level) {
        if (kind == TestKind::Ramp)
            return std::clamp(
                (level - levels[1] + 0.5) / (levels[codes - 1] - levels[1] + 1), 0.0, 1.0);
        return std::acos(std::clamp((centre - level) / amplitude, -1.0, 1.0)) / std::numbers::pi;
    };
    std::vector<double> hits(codes);
    for (int k = 0; k < codes; ++k)
        hits[k] = total
            * ((k == codes - 1 ? 1.0 : below(levels[k + 1])) - (k == 0 ? 0.0 : below(levels[k])));
    return hits;
}

Counts rounded(const std::vector<double> &hits)
{
    Counts counts(hits.size());
    for (std::size_t k = 0; k < hits.size(); ++k)
        counts[k] = static_cast<std::uint64_t>(std::llround(hits[k]));
    return counts;
}

// A .npy file as numpy.save writes it: the values in the dtype `descr`.
QByteArray npyOf(const QString &descr, const QList<qint64> &values, const QString &shape = {},
    bool fortran = false)
{
    const int size = descr.right(1).toInt();
    QByteArray header = QStringLiteral("{'descr': '%1', 'fortran_order': %2, 'shape': %3, }")
                            .arg(descr, fortran ? "True" : "False",
                                shape.isEmpty() ? QString("(%1,)").arg(values.size()) : shape)
                            .toLatin1();
    header += QByteArray(63 - (10 + header.size()) % 64, ' ') + '\n';
    QByteArray bytes = QByteArray("\x93NUMPY\x01\x00", 8);
    bytes += char(header.size() & 0xFF);
    bytes += char(header.size() >> 8);
    bytes += header;
    for (const qint64 value : values) {
        for (int k = 0; k < size; ++k) {
            const int shift = 8 * (descr.startsWith('>') ? size - 1 - k : k);
            bytes += char(quint64(value) >> shift & 0xFF);
        }
    }
    return bytes;
}

// A perfect ramp of perSweep hits a code a sweep, captured for `sweeps`
// sweeps, with counting noise when a seed is given.
Counts partialRamp(double sweeps, std::uint64_t perSweep, std::uint64_t seed = 0)
{
    std::mt19937_64 random(seed);
    Counts counts(codes);
    for (int k = 0; k < codes; ++k) {
        counts[k] = perSweep * std::uint64_t(sweeps + (k < std::fmod(sweeps, 1) * codes));
        if (seed)
            counts[k] = std::poisson_distribution<std::uint64_t>(double(counts[k]))(random);
    }
    return counts;
}

// The hits of an ideal converter with 0.3 LSB of input noise for a sine
// around mid-scale, its phase sampled finely and evenly.
Counts noisySine(double amplitude, double total)
{
    constexpr int phases = 1 << 19;
    std::vector<double> hits(codes, 0.0);
    const auto below = [](double x) { return std::erfc(-x / 0.3 / std::sqrt(2.0)) / 2; };
    for (int j = 0; j < phases; ++j) {
        const double level = 2047.5 + amplitude * std::sin(2 * std::numbers::pi * j / phases);
        const int from = std::clamp(int(level) - 2, 0, codes - 1);
        for (int k = from; k <= std::min(from + 5, codes - 1); ++k)
            hits[k] += total / phases
                * ((k == codes - 1 ? 1.0 : below(k + 0.5 - level))
                    - (k == 0 ? 0.0 : below(k - 0.5 - level)));
    }
    return rounded(hits);
}

bool allFinite(const CodeDensityResult &r)
{
    const auto &l = r.linearity;
    std::vector<double> values {r.meanCode, r.sigma, r.dc.shareWithin1Sigma, r.dc.shareWithin3Sigma,
        r.dc.effectiveBits.value_or(0), r.dc.noiseFreeBits.value_or(0), l.dnlMin.value,
        l.dnlMax.value, l.inlEndPointMin.value, l.inlEndPointMax.value, l.inlBestFitMin.value,
        l.inlBestFitMax.value, l.dnlUncertainty99.value_or(0), l.sineCentre, l.sineAmplitude};
    for (const auto *perCode : {&l.dnl, &l.inlEndPoint, &l.inlBestFit})
        values.insert(values.end(), perCode->begin(), perCode->end());
    return std::ranges::all_of(values, [](double v) { return std::isfinite(v); });
}

} // namespace

class TestAnalysis : public QObject
{
    Q_OBJECT

private slots:
    // Every kind has a name and a key that reads back; no other text is a key.
    void testKindKeys()
    {
        for (const TestKind kind : {TestKind::Dc, TestKind::Ramp, TestKind::Sine}) {
            QVERIFY(std::string_view(testKindName(kind)).size() > 1);
            QVERIFY(testKindFromKey(testKindKey(kind)) == kind);
        }
        QCOMPARE(std::string_view(testKindKey(TestKind::Ramp)), "ramp");
        for (const char *other : {"", "DC", "ramp ", "noise"})
            QVERIFY(!testKindFromKey(other));
    }

    void workedRampExample()
    {
        const Counts counts {4, 5, 5, 7, 8, 7, 9, 5, 6, 3, 6, 7, 9, 6, 5, 9};
        const auto r = analyseCodeDensity(counts, {TestKind::Ramp, {}});
        QVERIFY(r.kindFits);
        QCOMPARE(r.bits, 4);
        QCOMPARE(r.linearity.firstCode, 1);
        QCOMPARE(r.linearity.lastCode, 14);
        QCOMPARE(std::round(r.linearity.dnlMin.value * 1000), -523.0);
        QCOMPARE(r.linearity.dnlMin.code, 9);
        QCOMPARE(std::round(r.linearity.dnlMax.value * 1000), 432.0);
        QCOMPARE(std::round(r.linearity.inlEndPointMin.value * 1000), -409.0);
        QCOMPARE(std::round(r.linearity.inlEndPointMax.value * 1000), 523.0);
        QCOMPARE(r.linearity.inlEndPoint[14], 0.0);
        QCOMPARE(r.linearity.fewestHits, 3u);
        QCOMPARE(*r.linearity.dnlUncertainty99, 2.576 / std::sqrt(3.0));
        // 664 hits at the thinnest code: 88 analysed + 13 at the ends = 101 samples.
        QCOMPARE(
            *r.linearity.samplesNeededForTenthLsb, std::uint64_t(std::ceil(101 * 664 / 3.0 - 101)));
    }

    // Ideal histograms give flat DNL, are recognised, and injected missing
    // codes are all found and no others.
    void idealHistograms_data()
    {
        QTest::addColumn<TestKind>("kind");
        QTest::addColumn<double>("amplitude");
        QTest::addColumn<QList<int>>("missing");
        QTest::newRow("ramp") << TestKind::Ramp << 0.0 << QList<int> {};
        QTest::newRow("clipped sine") << TestKind::Sine << 2100.0 << QList<int> {};
        QTest::newRow("sine inside the range") << TestKind::Sine << 1900.0 << QList<int> {};
        QTest::newRow("ramp, missing codes")
            << TestKind::Ramp << 0.0 << QList<int> {1, 511, 2048, 2049, 4094};
        QTest::newRow("sine, missing codes")
            << TestKind::Sine << 2100.0 << QList<int> {5, 1023, 1024, 3000};
    }
    void idealHistograms()
    {
        QFETCH(TestKind, kind);
        QFETCH(double, amplitude);
        QFETCH(QList<int>, missing);
        std::vector<double> dnl(codes, 0.0);
        for (int code : missing)
            dnl[code] = -1;
        const Counts counts = rounded(expectedHits(kind, dnl, 4e9, amplitude));
        QCOMPARE(detectTestKind(counts), kind);
        const auto r = analyseCodeDensity(counts);
        QVERIFY2(r.kindFits, r.misfitReason.c_str());
        QVERIFY(r.kindDetected);
        QCOMPARE(
            QList<int>(r.linearity.missingCodes.begin(), r.linearity.missingCodes.end()), missing);
        for (int code = r.linearity.firstCode; code <= r.linearity.lastCode; ++code) {
            const double expected = std::ranges::count(missing, code) ? -1.0 : 0.0;
            QVERIFY2(std::abs(r.linearity.dnl[code] - expected) < 0.01,
                qPrintable(QString::number(code)));
        }
    }

    // A random DNL profile sampled with Poisson noise comes back within five
    // standard deviations of the counting noise at each code.
    void injectedDnlRecovered_data()
    {
        QTest::addColumn<TestKind>("kind");
        QTest::newRow("ramp") << TestKind::Ramp;
        QTest::newRow("sine") << TestKind::Sine;
    }
    void injectedDnlRecovered()
    {
        QFETCH(TestKind, kind);
        std::mt19937_64 random(42);
        std::normal_distribution<double> profile(0, 0.2);
        std::vector<double> dnl(codes);
        for (double &d : dnl)
            d = std::clamp(profile(random), -0.9, 0.9);
        const std::vector<double> hits = expectedHits(kind, dnl, 4096.0 * 4000);
        Counts counts(codes);
        for (int k = 0; k < codes; ++k)
            counts[k] = std::poisson_distribution<std::uint64_t>(hits[k])(random);
        const auto r = analyseCodeDensity(counts, {kind, {}});
        QVERIFY(r.kindFits);
        const auto &l = r.linearity;
        double meanHits = 0;
        for (int k = l.firstCode; k <= l.lastCode; ++k)
            meanHits += hits[k] / l.analysedCodes();
        for (int k = l.firstCode; k <= l.lastCode; ++k) {
            // Relative counting noise sqrt(H)/H, scaled to the code's width.
            const double tolerance = 5 * (1 + dnl[k]) / std::sqrt(hits[k])
                + 2 * std::sqrt(1 / meanHits / l.analysedCodes());
            QVERIFY2(std::abs(l.dnl[k] - dnl[k]) < tolerance,
                qPrintable(QStringLiteral("code %1: %2 vs %3").arg(k).arg(l.dnl[k]).arg(dnl[k])));
        }
    }

    void dcNoise_data()
    {
        QTest::addColumn<double>("sigma");
        QTest::newRow("0.7 LSB") << 0.7;
        QTest::newRow("3 LSB") << 3.0;
        QTest::newRow("20 LSB") << 20.0;
    }
    void dcNoise()
    {
        QFETCH(double, sigma);
        Counts counts(codes);
        const double mean = 1000.3;
        for (int k = 0; k < codes; ++k) {
            auto normal
                = [&](double x) { return std::erfc(-(x - mean) / sigma / std::sqrt(2.0)) / 2; };
            counts[k] = std::llround(1e9 * (normal(k + 0.5) - normal(k - 0.5)));
        }
        const auto r = analyseCodeDensity(counts);
        QCOMPARE(r.kind, TestKind::Dc);
        QVERIFY(r.kindFits);
        QVERIFY(std::abs(r.meanCode - mean) < 0.01);
        // Rounding to codes adds a twelfth of an LSB squared (Sheppard).
        QVERIFY(std::abs(r.sigma - std::sqrt(sigma * sigma + 1.0 / 12)) < 0.01 * sigma);
        QVERIFY(std::abs(*r.dc.effectiveBits - (12 - std::log2(r.sigma))) < 1e-9);
        QVERIFY(std::abs(*r.dc.noiseFreeBits - (12 - std::log2(6.6 * r.sigma))) < 1e-9);
        if (sigma > 2) // only a wide bell is sampled finely enough for these
            QVERIFY(std::abs(r.dc.shareWithin1Sigma - 0.683) < 0.05
                && std::abs(r.dc.shareWithin3Sigma - 0.997) < 0.01);
    }

    // Any counts give finite figures and, where the kind cannot be read, a
    // reason instead of figures.
    void degenerateHistograms_data()
    {
        QTest::addColumn<Counts>("counts");
        QTest::addColumn<TestKind>("kind");
        QTest::addColumn<bool>("fits");
        const std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
        Counts one(codes, 0);
        one[77] = 5;
        Counts ends(codes, 0);
        ends[0] = ends[4095] = 1000;
        Counts ramp(codes, 100);
        Counts bell(codes, 0);
        for (int k = 0; k < 9; ++k)
            bell[2000 + k] = std::uint64_t(1000 * std::exp(-(k - 4) * (k - 4) / 4.0));
        QTest::newRow("empty, dc") << Counts(codes, 0) << TestKind::Dc << false;
        QTest::newRow("empty, sine") << Counts(codes, 0) << TestKind::Sine << false;
        QTest::newRow("no codes") << Counts {} << TestKind::Ramp << false;
        QTest::newRow("one code, dc") << one << TestKind::Dc << true;
        QTest::newRow("one code, ramp") << one << TestKind::Ramp << false;
        QTest::newRow("all at maximum, ramp") << Counts(codes, most) << TestKind::Ramp << true;
        QTest::newRow("all at maximum, sine") << Counts(codes, most) << TestKind::Sine << false;
        QTest::newRow("only end codes, sine") << ends << TestKind::Sine << false;
        QTest::newRow("flat, dc") << ramp << TestKind::Dc << false;
        QTest::newRow("bell, ramp") << bell << TestKind::Ramp << false;
        QTest::newRow("bell, sine") << bell << TestKind::Sine << false;
        Counts apart(codes, 0);
        apart[100] = apart[4000] = 500;
        QTest::newRow("two codes far apart, ramp") << apart << TestKind::Ramp << false;
        QTest::newRow("two codes far apart, sine") << apart << TestKind::Sine << false;
    }
    void degenerateHistograms()
    {
        QFETCH(Counts, counts);
        QFETCH(TestKind, kind);
        QFETCH(bool, fits);
        const auto r = analyseCodeDensity(counts, {kind, 1000.0});
        QCOMPARE(r.kindFits, fits);
        QCOMPARE(r.misfitReason.empty(), fits);
        QVERIFY(allFinite(r));
        if (!r.hasLinearity())
            QVERIFY(r.linearity.dnl.empty());
        if (r.samples > 0 && r.sigma == 0)
            QVERIFY(!r.dc.effectiveBits && !r.dc.noiseFreeBits);
    }

    // A shape of a few samples over many codes looks like anything: the kind
    // is left for the user to choose rather than guessed.
    void kindIsToldOnlyFromEnoughSamples_data()
    {
        QTest::addColumn<Counts>("counts");
        QTest::addColumn<bool>("told");
        Counts two(codes, 0);
        two[100] = two[4000] = 1;
        Counts sparseSine(codes, 0);
        for (int i = 0; i < 345; ++i)
            ++sparseSine[std::lround(2047.5 + 2047.5 * std::sin(i * 0.731))];
        Counts noise(codes, 0);
        for (int k = -9; k <= 9; ++k)
            noise[2048 + k] = std::uint64_t(std::lround(40 * std::exp(-k * k / 18.0)));
        QTest::newRow("empty") << Counts(codes, 0) << false;
        QTest::newRow("two samples far apart") << two << false;
        QTest::newRow("345-sample sine") << sparseSine << false;
        QTest::newRow("a few hundred samples of noise") << noise << true;
    }
    void kindIsToldOnlyFromEnoughSamples()
    {
        QFETCH(Counts, counts);
        QFETCH(bool, told);
        const auto r = analyseCodeDensity(counts, {});
        QCOMPARE(r.kindUndetermined, !told);
        QCOMPARE(r.kindFits, told);
        if (!told && r.samples > 0)
            QVERIFY2(r.misfitReason.find("Too few samples") != std::string::npos,
                r.misfitReason.c_str());
    }

    // Repeated captures of an ideal converter whose true INL is 0: at the
    // code where the stated band is widest, the INL found spreads as the band
    // says, and lies inside it about 99 times in 100.
    void inlUncertaintyMatchesRepeatedCaptures_data()
    {
        QTest::addColumn<TestKind>("kind");
        QTest::addColumn<bool>("bestFit");
        QTest::newRow("ramp, end-point") << TestKind::Ramp << false;
        QTest::newRow("ramp, best fit") << TestKind::Ramp << true;
        QTest::newRow("sine, end-point") << TestKind::Sine << false;
        QTest::newRow("sine, best fit") << TestKind::Sine << true;
    }
    void inlUncertaintyMatchesRepeatedCaptures()
    {
        QFETCH(TestKind, kind);
        QFETCH(bool, bestFit);
        constexpr int captures = 120;
        constexpr int samples = 100000;
        std::mt19937_64 random(kind == TestKind::Ramp ? 11 : 12);
        std::uniform_real_distribution<double> unit(0, 1);
        std::vector<double> found;
        double stated = 0;
        int code = -1;
        for (int capture = 0; capture < captures; ++capture) {
            Counts counts(codes, 0);
            for (int i = 0; i < samples; ++i) {
                const double u = unit(random);
                const double input = kind == TestKind::Ramp
                    ? -1 + u * (codes + 2)
                    : 2047.5 + 2100 * std::sin(2 * std::numbers::pi * u);
                ++counts[std::clamp<long>(std::lround(input), 0, codes - 1)];
            }
            const auto r = analyseCodeDensity(counts, {kind, {}});
            QVERIFY(r.hasLinearity());
            const LinearityFigures &l = r.linearity;
            if (code < 0) { // the first capture states the band and its code
                stated = bestFit ? *l.inlBestFitUncertainty99 : *l.inlEndPointUncertainty99;
                code = bestFit ? l.inlBestFitUncertaintyCode : l.inlEndPointUncertaintyCode;
            }
            found.push_back(bestFit ? l.inlBestFit[code] : l.inlEndPoint[code]);
        }
        double sum = 0, squares = 0;
        int inside = 0;
        for (double inl : found) {
            sum += inl;
            squares += inl * inl;
            inside += std::abs(inl) <= stated;
        }
        const double spread = std::sqrt(squares / captures - std::pow(sum / captures, 2));
        const double statedSigma = stated / 2.576;
        QVERIFY2(std::abs(spread / statedSigma - 1) < 0.2,
            qPrintable(QStringLiteral("spread %1, stated sigma %2").arg(spread).arg(statedSigma)));
        QVERIFY2(inside >= captures * 0.95, qPrintable(QString::number(inside)));
    }

    // A ramp captured for a time that is not a whole number of sweeps shows
    // a step between two flat plateaus that no counting noise explains: its
    // INL is withheld with the reason. Real non-linearity, noise and whole
    // sweeps are not mistaken for it.
    void partialSweepIsFound_data()
    {
        QTest::addColumn<Counts>("counts");
        QTest::addColumn<QString>("reason"); // empty: no partial sweep
        QTest::newRow("3.4 sweeps") << partialRamp(3.4, 1)
                                    << "codes 1 to 1638 were swept more often than codes 1639 to "
                                       "4094 (4.00 against 3.00 hits a code)";
        QTest::newRow("3.4 sweeps of 50, noisy") << partialRamp(3.4, 50, 7) << "codes 1 to 16";
        QTest::newRow("10.9 sweeps of 10, noisy") << partialRamp(10.9, 10, 8) << "codes 1 to 36";
        Counts late = partialRamp(3.4, 1); // the capture starts at code 1000
        std::rotate(late.rbegin(), late.rbegin() + 1000, late.rend());
        QTest::newRow("3.4 sweeps from code 1000") << late << "codes 1000 to 2638 were swept";
        QTest::newRow("3 sweeps, noisy") << partialRamp(3, 1, 9) << "";
        // One sweep more among 44: a step within 8 standard errors whose INL
        // (about 20 LSB) lies beyond the stated uncertainty (about 13).
        QTest::newRow("44.3 sweeps") << partialRamp(44.3, 1) << "codes 1 to 1228";
        for (std::uint64_t seed = 11; seed < 15; ++seed)
            QTest::newRow(qPrintable(QString("44 sweeps, noisy, seed %1").arg(seed)))
                << partialRamp(44, 1, seed) << "";
        std::mt19937_64 random(5);
        std::normal_distribution<double> profile(0, 0.3);
        std::vector<double> dnl(codes);
        for (int k = 0; k < codes; ++k) // random DNL and a 2 LSB bow
            dnl[k] = std::clamp(profile(random), -0.9, 0.9) + 0.002 * (k - 2047.5) / 2047.5;
        QTest::newRow("random DNL, bowed INL")
            << rounded(expectedHits(TestKind::Ramp, dnl, 4096.0 * 1000)) << "";
    }
    void partialSweepIsFound()
    {
        QFETCH(Counts, counts);
        QFETCH(QString, reason);
        const auto r = analyseCodeDensity(counts, {TestKind::Ramp, {}});
        const QString found = QString::fromStdString(r.linearity.partialSweep);
        QVERIFY2(reason.isEmpty() ? found.isEmpty()
                                  : found.contains(reason) && found.endsWith("not measured"),
            qPrintable(found));
        const auto rows = figureRows(r);
        const auto row = std::ranges::find(rows, "INL end-point min / max", &FigureRow::name);
        QCOMPARE(row->value == "not measured (a partial sweep)", !reason.isEmpty());
    }

    // A sine short of the end codes is analysed between the peaks of its
    // histogram, not out to the stray noise hits beyond them: the ideal
    // converter's DNL and INL come back as 0, with the overdrive and a
    // warning of what the figures cover.
    void sineShortOfTheEnds_data()
    {
        QTest::addColumn<double>("amplitude");
        QTest::addColumn<double>("overdrive"); // LSB beyond the end transitions
        QTest::addColumn<QString>("warning"); // empty: none
        QTest::newRow("47 codes short")
            << 2000.5 << -46.5 << "not overdriven: the sine stops 47 codes short of the ends";
        QTest::newRow("overdriven") << 2100.0 << 53.5 << "";
    }
    void sineShortOfTheEnds()
    {
        QFETCH(double, amplitude);
        QFETCH(double, overdrive);
        QFETCH(QString, warning);
        const auto r = analyseCodeDensity(noisySine(amplitude, 1.2e6), {TestKind::Sine, {}});
        const LinearityFigures &l = r.linearity;
        QVERIFY(std::max(-l.dnlMin.value, l.dnlMax.value) < *l.dnlUncertainty99
            && std::max(-l.inlEndPointMin.value, l.inlEndPointMax.value) < 0.2);
        QVERIFY(std::abs(l.overdriveLowLsb.value_or(0) - overdrive) < 0.5
            && std::abs(l.overdriveHighLsb.value_or(0) - overdrive) < 0.5);
        QVERIFY2(QString::fromStdString(l.rangeWarning).startsWith(warning)
                && l.rangeWarning.empty() == warning.isEmpty(),
            l.rangeWarning.c_str());
    }

    void sineAndRampAreNotMistaken()
    {
        const Counts ramp = rounded(expectedHits(TestKind::Ramp, std::vector<double>(codes), 1e7));
        const Counts sine = rounded(expectedHits(TestKind::Sine, std::vector<double>(codes), 1e7));
        QVERIFY(!analyseCodeDensity(ramp, {TestKind::Sine, {}}).kindFits);
        QVERIFY(!analyseCodeDensity(sine, {TestKind::Ramp, {}}).kindFits);
    }

    void csvRoundTrip()
    {
        Counts counts(codes, 7);
        counts[0] = 900;
        counts[12] = 0;
        counts[4095] = std::numeric_limits<std::uint64_t>::max();
        const auto r = analyseCodeDensity(counts, {TestKind::Ramp, {}});
        const std::string text = histogramCsv(counts, &r);
        QVERIFY(text.starts_with("code,count,dnl_lsb,inl_lsb,inl_best_fit_lsb\n0,900,,,\n1,7,"));
        QVERIFY(text.find("\n12,0,-1.000000,") != std::string::npos);
        std::istringstream in(text);
        const HistogramCsvReading reading = readHistogramCsv(in);
        QVERIFY2(reading.ok(), reading.error.c_str());
        QVERIFY(reading.counts == counts);
        QVERIFY(histogramCsv(counts).starts_with("code,count\n0,900\n"));
    }

    void csvAsSpreadsheetsSaveIt()
    {
        std::istringstream in(
            "\xEF\xBB\xBF\"Code\";\"Count\";\"DNL\"\r\n0;5;\r\n1; 6 ;0.1\r\n\r\n");
        const HistogramCsvReading reading = readHistogramCsv(in);
        QVERIFY2(reading.ok(), reading.error.c_str());
        QVERIFY(reading.counts == (Counts {5, 6}));
    }

    void csvMalformed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("empty") << ""
                               << "line 1: expected the header";
        QTest::newRow("no header") << "0,5\n"
                                   << "line 1: expected the header";
        QTest::newRow("header only") << "code,count\n"
                                     << "line 2: expected a row for code 0";
        QTest::newRow("gap") << "code,count\n0,1\n2,1\n"
                             << "line 3: expected code 1, found \"2\"";
        QTest::newRow("negative") << "code,count\n0,-1\n"
                                  << "line 2: the count \"-1\"";
        QTest::newRow("fraction") << "code,count\n0,1.5\n"
                                  << "line 2: the count \"1.5\"";
        QTest::newRow("too large") << "code,count\n0,18446744073709551616\n"
                                   << "line 2: the count";
        QTest::newRow("no count") << "code,count\n0\n"
                                  << "line 2: the count is missing";
        QTest::newRow("text code") << "code,count\n\nzero,1\n"
                                   << "line 3: the code \"zero\"";
    }
    void csvMalformed()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        std::istringstream in(text.toStdString());
        const HistogramCsvReading reading = readHistogramCsv(in);
        QVERIFY2(QString::fromStdString(reading.error).startsWith(error), reading.error.c_str());
        QVERIFY(reading.counts.empty());
    }

    // A record written reads back as itself; a damaged one is refused with
    // a reason, never read as other codes.
    void sampleRecordFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error"); // empty: the codes below read back
        const std::vector<std::uint16_t> codes {0, 1, 2048, 4095, 300};
        const QByteArray npy = QByteArray::fromStdString(sampleRecordNpy(codes));
        QByteArray bigEndian = npy;
        bigEndian.replace("'<u2'", "'>u2'");
        for (qsizetype at = bigEndian.size() - 10; at < bigEndian.size(); at += 2)
            std::swap(bigEndian[at], bigEndian[at + 1]);
        QByteArray outOfRange = npy;
        outOfRange[outOfRange.size() - 1] = 0x10; // 300 becomes 0x102C
        QTest::newRow("npy") << npy << "";
        QTest::newRow("csv") << QByteArray::fromStdString(sampleRecordCsv(codes)) << "";
        QTest::newRow("npy cut short") << npy.left(npy.size() - 1) << ".npy: the data is cut short";
        QTest::newRow("npy big-endian") << bigEndian << "";
        QTest::newRow("npy beyond 12 bits")
            << outOfRange << ".npy: sample 4: code 4140 is outside a 12-bit converter's 0..4095";
        QTest::newRow("csv gap") << QByteArray("sample,code\n0,1\n2,1\n")
                                 << "line 3: expected sample 1";
        QTest::newRow("csv control bytes")
            << QByteArray("sample,code\n0,\x1b[2J\n") << "line 2: \"\\x1B[2J\"";
    }
    void sampleRecordFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        std::istringstream in(bytes.toStdString());
        QVERIFY(looksLikeSampleRecord(in));
        const SampleRecordReading reading = readSampleRecord(in);
        QVERIFY2(QString::fromStdString(reading.error).startsWith(error), reading.error.c_str());
        if (error.isEmpty())
            QCOMPARE(reading.codes, (std::vector<std::uint16_t> {0, 1, 2048, 4095, 300}));
        // The npy header and length fill a multiple of 64 bytes.
        if (QByteArray(QTest::currentDataTag()) == "npy")
            QCOMPARE((bytes.indexOf('\n') + 1) % 64, 0);
    }

    // Every integer dtype reads, in either byte order: unsigned values as the
    // codes, signed ones as two's complement around mid-scale. Values beyond
    // the converter, other dtypes and layouts are refused with the reason.
    void npyDtypes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("bits");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QString>("error");
        using L = QList<qint64>;
        const QList<int> none;
        for (const char *order : {"<", ">"}) {
            const QString o = order;
            QTest::addRow("%su2", order)
                << npyOf(o + "u2", L {0, 4095, 300}) << 12 << QList<int> {0, 4095, 300} << "";
            QTest::addRow("%si2", order)
                << npyOf(o + "i2", L {-2048, 0, 2047}) << 12 << QList<int> {0, 2048, 4095} << "";
            QTest::addRow("%si4", order)
                << npyOf(o + "i4", L {-32768, 32767}) << 16 << QList<int> {0, 65535} << "";
            QTest::addRow("%su8", order)
                << npyOf(o + "u8", L {4095, -1}) << 12 << none
                << "sample 1: code 18446744073709551615 is outside a 12-bit converter's 0..4095";
            QTest::addRow("%si8", order)
                << npyOf(o + "i8", L {-1, -40000}) << 12 << none
                << "sample 1: code -40000 is outside a 12-bit converter's -2048..2047 (a signed";
        }
        QTest::newRow("|u1") << npyOf("|u1", L {0, 255}) << 8 << QList<int> {0, 255} << "";
        QTest::newRow("|i1") << npyOf("|i1", L {-128, 127}) << 8 << QList<int> {0, 255} << "";
        QTest::newRow("1-bit signed") << npyOf("<i2", L {-1, 0}) << 1 << QList<int> {0, 1} << "";
        QTest::newRow("one column")
            << npyOf("<i2", L {-1, 5}, "(2, 1)") << 12 << QList<int> {2047, 2053} << "";
        QTest::newRow("unsigned beyond") << npyOf("<u2", L {7, 4096}) << 12 << none
                                         << "sample 1: code 4096 is outside a 12-bit converter's";
        // Read a part at a time: the place counted on from the first part.
        L longRecord(20000, 5);
        longRecord[17000] = 4096;
        QTest::newRow("unsigned beyond, far in")
            << npyOf("<u2", longRecord) << 12 << none
            << "sample 17000: code 4096 is outside a 12-bit converter's 0..4095";
        QTest::newRow("float") << npyOf("<f8", L {0}) << 12 << none << "the dtype \"<f8\"";
        QTest::newRow("fortran") << npyOf("<u2", L {0}, {}, true) << 12 << none
                                 << "the array is in Fortran order";
        QTest::newRow("two columns") << npyOf("<u2", L {0, 1, 2, 3}, "(2, 2)") << 12 << none
                                     << "an array of shape \"(2, 2)\"";
    }
    void npyDtypes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, bits);
        QFETCH(QList<int>, codes);
        QFETCH(QString, error);
        std::istringstream in(bytes.toStdString());
        const SampleRecordReading reading = readSampleRecord(in, bits);
        QVERIFY2(QString::fromStdString(reading.error)
                     .startsWith(error.isEmpty() ? "" : ".npy: " + error),
            reading.error.c_str());
        QCOMPARE(reading.ok(), error.isEmpty());
        QCOMPARE(QList<int>(reading.codes.begin(), reading.codes.end()), codes);
    }

    // A record larger than one read's buffer, from its file: every sample as
    // saved; cut short, promising more than it holds, or a code beyond the
    // converter far in, refused as a short record is.
    void longRecordFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error"); // empty: the codes n * 7 % 4096 read back
        QList<qint64> codes(100000);
        for (qsizetype n = 0; n < codes.size(); ++n)
            codes[n] = n * 7 % 4096;
        const QByteArray npy = npyOf("<u2", codes);
        QTest::newRow("<u2") << npy << "";
        QTest::newRow("cut short") << npy.chopped(1) << "the header promises 100000 samples";
        QTest::newRow("promises more") << QByteArray(npy).replace("(100000,)", "(100001,)")
                                       << "the header promises 100001 samples";
        codes.last() = 4096;
        QTest::newRow("beyond, far in") << npyOf("<u2", codes) << "sample 99999: code 4096";
    }
    void longRecordFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QFile file(dir.filePath("r.npy"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const RecordFileReading reading = readRecordFile(file.fileName().toStdString(), 12);
        QVERIFY2(QString::fromStdString(reading.error).contains(error), reading.error.c_str());
        QCOMPARE(reading.record.size(), error.isEmpty() ? std::size_t(100000) : 0);
        for (std::size_t n = 0; n < reading.record.size(); ++n)
            QCOMPARE(reading.record[n], std::uint16_t(n * 7 % 4096));
    }

    // A converter of few bits: an ideal 3-bit ramp has no DNL; with fewer
    // than three codes between the end codes linearity is refused, saying why.
    void fewBits_data()
    {
        QTest::addColumn<Counts>("counts");
        QTest::addColumn<QString>("reason");
        QTest::newRow("3 bits") << Counts {40, 100, 100, 100, 100, 100, 100, 40} << "";
        QTest::newRow("2 bits") << Counts {40, 100, 100, 40}
                                << "A 2-bit converter has 2 codes between its two end codes";
        QTest::newRow("1 bit") << Counts {500, 500}
                               << "A 1-bit converter has 0 codes between its two end codes";
    }
    void fewBits()
    {
        QFETCH(Counts, counts);
        QFETCH(QString, reason);
        const auto r = analyseCodeDensity(counts, {TestKind::Ramp, {}});
        QVERIFY2(QString::fromStdString(r.misfitReason).startsWith(reason), r.misfitReason.c_str());
        QCOMPARE(r.kindFits, reason.isEmpty());
        if (r.kindFits) {
            QCOMPARE(r.linearity.dnlMin.value, 0.0);
            QCOMPARE(r.linearity.dnlMax.value, 0.0);
        }
        QVERIFY(allFinite(r));
    }
};

QTEST_APPLESS_MAIN(TestAnalysis)
#include "tst_analysis.moc"

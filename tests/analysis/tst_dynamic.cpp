#include "DynamicAnalysis.h"
#include "FigureText.h"

#include <QTest>

#include <cmath>
#include <numbers>
#include <random>
#include <thread>

namespace {

struct Tone
{
    int order = 0; // 0: none
    double dbc = 0;
};

// An ideal quantiser (code = floor(x), clamped) driven by a sine of
// `cycles` cycles in `samples` samples about mid-scale, with a harmonic and
// Gaussian noise of sigma LSB added before it.
std::vector<std::uint16_t> quantisedSine(std::size_t samples, double cycles, double amplitude,
    int bits = 12, double sigma = 0, Tone harmonic = {}, unsigned seed = 1)
{
    std::mt19937_64 random(seed);
    std::normal_distribution<double> noise(0, sigma > 0 ? sigma : 1);
    const double top = std::ldexp(1.0, bits);
    const double harmonicAmplitude = amplitude * std::pow(10, harmonic.dbc / 20);
    std::vector<std::uint16_t> codes(samples);
    for (std::size_t n = 0; n < samples; ++n) {
        const double phase = 2 * std::numbers::pi * cycles * double(n) / double(samples) + 0.1;
        double x = top / 2 + amplitude * std::sin(phase);
        if (harmonic.order > 0)
            x += harmonicAmplitude * std::sin(harmonic.order * phase + 0.7);
        if (sigma > 0)
            x += noise(random);
        codes[n] = std::uint16_t(std::clamp(std::floor(x), 0.0, top - 1));
    }
    return codes;
}

// One component of a record: `cycles` cycles in the record, amplitude in
// codes, phase in radians, of a cosine.
struct Component
{
    double cycles = 0;
    double amplitude = 0;
    double phase = 0;
};

// The components about mid-scale, rounded to the nearest code: no noise, so
// that every figure has an analytic value.
std::vector<std::uint16_t> roundedTones(std::size_t samples, const std::vector<Component> &tones)
{
    std::vector<std::uint16_t> codes(samples);
    for (std::size_t n = 0; n < samples; ++n) {
        double x = 2048;
        for (const Component &tone : tones)
            x += tone.amplitude
                * std::cos(
                    2 * std::numbers::pi * tone.cycles * double(n) / double(samples) + tone.phase);
        codes[n] = std::uint16_t(std::clamp(std::round(x), 0.0, 4095.0));
    }
    return codes;
}

// A tone of `cycles` with its 2nd to 5th harmonics at -60, -64, -68 and -72 dBc.
std::vector<Component> withHarmonics(double cycles, double amplitude)
{
    std::vector<Component> tones {{cycles, amplitude, 0}};
    for (int order = 2; order <= 5; ++order)
        tones.push_back({order * cycles, amplitude * std::pow(10, (-60 - 4 * (order - 2)) / 20.0),
            0.3 * order});
    return tones;
}

// Their THD: -58.0 dB.
double harmonicsThd()
{
    double sum = 0;
    for (int order = 2; order <= 5; ++order)
        sum += std::pow(10, (-60 - 4 * (order - 2)) / 10.0);
    return 10 * std::log10(sum);
}

double db(double ratio)
{
    return 10 * std::log10(ratio);
}

bool hasRow(const std::vector<FigureRow> &rows, const std::string &name, const std::string &start)
{
    return std::ranges::any_of(rows,
        [&](const FigureRow &row) { return row.name == name && row.value.starts_with(start); });
}

// A ramp of `period` samples over the codes: rising (0), falling (1) or a
// triangle (2), with Gaussian noise of sigma LSB.
std::vector<std::uint16_t> ramp(std::size_t samples, std::size_t period, int shape, double sigma)
{
    std::mt19937_64 random(9);
    std::normal_distribution<double> noise(0, sigma > 0 ? sigma : 1);
    std::vector<std::uint16_t> codes(samples);
    for (std::size_t n = 0; n < samples; ++n) {
        const double t = double(n % period) / double(period);
        const double x = shape == 0 ? t : shape == 1 ? 1 - t : 1 - 2 * std::abs(t - 0.5);
        codes[n] = std::uint16_t(
            std::clamp(std::round(4095 * x + (sigma > 0 ? noise(random) : 0)), 0.0, 4095.0));
    }
    return codes;
}

// The codes clipped to mid-scale +- reach.
std::vector<std::uint16_t> clipped(std::vector<std::uint16_t> codes, int reach)
{
    for (auto &code : codes)
        code = std::uint16_t(std::clamp(int(code), 2048 - reach, 2048 + reach));
    return codes;
}

// A full-scale sine of a 12-bit converter: 2048^2 / 2.
constexpr double fullScaleSine = 2048.0 * 2048 / 2;

} // namespace

class TestDynamic : public QObject
{
    Q_OBJECT

private slots:
    // A full-scale sine through an ideal N-bit quantiser: SINAD 6.02 N + 1.76
    // dB, so ENOB N, from the spectrum and from the fit alike.
    void idealQuantiser_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("samples");
        QTest::addColumn<double>("cycles");
        QTest::newRow("12-bit, 2^16, coherent") << 12 << 65536 << 4093.0;
        QTest::newRow("12-bit, 2^14, coherent") << 12 << 16384 << 1531.0;
        QTest::newRow("12-bit, not a power of two") << 12 << 50000 << 4093.0;
        QTest::newRow("12-bit, 2^16, not coherent") << 12 << 65536 << 4093.37;
        QTest::newRow("16-bit") << 16 << 65536 << 4093.0;
    }
    void idealQuantiser()
    {
        QFETCH(int, bits);
        QFETCH(int, samples);
        QFETCH(double, cycles);
        const bool coherent = cycles == std::floor(cycles);
        const auto codes = quantisedSine(samples, cycles, std::ldexp(1.0, bits - 1), bits);
        DynamicOptions options;
        options.bits = bits;
        const DynamicResult r = analyseDynamic(codes, options);
        QVERIFY2(r.ok, r.reason.c_str());
        qInfo("%d-bit, %d samples, %s: SINAD %.3f dB, SNR %.3f dB, ENOB %.4f, fit ENOB %.4f, "
              "THD %.2f dB, SFDR %.2f dB",
            bits, samples, spectrumWindowKey(r.window), *r.sinadDb, *r.snrDb, *r.enobBits,
            *r.enobFitBits, *r.thdDb, *r.sfdrDb);
        QCOMPARE(r.coherent, coherent);
        QCOMPARE(
            r.window, coherent ? SpectrumWindow::Rectangular : SpectrumWindow::BlackmanHarris7);
        QCOMPARE(bool(r.suggestion), !coherent);
        QVERIFY(std::abs(*r.sinadDb - (6.02 * bits + 1.76)) < 0.1);
        QVERIFY(std::abs(*r.enobBits - bits) < 0.02);
        QVERIFY(r.fit.converged);
        QVERIFY(std::abs(*r.enobFitBits - bits) < 0.02);
        QVERIFY(std::abs(r.fit.frequency * samples - cycles) < 1e-4);
        QVERIFY(std::abs(r.fundamental.frequency * samples - cycles) < 1e-4);
        QVERIFY(std::abs(r.fit.amplitude - std::ldexp(1.0, bits - 1)) < 0.01);
        QVERIFY(std::abs(r.fundamental.dbfs) < 0.01); // full scale
        QCOMPARE(r.spectrumDbfs.size(), std::size_t(samples / 2 + 1));
        QVERIFY(hasRow(dynamicFigureRows(r), "SINAD", fixedNumber(*r.sinadDb, 2) + " dB"));
        // Without the spectrum kept bin by bin, the same figures.
        options.keepSpectrum = false;
        const DynamicResult bare = analyseDynamic(codes, options);
        QVERIFY(bare.ok && bare.hasSpectrum && bare.spectrumDbfs.empty());
        const auto text = [](const std::vector<FigureRow> &rows) {
            std::string all;
            for (const FigureRow &row : rows)
                all += row.name + ": " + row.value + "\n";
            return all;
        };
        QCOMPARE(text(dynamicFigureRows(bare)), text(dynamicFigureRows(r)));
    }

    // Gaussian noise before the quantiser adds to its 1/12 LSB^2. The noise
    // power is the mean of some N/2 bins, each spread as much as its mean:
    // known to 4.34 / sqrt(N/2) dB, or to 1/sqrt(N/2) for N/2 averaged spectra.
    void inputNoise_data()
    {
        QTest::addColumn<double>("sigma");
        QTest::addColumn<int>("averages");
        QTest::addColumn<double>("cycles");
        QTest::newRow("0.5 LSB") << 0.5 << 1 << 4093.0;
        QTest::newRow("1 LSB") << 1.0 << 1 << 4093.0;
        QTest::newRow("3 LSB") << 3.0 << 1 << 4093.0;
        QTest::newRow("3 LSB, not coherent") << 3.0 << 1 << 4093.37;
        QTest::newRow("1 LSB, 4 spectra averaged") << 1.0 << 4 << 4 * 1023.0;
    }
    void inputNoise()
    {
        QFETCH(double, sigma);
        QFETCH(int, averages);
        QFETCH(double, cycles);
        constexpr int samples = 1 << 16;
        constexpr double amplitude = 1800;
        const auto codes = quantisedSine(samples, cycles, amplitude, 12, sigma, {}, 7);
        DynamicOptions options;
        options.averages = averages;
        const DynamicResult r = analyseDynamic(codes, options);
        QVERIFY2(r.ok, r.reason.c_str());
        const double expected = db(amplitude * amplitude / 2 / (sigma * sigma + 1.0 / 12));
        const double spread = 4.34 / std::sqrt(samples / 2.0) * (averages > 1 ? 1.2 : 1);
        qInfo("sigma %.1f LSB: SNR %.3f dB, expected %.3f dB (spread %.3f dB), fit ENOB %.3f",
            sigma, *r.snrDb, expected, spread, *r.enobFitBits);
        QCOMPARE(r.recordLength, std::size_t(samples / averages));
        QCOMPARE(r.coherent, cycles == std::floor(cycles));
        QVERIFY(std::abs(*r.snrDb - expected) < 4 * spread);
        // The fit's residual is the same noise, less the fundamental's bins.
        const double fitSnr = db(amplitude * amplitude / 2 / std::pow(r.fit.residualRms, 2));
        QVERIFY(std::abs(fitSnr - expected) < 4 * spread);
        const double floor
            = db((sigma * sigma + 1.0 / 12) / (r.recordLength / 2.0) / (2048.0 * 2048 / 2));
        QVERIFY(std::abs(*r.noiseFloorDbfs - floor) < 4 * spread);
    }

    // A harmonic at -70 dBc: THD -70 dB and SFDR 70 dB, also when it lies
    // beyond fs/2 and folds back, and through the window when not coherent.
    void harmonicDistortion_data()
    {
        QTest::addColumn<double>("cycles");
        QTest::addColumn<int>("order");
        QTest::addColumn<int>("bin"); // where it lands; -1: not checked
        QTest::newRow("3rd, coherent") << 4093.0 << 3 << 3 * 4093;
        QTest::newRow("3rd folded back") << 24577.0 << 3 << 3 * 24577 - 65536;
        QTest::newRow("2nd folded back") << 20001.0 << 2 << 65536 - 2 * 20001;
        QTest::newRow("5th beyond fs") << 13111.0 << 5 << 5 * 13111 - 65536;
        QTest::newRow("3rd, not coherent") << 4093.37 << 3 << -1;
        QTest::newRow("3rd folded, not coherent") << 24571.4 << 3 << -1;
    }
    void harmonicDistortion()
    {
        QFETCH(double, cycles);
        QFETCH(int, order);
        QFETCH(int, bin);
        constexpr int samples = 1 << 16;
        constexpr double amplitude = 2000;
        const auto codes = quantisedSine(samples, cycles, amplitude, 12, 0, {order, -70});
        const DynamicResult r = analyseDynamic(codes, {});
        QVERIFY2(r.ok, r.reason.c_str());
        qInfo("order %d at -70 dBc, %s: THD %.3f dB, SFDR %.3f dB, SINAD %.3f dB, SNR %.3f dB",
            order, spectrumWindowKey(r.window), *r.thdDb, *r.sfdrDb, *r.sinadDb, *r.snrDb);
        QVERIFY(std::abs(*r.thdDb + 70) < 0.5);
        QVERIFY(std::abs(*r.sfdrDb - 70) < 0.5);
        QCOMPARE(r.spur.order, order);
        const auto harmonic = std::ranges::find(r.harmonics, order, &SpectrumTone::order);
        QVERIFY(harmonic != r.harmonics.end());
        QVERIFY(std::abs(harmonic->dbc + 70) < 0.5);
        const double folded = std::abs(std::remainder(order * cycles / samples, 1.0));
        QVERIFY(std::abs(harmonic->frequency - folded) < 1e-6);
        if (bin >= 0)
            QCOMPARE(harmonic->bin, std::size_t(bin));
        // SINAD: the quantiser's 1/12 LSB^2 and the harmonic.
        const double signal = amplitude * amplitude / 2;
        const double sinad = db(signal / (1.0 / 12 + signal * 1e-7));
        QVERIFY(std::abs(*r.sinadDb - sinad) < 0.1);
        QVERIFY(std::abs(*r.snrDb - db(signal * 12)) < 0.2);
    }

    // The harmonics of a tone at fs/4 fold onto DC, the tone and fs/2: none
    // is counted twice. A tone named is measured even when another is larger.
    void foldedOntoTakenBins()
    {
        const auto codes = quantisedSine(4096, 1024, 1500, 12, 0.7);
        const DynamicResult r = analyseDynamic(codes, {});
        QVERIFY2(r.ok, r.reason.c_str());
        for (const SpectrumTone &tone : r.harmonics)
            QVERIFY(tone.bin != 0 && tone.bin != 1024);
        // The 3rd harmonic's power lies in the tone's bins: SINAD cannot be told.
        QVERIFY(!r.sinadDb && !r.enobBits);

        auto two = quantisedSine(16384, 1001, 1500);
        const auto small = quantisedSine(16384, 3001, 20);
        for (std::size_t n = 0; n < two.size(); ++n)
            two[n] = std::uint16_t(two[n] + small[n] - 2048);
        DynamicOptions options;
        options.fundamental = 3001.2 / 16384;
        const DynamicResult named = analyseDynamic(two, options);
        QVERIFY2(named.ok, named.reason.c_str());
        QCOMPARE(named.fundamental.bin, std::size_t(3001));
        QVERIFY(std::abs(named.fit.amplitude - 20) < 0.5);

        // Named where no tone is: the message says where it looked.
        options.fundamental = 5000.0 / 16384;
        const DynamicResult nothing
            = analyseDynamic(quantisedSine(16384, 1001, 1500, 12, 1), options);
        QVERIFY(!nothing.ok);
        QVERIFY2(nothing.reason.starts_with("no tone stands out of the noise within 8 bins of the "
                                            "fundamental named (bin 5000.0)"),
            nothing.reason.c_str());
    }

    // A harmonic folded onto DC, fs/2, the fundamental or another harmonic
    // cannot be measured: THD and SFDR are undetermined, and say why. One
    // folded beside the tone in a coherent record has a bin of its own. One
    // in DC's or the tone's bins would pass for signal: SINAD is
    // undetermined too; folded onto another harmonic it is distortion still.
    void foldedHarmonics_data()
    {
        QTest::addColumn<int>("samples");
        QTest::addColumn<std::vector<Component>>("tones");
        QTest::addColumn<QString>("reason"); // empty: THD measured
        QTest::addColumn<bool>("coherent");
        QTest::newRow("fs/4") << 4096 << withHarmonics(1024, 1800)
                              << "the 3rd harmonic folds onto the fundamental (bin 1024)" << true;
        QTest::newRow("fs/3, coherent") << 4095 << withHarmonics(1365, 1800)
                                        << "the 3rd harmonic folds onto DC (bin 0)" << true;
        QTest::newRow("fs/3, not coherent")
            << 4096 << withHarmonics(4096 / 3.0, 1800)
            << "the 2nd harmonic folds onto the fundamental (bin 1365)" << false;
        QTest::newRow("fs/2") << 4096 << withHarmonics(2048, 1800)
                              << "the 2nd harmonic folds onto DC (bin 0)" << true;
        QTest::newRow("alternating 2048/2049")
            << 4096 << std::vector<Component> {{2048, 0.5, 0}, {0, 0.5, 0}}
            << "the 2nd harmonic folds onto DC (bin 0)" << true;
        QTest::newRow("fs/7") << 4095 << withHarmonics(585, 1800)
                              << "the 4th harmonic folds onto the 3rd harmonic (bin 1755)" << true;
        QTest::newRow("2nd beside the tone, coherent")
            << 4096 << withHarmonics(1365, 1800) << QString() << true;
    }
    void foldedHarmonics()
    {
        QFETCH(int, samples);
        QFETCH(std::vector<Component>, tones);
        QFETCH(QString, reason);
        QFETCH(bool, coherent);
        const DynamicResult r = analyseDynamic(roundedTones(samples, tones), {});
        QVERIFY2(r.ok, r.reason.c_str());
        qInfo("THD %s, SFDR %s: %s", r.thdDb ? std::to_string(*r.thdDb).c_str() : "none",
            r.sfdrDb ? std::to_string(*r.sfdrDb).c_str() : "none", r.thdUndetermined.c_str());
        QCOMPARE(r.coherent, coherent);
        const auto rows = dynamicFigureRows(r);
        if (reason.isEmpty()) {
            QVERIFY(r.thdUndetermined.empty() && r.sfdrUndetermined.empty());
            QVERIFY(std::abs(*r.thdDb - harmonicsThd()) < 0.2);
            QVERIFY(std::abs(*r.sfdrDb - 60) < 0.2);
            return;
        }
        QVERIFY(!r.thdDb && !r.sfdrDb);
        QVERIFY2(
            QString::fromStdString(r.thdUndetermined).contains(reason), r.thdUndetermined.c_str());
        QCOMPARE(r.sfdrUndetermined, r.thdUndetermined);
        QVERIFY(hasRow(rows, "THD", "undetermined: " + r.thdUndetermined));
        QVERIFY(hasRow(rows, "SFDR", "undetermined: "));
        if (!reason.contains("onto DC") && !reason.contains("onto the fundamental")) {
            QVERIFY(r.sinadDb && std::abs(*r.sinadDb + harmonicsThd()) < 2.5); // phases add
            return;
        }
        QVERIFY(!r.sinadDb && !r.enobBits);
        QVERIFY(QString::fromStdString(r.sinadUndetermined).contains(reason));
        QVERIFY(hasRow(rows, "ENOB (SINAD)", "undetermined: " + r.sinadUndetermined));
    }

    // The level of a tone on fs/2 is the sine's its samples show; a record
    // of too few cycles for the window gives no figures, and says why.
    void toneLevel_data()
    {
        QTest::addColumn<double>("cycles");
        QTest::addColumn<double>("dbfs"); // 0: no figures
        QTest::addColumn<QString>("reason");
        QTest::newRow("fs/2") << 2048.0 << -0.6 << QString();
        QTest::newRow("just below fs/2") << 2047.0 << -0.6 << QString();
        QTest::newRow("3 cycles, coherent") << 3.0 << -0.6 << QString();
        QTest::newRow("1.4 cycles")
            << 1.4 << 0.0
            << "too few cycles in the record for a spectrum: 1.4 cycles, at least 8 needed";
        QTest::newRow("3.3 cycles") << 3.3 << 0.0 << "3.3 cycles, at least 8 needed";
    }
    void toneLevel()
    {
        QFETCH(double, cycles);
        QFETCH(double, dbfs);
        QFETCH(QString, reason);
        const double amplitude = 2048 * std::pow(10, dbfs / 20);
        const DynamicResult r = analyseDynamic(roundedTones(4096, {{cycles, amplitude}}), {});
        qInfo("%s: %.3f dBFS", r.reason.c_str(), r.fundamental.dbfs);
        if (!reason.isEmpty()) {
            QVERIFY(!r.ok);
            QVERIFY2(QString::fromStdString(r.reason).contains(reason), r.reason.c_str());
            return;
        }
        QVERIFY2(r.ok, r.reason.c_str());
        QVERIFY(std::abs(r.fundamental.dbfs - dbfs) < 0.02);
    }

    // A -10 dBc tone beside the fundamental is a spur 10 dB down, not part
    // of the fundamental nor lost in its bins; one that cannot be told apart
    // leaves SFDR and SINAD undetermined, never a passing value.
    void closeTone_data()
    {
        QTest::addColumn<double>("cycles");
        QTest::addColumn<double>("apart"); // bins
        QTest::addColumn<double>("dbc");
        QTest::addColumn<bool>("separated");
        QTest::newRow("3 bins, coherent") << 1531.0 << 3.0 << -10.0 << true;
        QTest::newRow("3 bins") << 1531.3 << 3.0 << -10.0 << true;
        QTest::newRow("1.5 bins") << 1531.3 << 1.5 << -10.0 << true;
        QTest::newRow("8 bins") << 1531.3 << 8.0 << -10.0 << true;
        QTest::newRow("-60 dBc, 3 bins") << 1531.3 << 3.0 << -60.0 << true;
        QTest::newRow("1 bin, coherent") << 1531.0 << 1.0 << -10.0 << true;
        QTest::newRow("0.3 bins") << 1531.3 << 0.3 << -10.0 << false;
        QTest::newRow("equal, 1 bin") << 1531.4 << 1.0 << 0.0 << true;
        QTest::newRow("equal, 1 bin, coherent") << 1531.0 << 1.0 << 0.0 << true;
    }
    void closeTone()
    {
        QFETCH(double, cycles);
        QFETCH(double, apart);
        QFETCH(double, dbc);
        QFETCH(bool, separated);
        const double amplitude = dbc < -3 ? 1500 : 1000; // the two within full scale
        const DynamicResult r = analyseDynamic(
            roundedTones(4096,
                {{cycles, amplitude}, {cycles + apart, amplitude * std::pow(10, dbc / 20), 1}}),
            {});
        QVERIFY2(r.ok, r.reason.c_str());
        qInfo("SFDR %s, SINAD %s: %s", r.sfdrDb ? std::to_string(*r.sfdrDb).c_str() : "none",
            r.sinadDb ? std::to_string(*r.sinadDb).c_str() : "none", r.sinadUndetermined.c_str());
        if (!separated) {
            QVERIFY(!r.sfdrDb && !r.sinadDb && !r.enobBits);
            QVERIFY2(r.sinadUndetermined.starts_with("a second tone at bin "),
                r.sinadUndetermined.c_str());
            QCOMPARE(r.sfdrUndetermined, r.sinadUndetermined);
            QVERIFY(hasRow(dynamicFigureRows(r), "SINAD", "undetermined: a second tone"));
            return;
        }
        QVERIFY(std::abs(*r.sfdrDb + dbc) < 0.1);
        QVERIFY(std::abs(r.fundamental.dbfs - db(amplitude * amplitude / (2048.0 * 2048))) < 0.02);
        QCOMPARE(r.spur.order, 0);
        QVERIFY(std::abs(r.spur.frequency * 4096 - (cycles + apart)) < 0.01);
        // SINAD: the spur and the quantiser's 1/12 LSB^2.
        const double spur = std::pow(10, dbc / 10);
        QVERIFY(
            std::abs(*r.sinadDb - db(1 / (spur + 1.0 / 12 / (amplitude * amplitude / 2)))) < 0.3);
    }

    // Coherent, but 1024 cycles share a factor with 4096 samples: the record
    // says so and names the nearest good input.
    void sharedFactor()
    {
        const DynamicResult r = analyseDynamic(roundedTones(4096, {{1024, 1800}}), {});
        QVERIFY(r.ok && r.coherent && r.suggestion);
        QCOMPARE(std::abs(std::int64_t(r.suggestion->cycles) - 1024), 1); // 1023 or 1025
        QVERIFY2(r.coherenceNote.starts_with("1024 cycles in 4096 samples share the factor 1024"),
            r.coherenceNote.c_str());
        QVERIFY(hasRow(dynamicFigureRows(r), "Coherent input",
            std::to_string(r.suggestion->cycles) + " cycles in 4096 samples"));
        QVERIFY(analyseDynamic(roundedTones(4096, {{1023, 1800}}), {}).coherenceNote.empty());
    }

    void notCoherentSuggestion()
    {
        const DynamicResult r = analyseDynamic(quantisedSine(65536, 4093.37, 2000), {});
        QVERIFY(r.ok && r.suggestion);
        QCOMPARE(r.suggestion->cycles, 4093u);
        QCOMPARE(r.suggestion->samples, 65536u);
        QVERIFY(hasRow(dynamicFigureRows(r), "Coherent input", "4093 cycles in 65536 samples"));
    }

    void coherentSuggestions_data()
    {
        QTest::addColumn<double>("frequency");
        QTest::addColumn<quint64>("samples");
        QTest::addColumn<quint64>("cycles"); // 0: none
        QTest::newRow("even target") << 0.0625 << quint64(65536) << quint64(4095);
        QTest::newRow("odd target shares a factor") << 0.105 << quint64(1000) << quint64(103);
        QTest::newRow("nearer above") << 0.1018 << quint64(1000) << quint64(101);
        QTest::newRow("below fs/2") << 0.4999 << quint64(1000) << quint64(499);
        QTest::newRow("beyond fs/2") << 0.6 << quint64(1000) << quint64(0);
        QTest::newRow("prime length") << 0.25 << quint64(8191) << quint64(2047);
    }
    void coherentSuggestions()
    {
        QFETCH(double, frequency);
        QFETCH(quint64, samples);
        QFETCH(quint64, cycles);
        const auto suggestion = coherentSuggestion(frequency, samples);
        QCOMPARE(suggestion ? suggestion->cycles : 0, cycles);
        if (suggestion)
            QCOMPARE(suggestion->frequency, double(cycles) / double(samples));
    }

    void noFigures_data()
    {
        QTest::addColumn<std::vector<std::uint16_t>>("codes");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("sevenTerm"); // the window named
        std::vector<std::uint16_t> dc(65536);
        std::mt19937 random(5);
        std::normal_distribution<double> noise(2048, 1.5);
        for (auto &code : dc)
            code = std::uint16_t(std::lround(noise(random)));
        QTest::newRow("empty") << std::vector<std::uint16_t>() << "no samples" << false;
        QTest::newRow("constant") << std::vector<std::uint16_t>(65536, 2048) << "constant" << false;
        QTest::newRow("too short") << quantisedSine(40, 3, 1000) << "at least 64" << false;
        QTest::newRow("dc noise") << dc << "no tone" << false;
        // The fit succeeds before the noise is found missing.
        QTest::newRow("no bins for the noise")
            << quantisedSine(64, 9, 1000) << "no bins are left for the noise" << true;
    }
    void noFigures()
    {
        QFETCH(std::vector<std::uint16_t>, codes);
        QFETCH(QString, reason);
        QFETCH(bool, sevenTerm);
        DynamicOptions options;
        if (sevenTerm)
            options.window = SpectrumWindow::BlackmanHarris7;
        const DynamicResult r = analyseDynamic(codes, options);
        QVERIFY(!r.ok);
        QVERIFY2(QString::fromStdString(r.reason).contains(reason), r.reason.c_str());
        QVERIFY(!r.sinadDb && !r.enobBits && !r.enobFitBits && !r.thdDb);
        const auto rows = dynamicFigureRows(r);
        // A record of noise alone still shows its spectrum's rows.
        QCOMPARE(rows.size() == 1u, !r.hasSpectrum);
        QVERIFY(std::ranges::any_of(
            rows, [&](const FigureRow &row) { return row.warning && row.value == r.reason; }));
    }

    // The window runs the analysis on a worker thread; FFTW's planner must
    // not be entered twice at once.
    void concurrentAnalyses()
    {
        const auto codes = quantisedSine(1 << 14, 1001.3, 1900, 12, 0.5);
        const double sinad = *analyseDynamic(codes, {}).sinadDb;
        std::vector<std::thread> threads;
        std::atomic<int> same {0};
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < 20; ++i)
                    same += analyseDynamic(codes, {}).sinadDb == sinad;
            });
        for (auto &thread : threads)
            thread.join();
        QCOMPARE(same.load(), 80);
    }

    void windowKeys()
    {
        for (auto window : {SpectrumWindow::Rectangular, SpectrumWindow::Hann,
                 SpectrumWindow::BlackmanHarris4, SpectrumWindow::BlackmanHarris7})
            QCOMPARE(spectrumWindowFromKey(spectrumWindowKey(window)), window);
        QCOMPARE(spectrumWindowFromKey("Blackman-Harris-7"), SpectrumWindow::BlackmanHarris7);
        QVERIFY(!spectrumWindowFromKey("hamming"));
    }

    // A ramp or a triangle is not analysed as a sine; a sine stays one
    // however noisy, distorted or clipped.
    void rampOrSine_data()
    {
        QTest::addColumn<std::vector<std::uint16_t>>("codes");
        QTest::addColumn<QString>("shape"); // empty: a sine
        QTest::newRow("rising ramp") << ramp(65536, 4096, 0, 0) << "a rising sawtooth";
        QTest::newRow("falling ramp") << ramp(65536, 4096, 1, 0) << "a falling sawtooth";
        QTest::newRow("triangle") << ramp(65536, 4096, 2, 0) << "a triangle";
        QTest::newRow("noisy ramp, period not a power of two")
            << ramp(65536, 3000, 0, 200) << "a rising sawtooth";
        QTest::newRow("sine, 10 dB SNR") << quantisedSine(65536, 1021, 1000, 12, 450) << "";
        QTest::newRow("sine, 3rd harmonic -20 dBc")
            << quantisedSine(65536, 1021, 1500, 12, 0, {3, -20}) << "";
        QTest::newRow("sine clipped at half its amplitude")
            << clipped(roundedTones(65536, {{1021, 2000}}), 1000) << "";
    }
    void rampOrSine()
    {
        QFETCH(std::vector<std::uint16_t>, codes);
        QFETCH(QString, shape);
        const DynamicResult r = analyseDynamic(codes, {});
        if (shape.isEmpty()) {
            QVERIFY2(r.ok, r.reason.c_str());
            QVERIFY(r.toneUndetermined.empty() && r.snrDb);
            return;
        }
        QVERIFY(!r.ok && !r.snrDb && !r.sinadDb && !r.enobBits && !r.enobFitBits);
        QVERIFY2(r.toneUndetermined.starts_with("the record is a ramp, not a sine ("
                     + shape.toStdString() + " of the same period"),
            r.toneUndetermined.c_str());
        QCOMPARE(r.reason, r.toneUndetermined);
    }

    // SNRFS, the noise floor and the density from the noise's variance
    // (sigma^2 + 1/12 with rounding), with a tone of any level or none,
    // averaged or not; noise alone gives no tone figures. The mean of N/2
    // bins is known to 4.34 / sqrt(N/2) dB.
    void noiseFigures_data()
    {
        QTest::addColumn<double>("amplitude"); // of the tone; 0: none
        QTest::addColumn<double>("sigma");
        QTest::addColumn<int>("averages");
        QTest::addColumn<double>("rate");
        QTest::newRow("no tone, 1 LSB") << 0.0 << 1.0 << 1 << 0.0;
        QTest::newRow("no tone, 2 LSB, 1 MHz") << 0.0 << 2.0 << 1 << 1e6;
        QTest::newRow("no tone, 4 LSB, 8 averaged, 48 kHz") << 0.0 << 4.0 << 8 << 48e3;
        QTest::newRow("full scale, 0.5 LSB") << 2000.0 << 0.5 << 1 << 0.0;
        QTest::newRow("-20 dBFS, 1 LSB, 1 MHz") << 204.8 << 1.0 << 1 << 1e6;
        QTest::newRow("-40 dBFS, 3 LSB") << 20.48 << 3.0 << 1 << 0.0;
    }
    void noiseFigures()
    {
        QFETCH(double, amplitude);
        QFETCH(double, sigma);
        QFETCH(int, averages);
        QFETCH(double, rate);
        constexpr std::size_t samples = 1 << 16;
        DynamicOptions options;
        options.averages = averages;
        if (rate > 0)
            options.sampleRate = rate;
        const DynamicResult r
            = analyseDynamic(quantisedSine(samples, 64 * 63, amplitude, 12, sigma), options);
        QVERIFY(r.hasSpectrum);
        QCOMPARE(r.ok, amplitude > 0);
        QCOMPARE(r.recordLength, samples / std::size_t(averages));
        const double noise = sigma * sigma + 1.0 / 12;
        const double spread = 4.34 / std::sqrt(samples / 2.0) * 4;
        QVERIFY(std::abs(*r.snrFsDb - db(fullScaleSine / noise)) < spread);
        const double floor = db(noise / (double(r.recordLength) / 2) / fullScaleSine);
        QVERIFY(std::abs(*r.noiseFloorDbfs - floor) < spread);
        if (rate > 0)
            QVERIFY(std::abs(*r.noiseDensityDbfsPerHz - db(noise / (rate / 2) / fullScaleSine))
                < spread);
        else
            QVERIFY(!r.noiseDensityDbfsPerHz);
        QCOMPARE(r.spurs.size(), std::size_t(5));
        QVERIFY(std::ranges::is_sorted(r.spurs, std::ranges::greater {}, &SpectrumTone::dbfs));
        const auto rows = dynamicFigureRows(r);
        QVERIFY(hasRow(rows, "SNRFS", "") && hasRow(rows, "Spur 5", ""));
        QVERIFY(hasRow(rows, "Noise density", rate > 0 ? "-" : "not measured"));
        if (amplitude > 0) {
            QVERIFY(std::abs(*r.snrDb - db(amplitude * amplitude / 2 / noise)) < spread);
            QCOMPARE(r.fundamentalChoice, std::string("the largest tone, the only one"));
            return;
        }
        QVERIFY2(r.reason.starts_with("no tone"), r.reason.c_str());
        QVERIFY(!r.snrDb && !r.sinadDb && !r.thdDb && !r.sfdrDb && !r.enobBits);
        QVERIFY(hasRow(rows, "Tone figures", "no tone") && !hasRow(rows, "SNR", ""));
    }

    // A small tone under the noise, too small to be a fundamental, is the
    // largest spur: its power a^2/2 in its one bin of the rectangular window,
    // the noise's share in that bin averaged down over 64 spectra.
    void smallToneIsTheLargestSpur()
    {
        DynamicOptions options;
        options.window = SpectrumWindow::Rectangular;
        options.averages = 64;
        const DynamicResult r = analyseDynamic(quantisedSine(1 << 16, 64 * 78, 1, 12, 1), options);
        QVERIFY(!r.ok && r.hasSpectrum);
        QCOMPARE(r.spurs.front().bin, std::size_t(78));
        QVERIFY(std::abs(r.spurs.front().dbfs - db(0.5 / fullScaleSine)) < 0.3);
    }

    // Every component but the fundamental, listed loudest first with its
    // level; of two tones the larger is the fundamental, and the result says so.
    void spursBesideTheFundamental_data()
    {
        QTest::addColumn<std::vector<Component>>("tones");
        QTest::addColumn<std::vector<int>>("bins"); // the spurs, loudest first
        QTest::addColumn<std::vector<double>>("dbc");
        QTest::addColumn<QString>("choice");
        const double a = 1500;
        const auto at = [a](double dbc) { return a * std::pow(10, dbc / 20); };
        QTest::newRow("harmonics and a spur")
            << std::vector<Component> {{1021, a}, {2042, at(-60), 1}, {3063, at(-64), 2},
                   {7777, at(-66), 3}, {4084, at(-68), 4}, {5105, at(-72), 5}}
            << std::vector<int> {2042, 3063, 7777, 4084, 5105}
            << std::vector<double> {-60, -64, -66, -68, -72}
            << "the largest of 2 tones; the next at bin 7777, 65.9";
        QTest::newRow("a second tone 14 dB below")
            << std::vector<Component> {{1021, a}, {9001, a / 5, 1}} << std::vector<int> {9001}
            << std::vector<double> {-13.98}
            << "the largest of 2 tones; the next at bin 9001, 13.98 dB below it";
        QTest::newRow("spurs louder than the harmonics")
            << std::vector<Component> {{1021, a}, {9001, at(-50), 1}, {20011, at(-55), 2}}
            << std::vector<int> {9001, 20011} << std::vector<double> {-50, -55}
            << "the largest of 3 tones; the next at bin 9001, 50.0";
    }
    void spursBesideTheFundamental()
    {
        QFETCH(std::vector<Component>, tones);
        QFETCH(std::vector<int>, bins);
        QFETCH(std::vector<double>, dbc);
        QFETCH(QString, choice);
        const DynamicResult r = analyseDynamic(roundedTones(1 << 16, tones), {});
        QVERIFY2(r.ok, r.reason.c_str());
        QCOMPARE(r.fundamental.bin, std::size_t(1021));
        QCOMPARE(r.spurs.size(), std::size_t(5));
        for (std::size_t i = 0; i < bins.size(); ++i) {
            QCOMPARE(int(r.spurs[i].bin), bins[i]);
            QVERIFY2(
                std::abs(r.spurs[i].dbc - dbc[i]) < 0.2, std::to_string(r.spurs[i].dbc).c_str());
        }
        QCOMPARE(r.spurs.front().dbc, -*r.sfdrDb);
        QVERIFY2(QString::fromStdString(r.fundamentalChoice).startsWith(choice),
            r.fundamentalChoice.c_str());
        const auto rows = dynamicFigureRows(r);
        QVERIFY(hasRow(rows, "Fundamental taken", choice.toStdString()));
        QVERIFY(hasRow(rows, "Record", "65536 samples, 1 record"));
        QVERIFY(hasRow(rows, "Window", "Rectangular"));
    }
};

QTEST_APPLESS_MAIN(TestDynamic)
#include "tst_dynamic.moc"

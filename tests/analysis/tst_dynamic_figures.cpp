#include "DynamicAnalysis.h"
#include "FigureText.h"

#include <QTest>

#include <cmath>
#include <numbers>
#include <random>

namespace {

// A component of a record: cycles in the record, amplitude in codes.
struct Component
{
    double cycles = 0;
    double amplitude = 0;
    double phase = 0;
};

// Mid-scale, the components, Gaussian noise of sigma LSB, optionally
// clipped to +-clip codes about mid-scale, then rounded to a 12-bit code.
std::vector<std::uint16_t> record(std::size_t samples, const std::vector<Component> &tones,
    double sigma = 0, double clip = 0, unsigned seed = 3)
{
    std::mt19937_64 random(seed);
    std::normal_distribution<double> noise(0, sigma > 0 ? sigma : 1);
    std::vector<std::uint16_t> codes(samples);
    for (std::size_t n = 0; n < samples; ++n) {
        double x = 0;
        for (const Component &tone : tones)
            x += tone.amplitude
                * std::cos(
                    2 * std::numbers::pi * tone.cycles * double(n) / double(samples) + tone.phase);
        if (clip > 0)
            x = std::clamp(x, -clip, clip);
        if (sigma > 0)
            x += noise(random);
        codes[n] = std::uint16_t(std::clamp(std::round(2048 + x), 0.0, 4095.0));
    }
    return codes;
}

// A ramp of `period` samples from 0 to 4095: rising, falling or a triangle,
// with Gaussian noise.
std::vector<std::uint16_t> ramp(std::size_t samples, std::size_t period, int shape, double sigma)
{
    std::mt19937_64 random(9);
    std::normal_distribution<double> noise(0, sigma > 0 ? sigma : 1);
    std::vector<std::uint16_t> codes(samples);
    for (std::size_t n = 0; n < samples; ++n) {
        const double t = double(n % period) / double(period); // 0..1
        double x = shape == 0 ? t : shape == 1 ? 1 - t : 1 - 2 * std::abs(t - 0.5);
        x = 4095 * x + (sigma > 0 ? noise(random) : 0);
        codes[n] = std::uint16_t(std::clamp(std::round(x), 0.0, 4095.0));
    }
    return codes;
}

// A full-scale sine of a 12-bit converter: 2048^2 / 2.
constexpr double fullScale = 2048.0 * 2048 / 2;

double db(double ratio)
{
    return 10 * std::log10(ratio);
}

bool hasRow(const std::vector<FigureRow> &rows, const std::string &name, const std::string &start)
{
    return std::ranges::any_of(rows,
        [&](const FigureRow &row) { return row.name == name && row.value.starts_with(start); });
}

} // namespace

class TestDynamicFigures : public QObject
{
    Q_OBJECT

private slots:
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
        QTest::newRow("sine, 10 dB SNR") << record(65536, {{1021, 1000}}, 450) << "";
        QTest::newRow("sine, 3rd harmonic -20 dBc")
            << record(65536, {{1021, 1500}, {3063, 150, std::numbers::pi}}) << "";
        QTest::newRow("sine clipped at half its amplitude")
            << record(65536, {{1021, 2000}}, 0, 1000) << "";
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

    // Noise alone: no tone figures, but the spectrum with its floor, SNRFS
    // and density from the noise's variance (sigma^2 + 1/12 with rounding),
    // averaged or not. The mean of N/2 bins is known to 4.34 / sqrt(N/2) dB.
    void noiseWithoutTone_data()
    {
        QTest::addColumn<double>("sigma");
        QTest::addColumn<int>("averages");
        QTest::addColumn<double>("rate");
        QTest::newRow("1 LSB") << 1.0 << 1 << 0.0;
        QTest::newRow("2 LSB, 1 MHz") << 2.0 << 1 << 1e6;
        QTest::newRow("4 LSB, 8 averaged, 48 kHz") << 4.0 << 8 << 48e3;
    }
    void noiseWithoutTone()
    {
        QFETCH(double, sigma);
        QFETCH(int, averages);
        QFETCH(double, rate);
        constexpr std::size_t samples = 1 << 16;
        DynamicOptions options;
        options.averages = averages;
        if (rate > 0)
            options.sampleRate = rate;
        const DynamicResult r = analyseDynamic(record(samples, {}, sigma), options);
        QVERIFY(!r.ok && r.hasSpectrum);
        QVERIFY2(r.reason.starts_with("no tone"), r.reason.c_str());
        QVERIFY(!r.snrDb && !r.sinadDb && !r.thdDb && !r.sfdrDb && !r.enobBits);
        QCOMPARE(r.averages, averages);
        QCOMPARE(r.recordLength, samples / std::size_t(averages));
        QCOMPARE(r.spectrumDbfs.size(), r.recordLength / 2 + 1);
        const double noise = sigma * sigma + 1.0 / 12;
        const double spread = 4.34 / std::sqrt(samples / 2.0) * 4;
        QVERIFY(std::abs(*r.snrFsDb - db(fullScale / noise)) < spread);
        const double floor = db(noise / (double(r.recordLength) / 2) / fullScale);
        QVERIFY(std::abs(*r.noiseFloorDbfs - floor) < spread);
        if (rate > 0)
            QVERIFY(
                std::abs(*r.noiseDensityDbfsPerHz - db(noise / (rate / 2) / fullScale)) < spread);
        else
            QVERIFY(!r.noiseDensityDbfsPerHz);
        QCOMPARE(r.spurs.size(), std::size_t(5));
        QVERIFY(std::ranges::is_sorted(r.spurs, std::ranges::greater {}, &SpectrumTone::dbfs));
        const auto rows = dynamicFigureRows(r);
        QVERIFY(hasRow(rows, "Tone figures", "no tone") && hasRow(rows, "Spur 5", ""));
        QVERIFY(hasRow(rows, "Noise density", rate > 0 ? "-" : "not measured"));
        QVERIFY(!hasRow(rows, "SNR", ""));
    }

    // A small tone under the noise, too small to be a fundamental, is the
    // largest spur: its power a^2/2 in its one bin of the rectangular window.
    void smallToneIsTheLargestSpur()
    {
        DynamicOptions options;
        options.window = SpectrumWindow::Rectangular;
        const DynamicResult r = analyseDynamic(record(1 << 16, {{5003, 0.1}}, 1.0), options);
        QVERIFY(!r.ok && r.hasSpectrum);
        QCOMPARE(r.spurs.front().bin, std::size_t(5003));
        QVERIFY(std::abs(r.spurs.front().dbfs - db(0.01 / 2 / fullScale)) < 0.3);
    }

    // SNR against the tone, SNRFS against a full-scale sine: both from the
    // noise's variance, whatever the tone's level.
    void snrToFullScale_data()
    {
        QTest::addColumn<double>("amplitude");
        QTest::addColumn<double>("sigma");
        QTest::newRow("full scale, 0.5 LSB") << 2000.0 << 0.5;
        QTest::newRow("-20 dBFS, 1 LSB") << 204.8 << 1.0;
        QTest::newRow("-40 dBFS, 3 LSB") << 20.48 << 3.0;
    }
    void snrToFullScale()
    {
        QFETCH(double, amplitude);
        QFETCH(double, sigma);
        const DynamicResult r = analyseDynamic(record(1 << 16, {{4093, amplitude}}, sigma), {});
        QVERIFY2(r.ok, r.reason.c_str());
        const double noise = sigma * sigma + 1.0 / 12;
        const double spread = 4 * 4.34 / std::sqrt(1 << 15);
        QVERIFY(std::abs(*r.snrFsDb - db(fullScale / noise)) < spread);
        QVERIFY(std::abs(*r.snrDb - db(amplitude * amplitude / 2 / noise)) < spread);
        QVERIFY(hasRow(dynamicFigureRows(r), "SNRFS", ""));
    }

    // Every component but the fundamental, listed loudest first with its level.
    void spursBesideTheFundamental_data()
    {
        QTest::addColumn<std::vector<Component>>("tones");
        QTest::addColumn<std::vector<int>>("bins"); // the spurs, loudest first
        QTest::addColumn<std::vector<double>>("dbc");
        const double a = 1500;
        const auto at = [a](double dbc) { return a * std::pow(10, dbc / 20); };
        QTest::newRow("harmonics and a spur") << std::vector<Component> {{1021, a},
            {2042, at(-60), 1}, {3063, at(-64), 2}, {7777, at(-66), 3}, {4084, at(-68), 4},
            {5105, at(-72), 5}} << std::vector<int> {2042, 3063, 7777, 4084, 5105}
                                              << std::vector<double> {-60, -64, -66, -68, -72};
        QTest::newRow("spurs louder than the harmonics")
            << std::vector<Component> {{1021, a}, {9001, at(-50), 1}, {20011, at(-55), 2}}
            << std::vector<int> {9001, 20011} << std::vector<double> {-50, -55};
    }
    void spursBesideTheFundamental()
    {
        QFETCH(std::vector<Component>, tones);
        QFETCH(std::vector<int>, bins);
        QFETCH(std::vector<double>, dbc);
        const DynamicResult r = analyseDynamic(record(1 << 16, tones, 0.3), {});
        QVERIFY2(r.ok, r.reason.c_str());
        QCOMPARE(r.spurs.size(), std::size_t(5));
        for (std::size_t i = 0; i < bins.size(); ++i) {
            QCOMPARE(int(r.spurs[i].bin), bins[i]);
            QVERIFY2(
                std::abs(r.spurs[i].dbc - dbc[i]) < 0.2, std::to_string(r.spurs[i].dbc).c_str());
        }
        QCOMPARE(r.spurs.front().dbc, -*r.sfdrDb);
    }

    // Of two tones the larger is the fundamental, and the result says so.
    void fundamentalTaken_data()
    {
        QTest::addColumn<double>("second"); // its amplitude; 0: none
        QTest::addColumn<QString>("choice");
        QTest::newRow("one tone") << 0.0 << "the largest tone, the only one";
        QTest::newRow("second 14 dB below")
            << 300.0 << "the largest of 2 tones; the next at bin 9001, 13.98 dB below it";
        QTest::newRow("second 40 dB below")
            << 15.0 << "the largest of 2 tones; the next at bin 9001, 40.00 dB below it";
    }
    void fundamentalTaken()
    {
        QFETCH(double, second);
        QFETCH(QString, choice);
        std::vector<Component> tones {{1021, 1500}};
        if (second > 0)
            tones.push_back({9001, second});
        const DynamicResult r = analyseDynamic(record(1 << 16, tones, 0.5), {});
        QVERIFY2(r.ok, r.reason.c_str());
        QCOMPARE(QString::fromStdString(r.fundamentalChoice), choice);
        QCOMPARE(r.fundamental.bin, std::size_t(1021));
        const auto rows = dynamicFigureRows(r);
        QVERIFY(hasRow(rows, "Fundamental taken", choice.toStdString()));
        QVERIFY(hasRow(rows, "Record", "65536 samples, 1 record"));
        QVERIFY(hasRow(rows, "Window", "Rectangular"));
    }
};

QTEST_GUILESS_MAIN(TestDynamicFigures)
#include "tst_dynamic_figures.moc"

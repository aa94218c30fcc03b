#include "CloseTone.h"
#include "Periodogram.h"
#include "RealFft.h"
#include "SineFit.h"
#include "SineSpectrum.h"
#include "SpectrumComponents.h"
#include "SpectrumWorkspace.h"
#include "WindowedSpectrum.h"

#include <QTest>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdint>
#include <future>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace {

std::vector<double> cosine(std::size_t samples, double cycles, double amplitude, double offset)
{
    std::vector<double> x(samples);
    for (std::size_t n = 0; n < samples; ++n)
        x[n] = offset
            + amplitude
                * std::cos(2 * std::numbers::pi * cycles * double(n) / double(samples) + 0.4);
    return x;
}

// The one-sided power spectrum by the definition of the DFT, scaled as
// powerSpectrum() scales it.
std::vector<double> directSpectrum(const std::vector<double> &x, SpectrumWindow window)
{
    const std::size_t n = x.size();
    const std::vector<double> w = windowCoefficients(window, n);
    double mean = 0, windowPower = 0;
    for (std::size_t i = 0; i < n; ++i)
        mean += x[i] / double(n), windowPower += w[i] * w[i];
    std::vector<double> power(n / 2 + 1);
    for (std::size_t k = 0; k < power.size(); ++k) {
        std::complex<double> sum;
        for (std::size_t i = 0; i < n; ++i)
            sum += (x[i] - mean) * w[i]
                * std::polar(1.0, -2 * std::numbers::pi * double(k * i % n) / double(n));
        const bool single = k == 0 || (n % 2 == 0 && k == n / 2);
        power[k] = std::norm(sum) * (single ? 1 : 2) / (double(n) * windowPower);
    }
    return power;
}

// A cosine with a second one beside it and white noise.
std::vector<double> noisyTones(
    std::size_t samples, double cycles, double secondCycles, double secondAmplitude, double noise)
{
    std::vector<double> x = cosine(samples, cycles, 1000, 2048);
    std::mt19937 random(7);
    std::normal_distribution<double> gauss(0, noise);
    for (std::size_t n = 0; n < samples; ++n)
        x[n] += secondAmplitude
                * std::sin(2 * std::numbers::pi * secondCycles * double(n) / double(samples))
            + gauss(random);
    return x;
}

} // namespace

class TestSpectrumWorkspace : public QObject
{
    Q_OBJECT

private slots:
    // One workspace, and the plans and window the process keeps, take
    // records of several lengths and windows in a row: each spectrum must be
    // its own record's, not one made for the length or window before.
    void lengthsInARow()
    {
        struct Step
        {
            std::size_t samples;
            SpectrumWindow window;
        };
        const Step steps[] = {{128, SpectrumWindow::BlackmanHarris7},
            {100, SpectrumWindow::BlackmanHarris7}, {128, SpectrumWindow::Rectangular},
            {128, SpectrumWindow::Hann}, {64, SpectrumWindow::BlackmanHarris7},
            {101, SpectrumWindow::BlackmanHarris4}, {128, SpectrumWindow::BlackmanHarris7},
            {102, SpectrumWindow::BlackmanHarris7}, {4102, SpectrumWindow::Hann}};
        SpectrumWorkspace workspace;
        for (const Step &step : steps) {
            const auto x = cosine(step.samples, 9.3, 1000, 2048);
            const std::vector<double> expected = directSpectrum(x, step.window);
            for (const auto &power : {workspace.powerSpectrum(x, step.samples, step.window),
                     powerSpectrum(x, step.samples, step.window)}) {
                QCOMPARE(power.size(), expected.size());
                for (std::size_t k = 0; k < power.size(); ++k)
                    QVERIFY2(std::abs(power[k] - expected[k]) <= 1e-9 * 1000 * 1000,
                        qPrintable(QStringLiteral("%1 samples, bin %2").arg(step.samples).arg(k)));
            }
        }
    }

    // A window is computed for a quarter or a half of its samples and the
    // rest mirrored: sample i of n lies at the angle of sample 2i of 2n, and
    // the Hann window is 0.5 - 0.5 cos.
    void windowEverySample_data()
    {
        QTest::addColumn<int>("samples");
        for (const int n : {1, 2, 3, 6, 101, 102, 4100, 4101, 4102})
            QTest::newRow(qPrintable(QString::number(n))) << n;
    }
    void windowEverySample()
    {
        QFETCH(int, samples);
        const std::size_t n = std::size_t(samples);
        for (const SpectrumWindow window : {SpectrumWindow::Hann, SpectrumWindow::BlackmanHarris4,
                 SpectrumWindow::BlackmanHarris7}) {
            const std::vector<double> w = windowCoefficients(window, n);
            const std::vector<double> twice = windowCoefficients(window, 2 * n);
            QCOMPARE(w.size(), n);
            for (std::size_t i = 0; i < n; ++i) {
                QVERIFY2(std::abs(w[i] - twice[2 * i]) < 1e-12, qPrintable(QString::number(i)));
                if (window == SpectrumWindow::Hann)
                    QVERIFY(
                        std::abs(w[i]
                            - (0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(n))))
                        < 1e-12);
            }
        }
    }

    // Each window's spectrum from the rectangular bins of one transform, by
    // convolving them with the window's cosine terms, is the windowed
    // record's own, at the ends of the band too.
    void windowedFromBins_data()
    {
        QTest::addColumn<int>("samples");
        QTest::addColumn<double>("cycles");
        // 10 to 26 samples: the seven-term window reaches both ends from
        // every bin, or from all but a few.
        for (const int n : {64, 101, 128, 4102, 10, 15, 26})
            for (const double cycles : {9.3, 2.5, n / 2.0 - 1.7})
                QTest::newRow(
                    qPrintable(QStringLiteral("%1 samples, %2 cycles").arg(n).arg(cycles)))
                    << n << cycles;
    }
    void windowedFromBins()
    {
        QFETCH(int, samples);
        QFETCH(double, cycles);
        const std::size_t n = std::size_t(samples);
        const auto x = noisyTones(n, cycles, cycles / 3, 10, 0.5);
        SpectrumWorkspace workspace;
        const auto bins = workspace.recordBins(x);
        for (const SpectrumWindow window : {SpectrumWindow::Rectangular, SpectrumWindow::Hann,
                 SpectrumWindow::BlackmanHarris4, SpectrumWindow::BlackmanHarris7}) {
            const std::vector<double> expected = directSpectrum(x, window);
            const std::vector<double> power = windowedPowerSpectrum(bins, n, window);
            QCOMPARE(power.size(), expected.size());
            for (std::size_t k = 0; k < power.size(); ++k)
                QVERIFY2(std::abs(power[k] - expected[k]) <= 1e-9 * 1000 * 1000,
                    qPrintable(QStringLiteral("%1, bin %2").arg(spectrumWindowKey(window)).arg(k)));
        }
    }

    // A record of codes transformed in the transform's own input: the
    // samples stay the codes after the transform, the bins are those of the
    // record with its mean taken off, the variance is the codes', and a
    // spectrum written into a buffer that held a longer one is the spectrum
    // returned afresh.
    void codesTransform_data()
    {
        QTest::addColumn<int>("samples");
        QTest::addColumn<bool>("plannedAhead");
        for (const int n : {64, 101, 4102})
            QTest::newRow(qPrintable(QStringLiteral("%1 samples").arg(n))) << n << false;
        // The codes written straight into the half-length transform's input.
        QTest::newRow("4104 samples, planned ahead") << 4104 << true;
    }
    void codesTransform()
    {
        QFETCH(int, samples);
        QFETCH(bool, plannedAhead);
        const std::size_t n = std::size_t(samples);
        if (plannedAhead)
            RealFft::prepare(n).get();
        const auto x = noisyTones(n, 9.3, 3.1, 10, 0.5);
        std::vector<std::uint16_t> codes(n);
        for (std::size_t i = 0; i < n; ++i)
            codes[i] = std::uint16_t(std::lround(3000 + 900 * x[i] / 10));
        const std::vector<double> asDoubles(codes.begin(), codes.end());
        SpectrumWorkspace workspace;
        const SpectrumWorkspace::CodesTransform record = workspace.transformCodes(codes);
        QVERIFY(std::ranges::equal(record.samples, asDoubles));
        long double mean = 0;
        for (const double v : asDoubles)
            mean += v;
        mean /= n;
        long double variance = 0;
        for (const double v : asDoubles)
            variance += (v - mean) * (v - mean);
        QVERIFY(record.variance);
        QVERIFY(std::abs(*record.variance - double(variance / n)) <= 1e-12 * double(variance / n));
        SpectrumWorkspace other;
        const auto expected = other.recordBins(asDoubles);
        QCOMPARE(record.bins.size(), expected.size());
        for (std::size_t k = 0; k < expected.size(); ++k)
            QVERIFY2(std::abs(record.bins[k] - expected[k]) <= 1e-9 * 3000 * double(n),
                qPrintable(QStringLiteral("bin %1").arg(k)));
        std::vector<double> reused(3 * n, -1.0);
        for (const SpectrumWindow window :
            {SpectrumWindow::Rectangular, SpectrumWindow::Hann, SpectrumWindow::BlackmanHarris7}) {
            windowedPowerSpectrum(record.bins, n, window, reused);
            QCOMPARE(reused, windowedPowerSpectrum(record.bins, n, window));
        }
    }

    // The transform of any length, even or odd, FFTW's real one or, planned
    // ahead, a complex transform of half the length unpacked, is the DFT's
    // by its definition, bins 0 and n/2 real.
    void transformMatchesDefinition_data()
    {
        QTest::addColumn<int>("samples");
        QTest::addColumn<bool>("plannedAhead"); // the half-length transform for an even length
        for (const int n : {2, 3, 4, 6, 10, 64, 96, 1000, 1001, 2048})
            QTest::newRow(qPrintable(QStringLiteral("%1 samples").arg(n))) << n << false;
        for (const int n : {8, 12, 100, 1003, 4096})
            QTest::newRow(qPrintable(QStringLiteral("%1 samples, planned ahead").arg(n)))
                << n << true;
    }
    void transformMatchesDefinition()
    {
        QFETCH(int, samples);
        QFETCH(bool, plannedAhead);
        const std::size_t n = std::size_t(samples);
        if (plannedAhead)
            RealFft::prepare(n).get();
        std::mt19937 random {std::uint32_t(n)};
        std::uniform_real_distribution<double> uniform(0, 4095);
        RealFft fft(n);
        double scale = 0;
        for (std::size_t i = 0; i < n; ++i)
            scale += std::abs(fft.input()[i] = uniform(random));
        fft.run();
        QCOMPARE(fft.output().size(), n / 2 + 1);
        for (std::size_t k = 0; k <= n / 2; ++k) {
            std::complex<long double> sum = 0;
            for (std::size_t i = 0; i < n; ++i)
                sum += (long double)fft.input()[i]
                    * std::polar(1.0L,
                        -2 * std::numbers::pi_v<long double> * (long double)((k * i) % n) / n);
            const std::complex<double> expected(double(sum.real()), double(sum.imag()));
            QVERIFY2(std::abs(fft.output()[k] - expected) <= 1e-13 * scale,
                qPrintable(QStringLiteral("bin %1").arg(k)));
        }
        QCOMPARE(fft.output()[0].imag(), 0.0);
        if (n % 2 == 0)
            QCOMPARE(fft.output()[n / 2].imag(), 0.0);
    }

    // A plan made ahead on another thread serves the transforms of its
    // length, whether they run while it is being made or after; a length
    // that is not planned ahead gives a future that is ready at once.
    void preparedPlan_data()
    {
        QTest::addColumn<int>("samples");
        QTest::addColumn<bool>("waitFirst");
        // 2^17: a length whose half-length plan was measured ahead.
        for (const int n : {64, 1001, 1 << 17})
            for (const bool waitFirst : {false, true})
                QTest::newRow(qPrintable(
                    QStringLiteral("%1 samples%2").arg(n).arg(waitFirst ? ", planned first" : "")))
                    << n << waitFirst;
    }
    void preparedPlan()
    {
        QFETCH(int, samples);
        QFETCH(bool, waitFirst);
        const std::size_t n = std::size_t(samples);
        std::future<void> prepared = RealFft::prepare(n);
        if (waitFirst)
            prepared.get();
        RealFft fft(n);
        const auto x = cosine(n, 7, 3, 0);
        std::copy(x.begin(), x.end(), fft.input());
        fft.run();
        QVERIFY(std::ranges::equal(std::span(fft.input(), n), x));
        for (std::size_t k = 0; k < fft.output().size(); ++k)
            QVERIFY2(std::abs(std::abs(fft.output()[k]) - (k == 7 ? 1.5 * double(n) : 0.0))
                    < 1e-9 * double(n),
                qPrintable(QStringLiteral("bin %1").arg(k)));
        if (!waitFirst)
            prepared.get();
        QCOMPARE(RealFft::prepare(0).wait_for(std::chrono::seconds(0)), std::future_status::ready);
    }

    // The fitted sine's bins in closed form are its transform's, bin by bin
    // and in runs, near its own bin and its mirror's and far from them, on a
    // whole bin too, and beyond either end of the band.
    void sineBinsClosedForm_data()
    {
        QTest::addColumn<int>("samples");
        QTest::addColumn<double>("cycles");
        QTest::newRow("between bins") << 4096 << 300.37;
        QTest::newRow("on a bin") << 4096 << 300.0;
        QTest::newRow("near DC") << 4097 << 1.3;
        QTest::newRow("near fs/2") << 4097 << 2047.8;
        QTest::newRow("long record") << (1 << 18) << 70000.61;
    }
    void sineBinsClosedForm()
    {
        QFETCH(int, samples);
        QFETCH(double, cycles);
        const std::size_t n = std::size_t(samples);
        SineFitFigures fit;
        fit.frequency = cycles / double(n);
        fit.amplitude = 1000;
        fit.phase = 0.4;
        RealFft fft(n);
        for (std::size_t i = 0; i < n; ++i)
            fft.input()[i]
                = 1000 * std::cos(2 * std::numbers::pi * fit.frequency * double(i) + 0.4);
        fft.run();
        const SineSpectrum sine(fit, n);
        const auto ln = static_cast<long long>(n);
        const double tolerance = 1e-9 * 1000 * double(n);
        const auto expected = [&](long long k) { return twoSidedBin(fft.output(), k, ln); };
        for (long long k = -40; k < ln / 2 + 40; ++k)
            QVERIFY2(std::abs(sine.bin(k) - expected(k)) < tolerance,
                qPrintable(QStringLiteral("bin %1").arg(k)));
        std::vector<std::complex<double>> run(ln / 2 + 81);
        sine.bins(-40, run.size(), run.data());
        for (std::size_t j = 0; j < run.size(); ++j)
            QVERIFY2(std::abs(run[j] - expected(static_cast<long long>(j) - 40)) < tolerance,
                qPrintable(QStringLiteral("run, bin %1").arg(static_cast<long long>(j) - 40)));
    }

    // What the fit leaves of a long record, read from the record's bins, is
    // what a transform of it shows: the same second tone, or none.
    void closeToneFromBins_data()
    {
        QTest::addColumn<double>("secondAmplitude");
        QTest::newRow("a second tone at -40 dBc") << 10.0;
        QTest::newRow("none") << 0.0;
    }
    void closeToneFromBins()
    {
        QFETCH(double, secondAmplitude);
        const std::size_t n = std::size_t(1) << 18;
        const auto x = noisyTones(n, 10000.37, 10004.9, secondAmplitude, 0.5);
        const SineFitFigures fit = fitSine(x, 10000.4 / double(n));
        QVERIFY(fit.converged);
        SpectrumWorkspace record;
        SpectrumWorkspace residual;
        const CloseTone fromBins
            = findCloseTone(x, fit, n, 5, 13, 1000, residual, record.recordBins(x));
        const CloseTone transformed = findCloseTone(x, fit, n, 5, 13, 1000, residual);
        QCOMPARE(fromBins.found, secondAmplitude > 0);
        QCOMPARE(fromBins.found, transformed.found);
        QCOMPARE(fromBins.separated, transformed.separated);
        QVERIFY(std::abs(fromBins.bin - transformed.bin) < 1e-6);
        QVERIFY(std::abs(fromBins.tone.frequency - transformed.tone.frequency) * double(n) < 1e-6);
        QVERIFY(std::abs(fromBins.tone.amplitude - transformed.tone.amplitude) < 1e-9 * 1000);
    }

    // The bins no tone has taken, read in one pass: their power, count and
    // loudest are those of the bins taken one by one, lobes at either end
    // and runs of any length between them, equal powers the lower first.
    void freeBinsOfASpectrum_data()
    {
        QTest::addColumn<int>("bins");
        QTest::addColumn<int>("halfWidth");
        QTest::newRow("rectangular") << 4097 << 0;
        QTest::newRow("seven-term") << 4097 << 6;
        QTest::newRow("short") << 23 << 2;
    }
    void freeBinsOfASpectrum()
    {
        QFETCH(int, bins);
        QFETCH(int, halfWidth);
        const std::size_t n = std::size_t(bins);
        std::mt19937 random(3);
        std::exponential_distribution<double> noise(1);
        std::vector<double> power(n);
        for (double &p : power)
            p = std::round(noise(random) * 8) / 8; // with equal powers
        std::vector<bool> taken(n, false);
        for (const std::size_t centre : {std::size_t(0), n / 3, n / 3 + 3, n / 2 + 1, n - 1})
            takeTone(power, taken, centre, halfWidth);
        const FreeBins free = freeBins(power, taken, halfWidth);
        double sum = 0;
        std::vector<std::size_t> order;
        for (std::size_t k = 1; k < n; ++k)
            if (!taken[k]) {
                sum += power[k];
                order.push_back(k);
            }
        std::ranges::stable_sort(
            order, std::ranges::greater {}, [&](std::size_t k) { return power[k]; });
        QCOMPARE(free.count, order.size());
        QVERIFY(std::abs(free.power - sum) <= 1e-12 * sum);
        order.resize(std::min(order.size(), free.loudest.size()));
        QCOMPARE(free.loudest, order);
        QCOMPARE(free.loudest.size(),
            std::min(free.count, (listedSpurs - 1) * (2 * std::size_t(halfWidth) + 1) + 1));
    }

    // The largest bin found by lanes of maxima is the first of the largest,
    // wherever the range starts and ends against the lanes, equal powers in
    // other lanes before it or after.
    void largestBinIsTheFirst()
    {
        std::mt19937 random(5);
        std::uniform_int_distribution<int> level(0, 6);
        std::vector<double> power(41);
        for (int round = 0; round < 200; ++round) {
            for (double &p : power)
                p = level(random); // many equal
            for (std::size_t from = 0; from < 6; ++from)
                for (std::size_t to = from; to < power.size(); to += 3) {
                    const auto first = std::max_element(power.begin() + std::ptrdiff_t(from),
                        power.begin() + std::ptrdiff_t(to) + 1);
                    QCOMPARE(largestBin(power, from, to), std::size_t(first - power.begin()));
                }
        }
    }

    // The spectrum in dBFS from the natural logarithm, bin by bin as powerDbfs
    // gives it from log10: zero, denormals, the floor's edge and the peaks.
    void spectrumInDbfs_data()
    {
        QTest::addColumn<int>("bits");
        QTest::newRow("12 bits") << 12;
        QTest::newRow("16 bits") << 16;
        QTest::newRow("1 bit") << 1;
    }
    void spectrumInDbfs()
    {
        QFETCH(int, bits);
        std::vector<double> power = {0, 5e-324, 1e-310, std::numeric_limits<double>::min(), 1e-30,
            fullScalePower(bits) * 1e-30, fullScalePower(bits) * 1.0000001e-30, 0.5, 1,
            fullScalePower(bits), 4 * fullScalePower(bits), 1e300};
        std::mt19937 random(7);
        std::uniform_real_distribution<double> exponent(-40, 12);
        for (int i = 0; i < 2000; ++i)
            power.push_back(std::pow(10.0, exponent(random)));
        const std::vector<double> dbfs = spectrumDbfs(power, bits);
        QCOMPARE(dbfs.size(), power.size());
        for (std::size_t k = 0; k < power.size(); ++k)
            QVERIFY2(std::abs(dbfs[k] - powerDbfs(power[k], bits)) < 1e-9,
                qPrintable(QString::number(power[k])));
        QCOMPARE(dbfs[0], -300.0);
    }

    // Consecutive records averaged through the workspace's one buffer.
    void averagedRecords()
    {
        std::vector<double> x = cosine(256, 16, 100, 0);
        const std::vector<double> second = cosine(256, 16, 300, 50);
        x.insert(x.end(), second.begin(), second.end());
        const auto power = SpectrumWorkspace().powerSpectrum(x, 256, SpectrumWindow::Rectangular);
        QCOMPARE(power.size(), 129u);
        QVERIFY(std::abs(power[16] - (100 * 100 + 300 * 300) / 4.0) < 1e-6);
    }

    // The four-parameter fit stops once a step is small, yet lands where
    // further steps would settle: from a start up to half a bin away, near DC,
    // mid-band and near fs/2, on a whole number of cycles and between.
    void fitSettles_data()
    {
        QTest::addColumn<double>("cycles");
        QTest::addColumn<double>("startOffBins");
        for (const double cycles : {3.3, 1000.0, 1000.37, 32763.6})
            for (const double off : {0.45, -0.4, 0.02, 3e-6})
                QTest::newRow(
                    qPrintable(QStringLiteral("%1 cycles, %2 bins off").arg(cycles).arg(off)))
                    << cycles << off;
    }
    void fitSettles()
    {
        QFETCH(double, cycles);
        QFETCH(double, startOffBins);
        constexpr std::size_t n = 65536;
        const auto x = cosine(n, cycles, 1900, 2048);
        const SineFitFigures fit = fitSine(x, (cycles + startOffBins) / double(n));
        QVERIFY(fit.converged);
        QVERIFY2(std::abs(fit.frequency * double(n) - cycles) < 1e-9,
            qPrintable(QString::number(fit.frequency * double(n) - cycles)));
        // The last step's square is left: some 1e-10 of the amplitude.
        QVERIFY(std::abs(fit.amplitude - 1900) < 1e-6);
        QVERIFY(fit.residualRms < 1e-6);
    }

    // The sweep of the sine fit walks two blocks of 1024 samples at once and
    // a lone block at the end: every sample, in either lane and in a partial
    // block, must be fitted and have the sine taken off.
    void sineTakenOffEverySample_data()
    {
        QTest::addColumn<int>("samples");
        QTest::newRow("part of a block") << 1000;
        QTest::newRow("a pair of blocks") << 2048;
        QTest::newRow("a pair and a part") << 3000;
        QTest::newRow("two pairs and a part") << 4096 + 17;
        QTest::newRow("a pair and a lone block") << 3072;
    }
    void sineTakenOffEverySample()
    {
        QFETCH(int, samples);
        const auto x = cosine(std::size_t(samples), 37.25, 1500, 2000);
        const SineFitFigures fit = fitSine(x, (37.25 + 0.2) / samples);
        QVERIFY(fit.converged);
        QVERIFY(std::abs(fit.amplitude - 1500) < 1e-6);
        QVERIFY(fit.residualRms < 1e-6);
        std::vector<double> rest(7, 1.0); // another length: the buffer is made over
        withoutSine(x, fit, rest);
        QCOMPARE(rest.size(), std::size_t(samples));
        for (std::size_t n = 0; n < rest.size(); ++n)
            QVERIFY2(std::abs(rest[n] - 2000) < 1e-6, qPrintable(QString::number(n)));
        QCOMPARE(withoutSine(x, fit), rest);
    }

    // What a fit leaves is read from its sums where it stands clear of their
    // rounding: it must be what the fitted sine, taken off sample by sample,
    // leaves, in noisy codes and in codes only rounded, by either fit.
    void residualOfTheFit_data()
    {
        QTest::addColumn<int>("samples");
        QTest::addColumn<double>("cycles");
        QTest::addColumn<double>("noise");
        QTest::addColumn<bool>("atFrequency");
        for (const bool at : {false, true}) {
            const QString how = at ? QStringLiteral(", at its frequency") : QString();
            QTest::newRow(qPrintable("noisy" + how)) << 65536 << 4095.0 << 0.7 << at;
            QTest::newRow(qPrintable("noisy, between bins" + how)) << 65536 << 4095.37 << 0.7 << at;
            QTest::newRow(qPrintable("rounded only" + how)) << 262144 << 16383.0 << 0.0 << at;
            QTest::newRow(qPrintable("large noise" + how)) << 4096 << 201.6 << 300.0 << at;
        }
    }
    void residualOfTheFit()
    {
        QFETCH(int, samples);
        QFETCH(double, cycles);
        QFETCH(double, noise);
        QFETCH(bool, atFrequency);
        const std::size_t n = std::size_t(samples);
        std::mt19937 random(7);
        std::normal_distribution<double> gauss(0, noise > 0 ? noise : 1);
        std::vector<double> x = cosine(n, cycles, 2000, 2048);
        for (double &v : x)
            v = std::floor(v + (noise > 0 ? gauss(random) : 0));
        const SineFitFigures fit = atFrequency ? fitSineAtFrequency(x, cycles / double(n))
                                               : fitSine(x, (cycles + 0.1) / double(n));
        QVERIFY(fit.converged);
        double squares = 0;
        for (const double left : withoutSine(x, fit))
            squares += (left - fit.offset) * (left - fit.offset);
        const double swept = std::sqrt(squares / double(n));
        QVERIFY2(std::abs(fit.residualRms - swept) <= 1e-6 * swept,
            qPrintable(QStringLiteral("%1 against %2")
                           .arg(fit.residualRms, 0, 'g', 12)
                           .arg(swept, 0, 'g', 12)));
    }
};

QTEST_APPLESS_MAIN(TestSpectrumWorkspace)
#include "tst_spectrum_workspace.moc"

#include "CodeDensityAnalysis.h"
#include "FigureText.h"
#include "SweptRecord.h"
#include "WholeSweeps.h"

#include <QTest>

#include <algorithm>

Q_DECLARE_METATYPE(Sweeps)

class tst_WholeSweeps : public QObject
{
    Q_OBJECT

private slots:
    // A record is cut at its wraps, or at a triangle's peaks and troughs,
    // once a sweep however noisy; a turning point at either end counts only
    // where the record shows it whole.
    void cutsAtTurningPoints_data()
    {
        QTest::addColumn<Sweeps>("sweeps");
        QTest::addColumn<int>("whole");
        QTest::addColumn<double>("begin"); // in sweeps from the record's start
        QTest::newRow("rising, 44.3 from a wrap") << Sweeps {44.3} << 44 << 0.0;
        QTest::newRow("rising, noisy, glitches")
            << Sweeps {10.5, Sweeps::Rising, 0.6, 1, 3, 1001} << 10 << 0.4;
        QTest::newRow("falling, noisy") << Sweeps {7.25, Sweeps::Falling, 0.5, 2, 3} << 6 << 0.5;
        QTest::newRow("triangle from a clipped trough, glitches")
            << Sweeps {44.3, Sweeps::Triangle, 0, 1, 2, 997} << 43 << 1.0;
        QTest::newRow("triangle from mid-rise")
            << Sweeps {6.8, Sweeps::Triangle, 0.5, 3, 4} << 6 << 0.5;
        QTest::newRow("half a sweep") << Sweeps {0.5, Sweeps::Rising, 0.2} << 0 << 0.0;
    }
    void cutsAtTurningPoints()
    {
        QFETCH(Sweeps, sweeps);
        QFETCH(int, whole);
        QFETCH(double, begin);
        const std::vector<std::uint16_t> record = sweptRecord(sweeps);
        const SweepCut cut = wholeSweepsOf(record);
        QCOMPARE(cut.sweeps, whole);
        if (whole == 0)
            return;
        const double tolerance = 4 * sweeps.perCode * (1 + sweeps.noise);
        QVERIFY(std::abs(double(cut.begin) - begin * 4096 * sweeps.perCode) <= tolerance);
        QVERIFY(std::abs(double(cut.end) - (begin + whole) * 4096 * sweeps.perCode) <= tolerance);
    }

    // A ramp captured for 44.3 sweeps: its histogram alone withholds the
    // INL, the record gives it from the whole sweeps and says so. A record
    // that is not the histogram's samples is not used.
    void linearityFromWholeSweeps()
    {
        const std::vector<std::uint16_t> record = sweptRecord({44.3});
        const std::vector<std::uint64_t> counts = countsOf(record);
        const CodeDensityOptions ramp {TestKind::Ramp, {}, 0.5};
        QVERIFY(!analyseCodeDensity(counts, ramp).linearity.partialSweep.empty());

        const CodeDensityResult r = analyseCodeDensity(counts, record, {});
        const LinearityFigures &l = r.linearity;
        QVERIFY2(r.kind == TestKind::Ramp && l.partialSweep.empty(), l.partialSweep.c_str());
        QCOMPARE(l.wholeSweeps, std::optional<int>(44));
        QCOMPARE(l.samplesLeftOut, std::uint64_t(record.size() - 44 * 4096));
        QVERIFY(std::max(-l.inlEndPointMin.value, l.inlEndPointMax.value) < 0.01);
        QVERIFY(std::ranges::any_of(figureRows(r), [](const FigureRow &row) {
            return row.name == "Sweeps"
                && row.value
                == "linearity from 44 whole sweeps, 1229 samples of partial sweeps left out";
        }));

        const auto shorter = std::span(record).first(record.size() - 1);
        const CodeDensityResult unmatched = analyseCodeDensity(counts, shorter, ramp);
        QVERIFY(!unmatched.linearity.wholeSweeps && !unmatched.linearity.partialSweep.empty());
    }
};

QTEST_APPLESS_MAIN(tst_WholeSweeps)
#include "tst_whole_sweeps.moc"

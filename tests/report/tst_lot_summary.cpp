#include "FigureStatistics.h"
#include "LotSummary.h"
#include "RecordTime.h"

#include <QTest>

#include <cmath>

namespace {

TestRecord record(std::int64_t id, const char *serial, const char *station, const char *time,
    std::optional<bool> pass, double dnl = 0.5)
{
    TestRecord r;
    r.id = id;
    r.identity = {serial, "L1", "AD12", "op", station};
    r.startTime = time;
    r.pass = pass;
    r.frames = 1000;
    r.figures = {{"dnl_max_abs_lsb", dnl}};
    r.limits
        = {{"max_dnl", "dnl_max_abs_lsb", 0.9, true, dnl, dnl <= 0.9, "command line", {}, false}};
    return r;
}

} // namespace

class LotSummaryTest : public QObject
{
    Q_OBJECT

private slots:
    void lastResultCounts();
    void cpk_data();
    void cpk();
    void isoTimes();
    void capturesCountReanalysesApart();
    void verdictsWithinTheUncertainty();
    void individualsLimits();
};

// A board failed at A, then passed at B, recorded out of order and with a
// zone offset: the lot counts its pass once, A keeps the failure, B the pass.
// A board measured without limits is neither, and stays out of the yield.
void LotSummaryTest::lastResultCounts()
{
    const std::vector<TestRecord> records {
        record(3, "SN2", "B", "2026-03-01T11:00:00.000+02:00", true), // 09:00 UTC: last
        record(1, "SN2", "A", "2026-03-01T08:00:00.000Z", false, 1.2),
        record(2, "SN1", "A", "2026-03-01T08:30:00.000Z", true),
        record(4, "", "A", "2026-03-01T10:00:00.000Z", false), // no serial: boards of
        record(5, "", "A", "2026-03-01T10:01:00.000Z", true), // their own
        record(6, "SN3", "B", "2026-03-01T10:02:00.000Z", std::nullopt),
    };
    const std::vector<LotSummary> lots = summarizeLots(records);
    QCOMPARE(lots.size(), std::size_t(1));
    const LotSummary &lot = lots.front();
    QCOMPARE(lot.records, std::size_t(6));
    QCOMPARE(lot.total.boards, std::size_t(5));
    QCOMPARE(lot.total.passed, std::size_t(3));
    QCOMPARE(lot.total.failed, std::size_t(1));
    QCOMPARE(lot.total.unjudged, std::size_t(1));
    QCOMPARE(lot.total.yield(), 0.75);
    QCOMPARE(lot.stations.size(), std::size_t(2));
    QCOMPARE(lot.stations[0].station, std::string("A"));
    QCOMPARE(lot.stations[0].boards, std::size_t(4));
    QCOMPARE(lot.stations[0].failed, std::size_t(2));
    QCOMPARE(lot.stations[1].passed, std::size_t(1));
    QCOMPARE(lot.stations[1].unjudged, std::size_t(1));
    QCOMPARE(lot.stations[1].yield(), 1.0);

    QCOMPARE(lot.retested.size(), std::size_t(1));
    QCOMPARE(lot.retested[0].board.serial, std::string("SN2"));
    QCOMPARE(lot.retested[0].attempts.size(), std::size_t(2));
    QCOMPARE(lot.retested[0].attempts[0].recordId, std::int64_t(1));
    QVERIFY(lot.retested[0].attempts[1].pass);

    QCOMPARE(lot.failedBoards.size(), std::size_t(1));
    QCOMPARE(lot.failedBoards[0].board.text(), std::string("record 4 (no serial)"));
    // The figures are the last results': SN2's failing 1.2 is not among them.
    QCOMPARE(lot.figures.size(), std::size_t(1));
    QCOMPARE(lot.figures[0].count, std::size_t(5));
    QCOMPARE(lot.figures[0].maximum, 0.5);
    QCOMPARE(lot.figures[0].upperLimit, std::optional<double>(0.9));
}

void LotSummaryTest::cpk_data()
{
    QTest::addColumn<std::vector<double>>("values");
    QTest::addColumn<std::optional<double>>("lower");
    QTest::addColumn<std::optional<double>>("upper");
    QTest::addColumn<std::optional<double>>("sigma");
    QTest::addColumn<std::optional<double>>("cpk");
    const std::vector<double> values {1, 2, 3, 4, 5}; // mean 3, sigma sqrt(2.5)
    const double sigma = std::sqrt(2.5);
    QTest::newRow("upper") << values << std::optional<double>() << std::optional(9.0)
                           << std::optional(sigma) << std::optional(6 / (3 * sigma));
    QTest::newRow("lower") << values << std::optional(1.5) << std::optional<double>()
                           << std::optional(sigma) << std::optional(1.5 / (3 * sigma));
    QTest::newRow("two-sided: the nearer") << values << std::optional(0.0) << std::optional(10.0)
                                           << std::optional(sigma) << std::optional(1 / sigma);
    QTest::newRow("no limit") << values << std::optional<double>() << std::optional<double>()
                              << std::optional(sigma) << std::optional<double>();
    QTest::newRow("sigma 0") << std::vector<double> {0.1, 0.1, 0.1} << std::optional(0.0)
                             << std::optional(1.0) << std::optional(0.0) << std::optional<double>();
    QTest::newRow("one value") << std::vector<double> {0.3} << std::optional<double>()
                               << std::optional(1.0) << std::optional<double>()
                               << std::optional<double>();
}

void LotSummaryTest::cpk()
{
    QFETCH(std::vector<double>, values);
    QFETCH(std::optional<double>, lower);
    QFETCH(std::optional<double>, upper);
    QFETCH(std::optional<double>, sigma);
    QFETCH(std::optional<double>, cpk);
    const FigureStatistics statistics = describeFigure("x", values, lower, upper);
    QCOMPARE(statistics.sigma.has_value(), sigma.has_value());
    if (sigma)
        QVERIFY(std::fabs(*statistics.sigma - *sigma) < 1e-12);
    QCOMPARE(statistics.cpk.has_value(), cpk.has_value());
    if (cpk)
        QVERIFY2(std::fabs(*statistics.cpk - *cpk) < 1e-12,
            qPrintable(QString::number(*statistics.cpk)));
}

void LotSummaryTest::isoTimes()
{
    QCOMPARE(parseIsoTime("1970-01-01"), std::optional<std::int64_t>(0));
    QCOMPARE(parseIsoTime("2026-03-01T08:00:00.5Z"), parseIsoTime("2026-03-01T09:00:00.500+01:00"));
    QCOMPARE(parseIsoTime("2024-02-29T00:00"), std::optional<std::int64_t>(1709164800000));
    for (const char *bad : {"", "2026-02-29", "2026-13-01", "2026-03-01T24:00", "01.03.2026",
             "2026-03-01T08:00:00Zjunk"})
        QVERIFY2(!parseIsoTime(bad), bad);
}

// A board that failed its capture stays failed when its file is analysed
// again and passes; a board analysed from a file only counts by it. The
// first-pass yield takes each board's first capture.
void LotSummaryTest::capturesCountReanalysesApart()
{
    std::vector<TestRecord> records {
        record(1, "SN1", "A", "2026-03-01T08:00:00Z", false, 1.2),
        record(2, "SN1", "A", "2026-03-01T09:00:00Z", true, 0.5), // its file again
        record(3, "SN2", "A", "2026-03-01T08:10:00Z", false, 1.1),
        record(4, "SN2", "B", "2026-03-01T08:20:00Z", true, 0.4), // retested: passes
        record(5, "SN3", "A", "2026-03-01T08:30:00Z", true, 0.3), // a file only
    };
    for (TestRecord &r : records)
        r.origin = r.id == 2 || r.id == 5 ? "analysis" : "capture";
    const LotSummary lot = summarizeLots(records).front();
    QCOMPARE(lot.records, std::size_t(5));
    QCOMPARE(lot.captures, std::size_t(4));
    QCOMPARE(lot.total.boards, std::size_t(3));
    QCOMPARE(lot.total.passed, std::size_t(2)); // SN2 and SN3; SN1 stays failed
    QCOMPARE(lot.firstPass.passed, std::size_t(1)); // SN3 alone
    QCOMPARE(lot.failedBoards.size(), std::size_t(1));
    QCOMPARE(lot.failedBoards[0].last.recordId, std::int64_t(1));
    QCOMPARE(lot.reanalyses.size(), std::size_t(2));
    QCOMPARE(lot.reanalyses[0].attempt.recordId, std::int64_t(5));
    QVERIFY(lot.reanalyses[0].counts);
    QVERIFY(!lot.reanalyses[1].counts && lot.reanalyses[1].attempt.pass);
    // SN2 counts at each station: 4 station boards against 3.
    QCOMPARE(lot.stationBoards(), std::size_t(4));
    QCOMPARE(lot.histories.size(), std::size_t(3));
    QCOMPARE(lot.histories[1].attempts.size(), std::size_t(2));
    // The figures and the run charts take the counting tests alone.
    QCOMPARE(lot.figures[0].maximum, 1.2);
    QCOMPARE(lot.figures[0].verdicts, (std::vector<std::optional<bool>> {false, true, true}));
    QCOMPARE(lot.runs.size(), std::size_t(2));
    QCOMPARE(lot.runs[0].station, std::string("A"));
    QCOMPARE(lot.runs[0].points.size(), std::size_t(3));
    QVERIFY(!lot.runs[0].points[0].pass);
    QCOMPARE(lot.failuresByLimit.size(), std::size_t(1));
    QCOMPARE(lot.failuresByLimit[0].failures, std::size_t(2));
}

void LotSummaryTest::verdictsWithinTheUncertainty()
{
    std::vector<TestRecord> records;
    for (int i = 1; i <= 4; ++i) {
        TestRecord r
            = record(i, ("SN" + std::to_string(i)).c_str(), "A", "2026-03-01T08:00:00Z", true);
        r.limits.push_back({"max_inl", "inl_worst_lsb", 3, true, 2.9, true, "file", 0.2, i != 2});
        if (i == 4)
            r.limits.back().uncertainty.reset(); // an older station's row
        records.push_back(r);
    }
    const LotSummary lot = summarizeLots(records).front();
    QCOMPARE(lot.uncertainVerdicts.size(), std::size_t(2));
    const UncertainVerdicts &inl = lot.uncertainVerdicts[1];
    QCOMPARE(inl.limit, std::string("max_inl"));
    QCOMPARE(inl.verdicts, std::size_t(3));
    QCOMPARE(inl.within, std::size_t(2));
    QCOMPARE(inl.unknown, std::size_t(1));
    QCOMPARE(lot.uncertainVerdicts[0].unknown, std::size_t(4)); // max_dnl: none known
}

void LotSummaryTest::individualsLimits()
{
    QVERIFY(!::individualsLimits({1.0}));
    const std::optional<ControlLimits> limits = ::individualsLimits({1, 2, 4});
    QVERIFY(limits);
    // Moving ranges 1 and 2: 1.5 on average, times 2.66.
    QCOMPARE(limits->centre, 7.0 / 3);
    QCOMPARE(limits->upper, 7.0 / 3 + 3.99);
    QCOMPARE(limits->lower, 7.0 / 3 - 3.99);
}

QTEST_APPLESS_MAIN(LotSummaryTest)
#include "tst_lot_summary.moc"

#include "LotSummary.h"
#include "ReportCsv.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The CSV report read by Python's csv module (and pandas where installed),
// as a station's analyst reads it: one table, every row as wide as the header.
class ReportCsvTest : public QObject
{
    Q_OBJECT

private slots:
    void readsAsOneTable_data();
    void readsAsOneTable();
};

namespace {

// A board's test; `broken` limits of two (0: it failed for another reason).
struct Test
{
    std::string serial, lot, station;
    bool pass = true;
    int broken = 0;
};

} // namespace

void ReportCsvTest::readsAsOneTable_data()
{
    QTest::addColumn<std::vector<Test>>("tests"); // oldest first
    QTest::addColumn<QString>("rows"); // rows of each table
    QTest::newRow("one passing board")
        << std::vector<Test> {{"SN1", "L1", "s1"}} << "figure=1 yield=2";
    QTest::newRow("a board that broke two limits")
        << std::vector<Test> {{"SN1", "L1", "s1", false, 2}} << "failure=2 figure=2 yield=2";
    // Commas, quotes, line breaks and formulas in the texts; a retest; a
    // failure without a broken limit; two lots.
    const std::string lot = "=HYPERLINK(\"x\")", station = "st \"1\"\nnext";
    QTest::newRow("hostile texts, two lots") << std::vector<Test> {{"a,b", lot, station, false, 1},
        {"a,b", lot, station}, {"c", lot, "s2", false, 0}, {"d", "L2", "-s1"}}
                                             << "failure=1 figure=2 retest=2 yield=5";
}

void ReportCsvTest::readsAsOneTable()
{
    QFETCH(std::vector<Test>, tests);
    QFETCH(QString, rows);
    if (QStringLiteral(PYTHON3_PATH).isEmpty())
        QSKIP("python3 is not installed");
    std::vector<TestRecord> records;
    for (const Test &test : tests) {
        TestRecord &r = records.emplace_back();
        r.id = std::int64_t(records.size());
        r.identity = {test.serial, test.lot, "p", "o", test.station};
        r.startTime = "2026-03-01T08:00:0" + std::to_string(r.id) + ".000Z";
        r.pass = test.pass;
        r.figures = {{"dnl_worst_lsb", 0.5}, {"enob_bits", 9.0}};
        r.figures.resize(test.broken > 1 ? 2 : 1);
        r.limits = {{"max_dnl", "dnl_worst_lsb", 0.2, true, 0.5, false, "file", {}, false},
            {"min_enob", "enob_bits", 10, false, 9.0, false, "file", {}, false}};
        r.limits.resize(std::size_t(test.broken));
    }
    const QTemporaryDir folder;
    QFile file(folder.filePath("lot.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(reportCsv(summarizeLots(records))));
    file.close();

    QProcess python;
    python.start(QStringLiteral(PYTHON3_PATH), {QStringLiteral(CSV_SHAPE_SCRIPT), file.fileName()});
    QVERIFY(python.waitForFinished(60000));
    const QString said = QString::fromUtf8(python.readAll()).trimmed();
    QVERIFY2(python.exitCode() == 0, qPrintable(said + python.readAllStandardError()));
    QCOMPARE(said, rows);
}

QTEST_APPLESS_MAIN(ReportCsvTest)
#include "tst_report_csv.moc"

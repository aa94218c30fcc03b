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

struct Board
{
    std::string serial;
    std::string lot;
    std::string station;
    bool pass = true;
    int brokenLimits = 0; // of a failed board: 0 means it failed for another reason
};

TestRecord record(const Board &board, std::int64_t id)
{
    TestRecord r;
    r.id = id;
    r.identity = {board.serial, board.lot, "p", "o", board.station};
    r.startTime = "2026-03-01T08:00:0" + std::to_string(id) + ".000Z";
    r.pass = board.pass;
    r.figures = {{"dnl_worst_lsb", 0.1 * double(id)}};
    if (board.brokenLimits > 1)
        r.figures.push_back({"enob_bits", 9.0});
    r.limits = {{"max_dnl", "dnl_worst_lsb", 0.9, true, 0.1 * double(id), true, "file"}};
    if (board.brokenLimits > 0)
        r.limits[0] = {"max_dnl", "dnl_worst_lsb", 0.05, true, 0.1 * double(id), false, "file"};
    if (board.brokenLimits > 1)
        r.limits.push_back({"min_enob", "enob_bits", 10, false, 9.0, false, "file"});
    return r;
}

} // namespace

void ReportCsvTest::readsAsOneTable_data()
{
    QTest::addColumn<std::vector<Board>>("boards"); // oldest test first
    QTest::addColumn<QString>("rows"); // rows of each table

    QTest::newRow("one passing board")
        << std::vector<Board> {{"SN1", "L1", "s1"}} << "figure=1 yield=2";
    QTest::newRow("a board that broke two limits")
        << std::vector<Board> {{"SN1", "L1", "s1", false, 2}} << "failure=2 figure=2 yield=2";
    // Commas, quotes, line breaks and formulas in the texts; a retest; a
    // failure without a broken limit; two lots.
    QTest::newRow("hostile texts, two lots") << std::vector<Board> {
        {"a,b", "=HYPERLINK(\"x\")", "st \"1\"\nnext", false, 1},
        {"a,b", "=HYPERLINK(\"x\")", "st \"1\"\nnext"}, {"c", "=HYPERLINK(\"x\")", "s2", false, 0},
        {"d", "L2", "-s1"}} << "failure=1 figure=2 retest=2 yield=5";
}

void ReportCsvTest::readsAsOneTable()
{
    QFETCH(std::vector<Board>, boards);
    QFETCH(QString, rows);
    if (QStringLiteral(PYTHON3_PATH).isEmpty())
        QSKIP("python3 is not installed");
    std::vector<TestRecord> records;
    for (const Board &board : boards)
        records.push_back(record(board, std::int64_t(records.size()) + 1));
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

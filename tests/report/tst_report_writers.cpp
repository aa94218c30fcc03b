#include "LotSummary.h"
#include "ReportCsv.h"
#include "ReportFormat.h"
#include "ReportHtml.h"
#include "ReportJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

// A failing board whose every text is hostile.
std::vector<LotSummary> hostileLot()
{
    TestRecord r;
    r.id = 7;
    r.identity = {"<script>alert(1)</script>", "=cmd|' /C calc'!A0", "p", "o",
        "st\"1\n<img src=x onerror=alert(1)>"};
    r.startTime = "2026-03-01T08:00:00.000Z";
    r.frames = 10;
    r.figures = {{"inl<i>", 2.0}};
    r.limits = {{"max_inl", "inl<i>", 1.5, true, 2.0, false, "file"}};
    TestRecord again = r;
    again.id = 8;
    again.identity.serial = "plain";
    again.figures[0].value = 1.0;
    again.limits[0].value = 1.0;
    again.pass = again.limits[0].pass = true;
    return summarizeLots({r, again});
}

} // namespace

class ReportWritersTest : public QObject
{
    Q_OBJECT

private slots:
    void htmlEscapesDatabaseText();
    void csvQuotesAndDefusesFormulas();
    void jsonIsValid();
};

void ReportWritersTest::htmlEscapesDatabaseText()
{
    const std::string html = reportHtml(hostileLot(), {"<lot>", "", "now", "1"});
    QVERIFY(html.find("<script") == std::string::npos);
    QVERIFY(html.find("<i>") == std::string::npos);
    QVERIFY(html.find("<img") == std::string::npos);
    QVERIFY(html.find("&lt;script&gt;alert(1)&lt;/script&gt;") != std::string::npos);
    QVERIFY(html.find("st&quot;1") != std::string::npos);
    // Nothing is fetched from anywhere.
    for (const char *reference : {"http://", "https://", "<link", "<iframe", "@import", "url("})
        QVERIFY2(html.find(reference) == std::string::npos, reference);
    QCOMPARE(htmlEscaped("a&b'\x01\xff"), std::string("a&amp;b&#39;\xEF\xBF\xBD"));
}

void ReportWritersTest::csvQuotesAndDefusesFormulas()
{
    QCOMPARE(csvText("SN1"), std::string("SN1"));
    QCOMPARE(csvText("a,b"), std::string("\"a,b\""));
    QCOMPARE(csvText("say \"hi\"\n"), std::string("\"say \"\"hi\"\"\n\""));
    QCOMPARE(csvText("=1+2"), std::string("'=1+2"));
    QCOMPARE(csvText("-2"), std::string("'-2"));
    QCOMPARE(csvText("@SUM(A1)"), std::string("'@SUM(A1)"));
    const std::string csv = reportCsv(hostileLot());
    QVERIFY(csv.find("\r\nyield,'=cmd|' /C calc'!A0,,2,1,1,0.5\r\n") != std::string::npos);
    QVERIFY(csv.find(",\"st\"\"1\n<img src=x onerror=alert(1)>\",") != std::string::npos);
    QVERIFY(
        csv.find("failure,'=cmd|' /C calc'!A0,<script>alert(1)</script>,7,") != std::string::npos);
}

void ReportWritersTest::jsonIsValid()
{
    std::vector<LotSummary> lots = hostileLot();
    lots[0].lot += "\x01\xc3"; // a control character and a cut UTF-8 sequence
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromStdString(reportJson(lots, {"", "2026-03-01", "now", "1"})), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonObject lot = document.object()["lots"].toArray()[0].toObject();
    QCOMPARE(lot["lot"].toString(), QString::fromUtf8("=cmd|' /C calc'!A0\x01\xEF\xBF\xBD"));
    QCOMPARE(lot["failed"].toInt(), 1);
    QVERIFY(lot["figures"].toArray()[0].toObject()["cpk"].isDouble());
    QCOMPARE(lot["failed_boards"]
                 .toArray()[0]
                 .toObject()["failed_limits"]
                 .toArray()[0]
                 .toObject()["value"]
                 .toDouble(),
        2.0);
    QVERIFY(document.object()["lot_filter"].isNull());
}

QTEST_APPLESS_MAIN(ReportWritersTest)
#include "tst_report_writers.moc"

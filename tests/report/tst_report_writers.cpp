#include "LotSummary.h"
#include "ReportCsv.h"
#include "ReportFormat.h"
#include "ReportHtml.h"
#include "ReportJson.h"
#include "ReportText.h"

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

// Two boards with a limited measure, a limited count, a bookkeeping field and
// a key the catalog does not know.
std::vector<LotSummary> catalogLot()
{
    std::vector<TestRecord> records;
    for (const double dnl : {0.25, 0.5}) {
        TestRecord r;
        r.id = std::int64_t(records.size()) + 1;
        r.identity.serial = "SN" + std::to_string(r.id);
        r.frames = 1000;
        r.figures = {{"dnl_worst_lsb", dnl}, {"missing_code_count", dnl * 4}, {"samples", 1000},
            {"old_figure", dnl}};
        r.limits = {{"max_dnl", "dnl_worst_lsb", 0.9, true, dnl, true, "file"},
            {"max_missing", "missing_code_count", 3, true, dnl * 4, true, "file"}};
        r.pass = true;
        records.push_back(r);
    }
    return summarizeLots(records);
}

} // namespace

class ReportWritersTest : public QObject
{
    Q_OBJECT

private slots:
    void htmlEscapesDatabaseText();
    void csvQuotesAndDefusesFormulas();
    void jsonIsValid();
    void figuresNamedByTheCatalog();
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
    QVERIFY(csv.find("\r\nyield,'=cmd|' /C calc'!A0,,2,1,1,0.5,,") != std::string::npos);
    QVERIFY(csv.find(",\"st\"\"1\n<img src=x onerror=alert(1)>\",") != std::string::npos);
    QVERIFY(csv.find("failure,'=cmd|' /C calc'!A0,\"st") != std::string::npos);
    QVERIFY(csv.find(",<script>alert(1)</script>,7,") != std::string::npos);
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

// Text and HTML name a figure by its label and unit and write it with its
// decimals; only a figure held to a limit gets a chart; a count gets no Cpk.
// CSV and JSON keep the key and add the label and unit beside it.
void ReportWritersTest::figuresNamedByTheCatalog()
{
    const std::vector<LotSummary> lots = catalogLot();
    const std::string text = reportText(lots);
    const std::string html = reportHtml(lots, {"", "", "now", "1"});
    for (const std::string &report : {text, html}) {
        for (const char *shown :
            {"Worst |DNL| (LSB)", "Missing codes", "Samples", "old_figure", "0.250", "0.900"})
            QVERIFY2(report.find(shown) != std::string::npos, shown);
        for (const char *key : {"dnl_worst_lsb", "missing_code_count", "samples"})
            QVERIFY2(report.find(key) == std::string::npos, key);
    }
    QVERIFY(html.find("Histogram of Worst |DNL| (LSB)") != std::string::npos);
    QVERIFY(html.find("Histogram of Missing codes") != std::string::npos);
    QVERIFY(html.find("Histogram of Samples") == std::string::npos);
    QVERIFY(html.find("Histogram of old_figure") == std::string::npos);

    const std::string csv = reportCsv(lots);
    QVERIFY(csv.find("figure,,,,,,,dnl_worst_lsb,2,") != std::string::npos);
    QVERIFY(csv.find(",Worst |DNL|,LSB,") != std::string::npos);
    const QJsonArray figures
        = QJsonDocument::fromJson(QByteArray::fromStdString(reportJson(lots, {"", "", "now", "1"})))
              .object()["lots"]
              .toArray()[0]
              .toObject()["figures"]
              .toArray();
    QCOMPARE(figures.size(), 4);
    for (const QJsonValue &each : figures) {
        const QJsonObject figure = each.toObject();
        const QString name = figure["name"].toString();
        if (name == "dnl_worst_lsb") {
            QCOMPARE(figure["label"].toString(), QString("Worst |DNL|"));
            QCOMPARE(figure["unit"].toString(), QString("LSB"));
            QVERIFY(figure["cpk"].isDouble());
        } else if (name == "missing_code_count") {
            QVERIFY(figure["cpk"].isNull());
        } else if (name == "old_figure") {
            QCOMPARE(figure["label"].toString(), name);
        }
    }
}

QTEST_APPLESS_MAIN(ReportWritersTest)
#include "tst_report_writers.moc"

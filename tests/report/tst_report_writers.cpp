#include "ChartAxis.h"
#include "FigureKeys.h"
#include "JsonText.h"
#include "LotSummary.h"
#include "ReportCsv.h"
#include "ReportFormat.h"
#include "ReportHtml.h"
#include "ReportJson.h"
#include "ReportText.h"
#include "TrendCharts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <cmath>
#include <set>

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
    r.pass = false;
    r.figures = {{"inl<i>", 2.0}};
    r.limits = {{"max_inl", "inl<i>", 1.5, true, 2.0, false, "file", {}, false}};
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
        r.limits = {{"max_dnl", "dnl_worst_lsb", 0.9, true, dnl, true, "file", {}, false},
            {"max_missing", "missing_code_count", 3, true, dnl * 4, true, "file", {}, false}};
        r.pass = true;
        records.push_back(r);
    }
    return summarizeLots(records);
}

// 20 boards: 17 without missing codes, 3 with two; each board's INL and its
// verdict, with the INL limit of 3 within the uncertainty of most. SN1 is
// tested again at a second station.
std::vector<LotSummary> floorLot()
{
    std::vector<TestRecord> records;
    for (int i = 1; i <= 21; ++i) {
        TestRecord r;
        r.id = i;
        r.origin = "capture";
        r.identity = {"SN" + std::to_string(i == 21 ? 1 : i), "LOT", "p", "o", i == 21 ? "B" : "A"};
        r.startTime = "2026-03-01T08:" + std::to_string(10 + i) + ":00Z";
        r.frames = 1000;
        const double missing = i % 7 == 0 ? 2 : 0, inl = 2 + 0.2 * (i % 6);
        r.figures = {{"missing_code_count", missing}, {FigureKey::inlEndPointWorstLsb, inl}};
        r.limits = {{"max_missing", "missing_code_count", 0, true, missing, missing == 0, "file",
                        {}, false},
            {"max_inl", FigureKey::inlEndPointWorstLsb, 3, true, inl, inl <= 3, "file", 1.5,
                i != 5}};
        r.pass = missing == 0 && inl <= 3;
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
    void axisTicks_data();
    void axisTicks();
    void chartsBoundedForAnyValues();
    void lotReportForTheEngineer();
    void streamedAsWhole_data();
    void streamedAsWhole();
    void spillKeepsRows_data();
    void spillKeepsRows();
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

void ReportWritersTest::axisTicks_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("minimumSpan");
    const double big = 1e16;
    QTest::newRow("round range") << 0.0 << 1.0 << 0.1;
    QTest::newRow("equal values") << 15.05 << 15.05 << 0.1;
    QTest::newRow("nearly equal") << 15.05 << std::nextafter(15.05, 16.0) << 0.0;
    QTest::newRow("1e16, two ULPs apart")
        << big << std::nextafter(std::nextafter(big, 2 * big), 2 * big) << 4.0;
    QTest::newRow("no span at all") << 0.0 << 0.0 << 0.0;
    QTest::newRow("huge range") << -1e300 << 1e300 << 0.0;
    QTest::newRow("not finite") << 0.0 << std::nan("") << 1.0;
}

// However near or far apart the values lie, the axis has a few round ticks
// that cover them and print apart.
void ReportWritersTest::axisTicks()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, minimumSpan);
    const ChartAxis axis = chartAxis(low, high, minimumSpan);
    QVERIFY2(axis.ticks.size() >= 2 && axis.ticks.size() <= 12,
        qPrintable(QString::number(axis.ticks.size())));
    std::set<std::string> labels;
    for (const double tick : axis.ticks)
        labels.insert(axis.label(tick));
    QCOMPARE(labels.size(), axis.ticks.size());
    QCOMPARE(chartAxis(-10, 33, 1).label(40), std::string("40")); // never "4e+01"
    if (std::isfinite(high)) {
        QVERIFY(axis.low <= low && axis.high >= high);
        QVERIFY(axis.high - axis.low >= minimumSpan * (1 - 1e-9));
    }
}

// A large count differing between boards by the double's last digits, as a
// long run's sample count does: every chart comes out, small.
void ReportWritersTest::chartsBoundedForAnyValues()
{
    const double big = 1e16, next = std::nextafter(big, 2 * big);
    const std::vector<double> values {big, next, std::nextafter(next, 2 * big)};
    for (const char *figure :
        {FigureKey::missingCodeCount, FigureKey::inlEndPointWorstLsb, "old_count"}) {
        std::vector<TestRecord> records;
        for (const double value : values) {
            TestRecord r;
            r.id = std::int64_t(records.size()) + 1;
            r.identity.serial = "SN" + std::to_string(r.id);
            r.startTime = "2026-03-01T08:0" + std::to_string(r.id) + ":00Z";
            r.figures = {{figure, value}};
            r.limits = {{"max_x", figure, 2e16, true, value, true, "file", {}, false}};
            r.pass = true;
            records.push_back(r);
        }
        const std::vector<LotSummary> lots = summarizeLots(records);
        const std::string html = reportHtml(lots, {});
        QVERIFY2(html.size() < 200000, figure);
        QVERIFY(html.find("Histogram of") != std::string::npos);
        QVERIFY(html.find("Run chart of") != std::string::npos);
    }
}

// The HTML and text a quality engineer reads: bins coloured by each board's
// own verdict, station counts that say why they add up to more than the lot,
// the verdicts within the uncertainty, first-pass beside final yield, and the
// charts over time.
void ReportWritersTest::lotReportForTheEngineer()
{
    const std::vector<LotSummary> lots = floorLot();
    const std::string html = reportHtml(lots, {});
    const std::string text = reportText(lots);
    // The zero-missing-codes bin holds 17 passing boards, none drawn failed;
    // the 2-codes bin the 3 failed ones.
    QVERIFY(html.find("<title>17 boards at 0, passed</title>") != std::string::npos);
    QVERIFY(html.find("boards at 0, failed") == std::string::npos);
    QVERIFY(html.find("<title>3 boards at 2, failed</title>") != std::string::npos);
    for (const std::string &report : {html, text}) {
        QVERIFY(report.find("a board tested at two stations counts at each") != std::string::npos);
        QVERIFY(report.find("20 of 21 verdicts within the uncertainty") != std::string::npos);
        QVERIFY(report.find("a retest may turn them") != std::string::npos);
        QVERIFY(report.find("First-pass yield") != std::string::npos
            || report.find("first-pass yield") != std::string::npos);
    }
    QVERIFY(html.find("Run chart of Worst |INL| (end-point) (LSB) at A") != std::string::npos);
    QVERIFY(html.find("Failures by limit") != std::string::npos);
    QVERIFY(html.find("Board history") != std::string::npos);
    // Every chart scales down to a phone's width, every table scrolls.
    QVERIFY(html.find("svg.chart { max-width: 100%") != std::string::npos);
    QVERIFY(html.find("<table") != std::string::npos
        && html.find("<div class=\"scroll\"><table") != std::string::npos);
    const QJsonObject lot = QJsonDocument::fromJson(QByteArray::fromStdString(reportJson(lots, {})))
                                .object()["lots"]
                                .toArray()[0]
                                .toObject();
    QCOMPARE(lot["station_boards"].toInt(), 21);
    QCOMPARE(lot["first_pass"].toObject()["passed"].toInt(), 18);
    QCOMPARE(
        lot["verdicts_within_uncertainty"].toArray()[0].toObject()["within_uncertainty"].toInt(),
        20);
}

void ReportWritersTest::streamedAsWhole_data()
{
    QTest::addColumn<std::vector<LotSummary>>("lots");
    QTest::newRow("no lot") << std::vector<LotSummary>();
    QTest::newRow("one lot") << floorLot();
    std::vector<LotSummary> three = hostileLot();
    for (std::vector<LotSummary> more : {catalogLot(), floorLot()})
        three.insert(three.end(), more.begin(), more.end());
    QTest::newRow("three lots") << three;
}

// The reports a file gets lot by lot are the ones made whole: the CSV's
// tables each in one run whatever the lots, the JSON laid out as one
// document.
void ReportWritersTest::streamedAsWhole()
{
    QFETCH(std::vector<LotSummary>, lots);
    std::string csv;
    CsvReport spilled([&csv](std::string_view piece) { csv += piece; }, RowSpill::Place::File);
    for (const LotSummary &lot : lots)
        spilled.add(lot);
    spilled.finish();
    QVERIFY(spilled.error().empty());
    QCOMPARE(csv, reportCsv(lots));
    std::size_t previous = 0;
    for (const char *table : {"\nyield,", "\nfigure,", "\nfailure,", "\nretest,"}) {
        const std::size_t first = csv.find(table), last = csv.rfind(table);
        if (first == std::string::npos)
            continue;
        QVERIFY2(first >= previous, table);
        previous = last;
    }

    const std::string json = reportJson(lots, {"L", "", "now", "1"});
    QCOMPARE(jsonText(nlohmann::ordered_json::parse(json), 2), json);
    QCOMPARE(nlohmann::json::parse(json)["lots"].size(), lots.size());
}

void ReportWritersTest::spillKeepsRows_data()
{
    QTest::addColumn<RowSpill::Place>("place");
    QTest::addColumn<int>("rows");
    for (const auto &[name, place] :
        {std::pair("memory", RowSpill::Place::Memory), std::pair("file", RowSpill::Place::File)}) {
        // None; a few; more than one piece read back from the file.
        for (const int rows : {0, 3, 20000})
            QTest::addRow("%s, %d rows", name, rows) << place << rows;
    }
}

void ReportWritersTest::spillKeepsRows()
{
    QFETCH(RowSpill::Place, place);
    QFETCH(int, rows);
    RowSpill spill(place);
    std::string written;
    for (int i = 0; i < rows; ++i) {
        const std::string row = "figure,L" + std::to_string(i) + ",\"a,b\"\r\n";
        QVERIFY(spill.append(row));
        written += row;
    }
    std::string read;
    std::size_t pieces = 0;
    QVERIFY(spill.readBack([&](std::string_view piece) {
        read += piece;
        ++pieces;
    }));
    QVERIFY(spill.error().empty());
    QCOMPARE(read, written);
    QVERIFY(pieces >= (place == RowSpill::Place::File ? written.size() / 65536 : 1));
}

QTEST_APPLESS_MAIN(ReportWritersTest)
#include "tst_report_writers.moc"

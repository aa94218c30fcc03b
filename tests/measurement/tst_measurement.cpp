#include "FakeWindow.h"
#include "TestHelpers.h"

#include "FieldLimits.h"
#include "MeasurementOperations.h"
#include "MeasurementState.h"

#include <QTest>

#include <algorithm>
#include <map>

namespace {

struct Settings
{
    const char *start;
    const char *end;
    const char *fullScale;
};

FakeWindow windowWith(Settings settings)
{
    FakeWindow window;
    window.field(TextField::Text5) = settings.start;
    window.field(TextField::Text6) = settings.end;
    window.field(TextField::Text7) = settings.fullScale;
    return window;
}

} // namespace

class MeasurementTest : public QObject
{
    Q_OBJECT

private slots:
    void displayWindow_data();
    void displayWindow();
    void resetClearsCountersAndBinsUpTo4096();
    void recordKeepsTheNewestInOrder();
    void resetLeavesOutputFieldsAlone();
    void setKeepsHistogramAndCounters();
    void demoPatternWritesOnlyItsBins();
    void fieldLimits_data();
    void fieldLimits();
    void fieldLimitWritesBack();
};

void MeasurementTest::displayWindow_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("end");
    QTest::addColumn<QByteArray>("fullScale");
    QTest::addColumn<int>("startCode");
    QTest::addColumn<int>("endCode");
    QTest::addColumn<int>("span");
    QTest::addColumn<int>("center");
    QTest::addColumn<int>("fullScaleCount");
    QTest::addColumn<QStringList>("captions");

    QTest::newRow("load defaults")
        << QByteArray("0") << QByteArray("4095") << QByteArray("100") << 0 << 4095 << 4095 << 2048
        << 100 << QStringList {" 0", " 2048", " 4095"};
    QTest::newRow("start equals end")
        << QByteArray("1000") << QByteArray("1000") << QByteArray("100") << 0 << 4096 << 4096
        << 2048 << 100 << QStringList {" 0", " 2048", " 4096"};
    QTest::newRow("start after end")
        << QByteArray("3000") << QByteArray("20") << QByteArray("100") << 0 << 4096 << 4096 << 2048
        << 100 << QStringList {" 0", " 2048", " 4096"};
    QTest::newRow("centre rounds half to even")
        << QByteArray("1000") << QByteArray("1101") << QByteArray("2800") << 1000 << 1101 << 101
        << 1050 << 2800 << QStringList {" 1000", " 1050", " 1101"};
    QTest::newRow("narrow window")
        << QByteArray("1000") << QByteArray("1100") << QByteArray("50") << 1000 << 1100 << 100
        << 1050 << 50 << QStringList {" 1000", " 1050", " 1100"};
    QTest::newRow("empty fields") << QByteArray("") << QByteArray("") << QByteArray("") << 0 << 4096
                                  << 4096 << 2048 << 0 << QStringList {" 0", " 2048", " 4096"};
    QTest::newRow("letters read as 0")
        << QByteArray("abc") << QByteArray("xyz") << QByteArray("q") << 0 << 4096 << 4096 << 2048
        << 0 << QStringList {" 0", " 2048", " 4096"};
    QTest::newRow("halves to even")
        << QByteArray("12.5") << QByteArray("13.5") << QByteArray("99.5") << 12 << 14 << 2 << 13
        << 100 << QStringList {" 12", " 13", " 14"};
    QTest::newRow("one code wide")
        << QByteArray("4095") << QByteArray("4096") << QByteArray("1") << 4095 << 4096 << 1 << 4096
        << 1 << QStringList {" 4095", " 4096", " 4096"};
    // A negative start would make the plot read bins that do not exist.
    QTest::newRow("negative start raised to 0")
        << QByteArray("-100") << QByteArray("100") << QByteArray("100") << 0 << 100 << 100 << 50
        << 100 << QStringList {" 0", " 50", " 100"};
    QTest::newRow("start beyond 16 bits raised to 0")
        << QByteArray("-99999") << QByteArray("4096") << QByteArray("100") << 0 << 4096 << 4096
        << 2048 << 100 << QStringList {" 0", " 2048", " 4096"};
    QTest::newRow("negative end falls back")
        << QByteArray("-5") << QByteArray("-3") << QByteArray("100") << 0 << 4096 << 4096 << 2048
        << 100 << QStringList {" 0", " 2048", " 4096"};
    QTest::newRow("full scale beyond 16 bits saturates")
        << QByteArray("0") << QByteArray("4095") << QByteArray("-1e9") << 0 << 4095 << 4095 << 2048
        << -32768 << QStringList {" 0", " 2048", " 4095"};
    QTest::newRow("hexadecimal fields")
        << QByteArray("&H10") << QByteArray("&h20") << QByteArray("&HA") << 16 << 32 << 16 << 24
        << 10 << QStringList {" 16", " 24", " 32"};
}

// SET and RESET read the display settings the same way.
void MeasurementTest::displayWindow()
{
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, end);
    QFETCH(QByteArray, fullScale);

    for (const bool viaReset : {false, true}) {
        FakeWindow window = windowWith({start.constData(), end.constData(), fullScale.constData()});
        MeasurementState state;
        if (viaReset)
            resetMeasurement(state, window);
        else
            applyDisplayWindow(state, window);

        QTEST(int(state.startCode), "startCode");
        QTEST(int(state.endCode), "endCode");
        QTEST(int(state.spanCodes), "span");
        QTEST(int(state.centerCode), "center");
        QTEST(int(state.fullScaleCount), "fullScaleCount");
        const QStringList captions {QString::fromStdString(window.caption(CaptionLabel::Label4)),
            QString::fromStdString(window.caption(CaptionLabel::Label11)),
            QString::fromStdString(window.caption(CaptionLabel::Label5))};
        QTEST(captions, "captions");
        QCOMPARE(window.clears, 1);
        // The fields keep what the operator typed.
        QCOMPARE(window.field(TextField::Text5), start.toStdString());
        QCOMPARE(window.field(TextField::Text6), end.toStdString());
        QVERIFY(state.startCode >= 0 && state.startCode < state.endCode);
    }
}

void MeasurementTest::resetClearsCountersAndBinsUpTo4096()
{
    FakeWindow window = windowWith({"0", "4095", "100"});
    MeasurementState state;
    state.frameCount = 77;
    state.minCode = 3;
    state.maxCode = 4000;
    std::fill(state.histogram.begin(), state.histogram.end(), 9);
    loadDemoPattern(state);

    resetMeasurement(state, window);

    QCOMPARE(state.frameCount, 0);
    QCOMPARE(state.minCode, 4095);
    QCOMPARE(state.maxCode, 0);
    QCOMPARE(histogramSum(state, 0, 4096), 0LL);
    QVERIFY(std::all_of(state.histogram.begin() + 4097, state.histogram.end(),
        [](std::int16_t bin) { return bin == 9; }));
}

void MeasurementTest::resetLeavesOutputFieldsAlone()
{
    FakeWindow window = windowWith({"0", "4095", "100"});
    window.field(TextField::Text1) = "163";
    window.field(TextField::Text4) = "12";
    MeasurementState state;
    resetMeasurement(state, window);
    QCOMPARE(window.field(TextField::Text1), std::string("163"));
    QCOMPARE(window.field(TextField::Text4), std::string("12"));
}

void MeasurementTest::setKeepsHistogramAndCounters()
{
    FakeWindow window = windowWith({"1000", "1100", "50"});
    MeasurementState state;
    state.frameCount = 5;
    state.minCode = 100;
    state.maxCode = 2047;
    state.histogram[100] = 2;
    state.histogram[2047] = 3;
    const auto histogram = state.histogram;

    applyDisplayWindow(state, window);

    QCOMPARE(state.frameCount, 5);
    QCOMPARE(state.minCode, 100);
    QCOMPARE(state.maxCode, 2047);
    QVERIFY(state.histogram == histogram);
}

void MeasurementTest::demoPatternWritesOnlyItsBins()
{
    MeasurementState state;
    state.frameCount = 3;
    state.minCode = 1;
    state.maxCode = 2;
    state.startCode = 1000;
    state.endCode = 1100;
    std::fill(state.histogram.begin(), state.histogram.end(), 7);
    MeasurementState before = state;

    loadDemoPattern(state);

    const std::map<int, int> pattern {{4095, 10}, {0, 10}, {985, 20}, {986, 30}, {987, 55},
        {989, 65}, {990, 72}, {991, 78}, {992, 70}, {993, 82}, {994, 87}, {995, 80}, {996, 83},
        {997, 88}, {998, 95}, {999, 97}, {1000, 98}, {1001, 43}, {1002, 21}, {1003, 10},
        {2048, 50}};
    for (int bin = 0; bin < histogramBins; ++bin) {
        const auto entry = pattern.find(bin);
        const int expected = entry == pattern.end() ? 7 : entry->second;
        QVERIFY2(state.histogram[bin] == expected, qPrintable(QString("bin %1").arg(bin)));
    }
    QCOMPARE(state.histogram[988], std::int16_t(7));
    before.histogram = state.histogram;
    QCOMPARE(state.frameCount, before.frameCount);
    QCOMPARE(state.minCode, before.minCode);
    QCOMPARE(state.maxCode, before.maxCode);
    QCOMPARE(state.startCode, before.startCode);
    QCOMPARE(state.endCode, before.endCode);
}

void MeasurementTest::fieldLimits_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("replacement"); // null when the text stays

    const int start = int(TextField::Text5), end = int(TextField::Text6),
              fullScale = int(TextField::Text7);
    QTest::newRow("start over 4096") << start << QByteArray("5000") << QByteArray("0");
    QTest::newRow("start just over") << start << QByteArray("4096.01") << QByteArray("0");
    QTest::newRow("start 4096 stays") << start << QByteArray("4096") << QByteArray();
    QTest::newRow("start hex over") << start << QByteArray("&H1001") << QByteArray("0");
    QTest::newRow("start huge exponent") << start << QByteArray("1e400") << QByteArray("0");
    QTest::newRow("start negative stays") << start << QByteArray("-99999") << QByteArray();
    QTest::newRow("start letters stay") << start << QByteArray("abc") << QByteArray();
    QTest::newRow("start empty stays") << start << QByteArray("") << QByteArray();
    QTest::newRow("end over 4096") << end << QByteArray("4097") << QByteArray("4096");
    QTest::newRow("end 4096 stays") << end << QByteArray("4096") << QByteArray();
    QTest::newRow("end spaced digits") << end << QByteArray("5 000") << QByteArray("4096");
    QTest::newRow("full scale over") << fullScale << QByteArray("12000") << QByteArray("10000");
    QTest::newRow("full scale 10000 stays") << fullScale << QByteArray("10000") << QByteArray();
    QTest::newRow("full scale zero stays") << fullScale << QByteArray("0") << QByteArray();
    QTest::newRow("output field unlimited")
        << int(TextField::Text1) << QByteArray("99999") << QByteArray();
}

void MeasurementTest::fieldLimits()
{
    QFETCH(int, field);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, replacement);

    const auto result = fieldLimitReplacement(TextField(field), text.toStdString());
    QCOMPARE(result.has_value(), !replacement.isNull());
    if (result)
        QCOMPARE(QByteArray(result->data(), result->size()), replacement);
}

void MeasurementTest::fieldLimitWritesBack()
{
    FakeWindow window = windowWith({"5000", "4095", "12000"});
    applyFieldLimit(window, TextField::Text5);
    applyFieldLimit(window, TextField::Text6);
    applyFieldLimit(window, TextField::Text7);
    QCOMPARE(window.field(TextField::Text5), std::string("0"));
    QCOMPARE(window.field(TextField::Text6), std::string("4095"));
    QCOMPARE(window.field(TextField::Text7), std::string("10000"));
}

// The ring drops the oldest reading; RESET begins a new record. The newest
// readings come in order whether or not they wrap round the ring's end.
void MeasurementTest::recordKeepsTheNewestInOrder()
{
    MeasurementState state;
    state.record.setCapacity(4);
    for (std::uint16_t code = 1; code <= 6; ++code)
        state.record.append(code);
    QCOMPARE(state.record.inOrder(), (std::vector<std::uint16_t> {3, 4, 5, 6}));
    QCOMPARE(state.record.latest(3), (std::vector<std::uint16_t> {4, 5, 6}));
    QCOMPARE(state.record.latest(2), (std::vector<std::uint16_t> {5, 6}));
    QCOMPARE(state.record.latest(9), (std::vector<std::uint16_t> {3, 4, 5, 6}));
    QCOMPARE(state.record.appended(), std::uint64_t(6));
    FakeWindow window;
    window.field(TextField::Text5) = "0";
    window.field(TextField::Text6) = "4095";
    resetMeasurement(state, window);
    QCOMPARE(state.record.size(), std::size_t(0));
    state.record.append(9);
    QCOMPARE(state.record.inOrder(), std::vector<std::uint16_t> {9});
    QCOMPARE(state.record.latest(2), std::vector<std::uint16_t> {9});
}

QTEST_APPLESS_MAIN(MeasurementTest)
#include "tst_measurement.moc"

#include "FakeWindow.h"

#include "HistogramPlot.h"
#include "MeasurementOperations.h"
#include "MeasurementState.h"

#include <QTest>

namespace {

using Line = FakeWindow::Line;
constexpr Rgb orange {255, 128, 0};

Line bar(int x, int top)
{
    return {x, 4200, x, top, orange};
}

// The state SET leaves for the given fields.
MeasurementState displaying(
    FakeWindow &window, const char *start, const char *end, const char *fullScale)
{
    window.field(TextField::Text5) = start;
    window.field(TextField::Text6) = end;
    window.field(TextField::Text7) = fullScale;
    MeasurementState state;
    applyDisplayWindow(state, window);
    window.lines.clear();
    return state;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<FakeWindow::Line>)

class PlotTest : public QObject
{
    Q_OBJECT

private slots:
    void pitchAndScale_data();
    void pitchAndScale();
    void bars_data();
    void bars();
    void demoPatternWithTheDefaults();
    void spanAfterStartIs4096();
    void nothingIsClearedOrCaptioned();
    void neverReadsOutsideTheHistogram();
};

void PlotTest::pitchAndScale_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("end");
    QTest::addColumn<QByteArray>("fullScale");
    QTest::addColumn<int>("pitch");
    QTest::addColumn<int>("heightOfOne"); // twips per count

    QTest::newRow("defaults") << QByteArray("0") << QByteArray("4095") << QByteArray("100") << 2
                              << 42;
    QTest::newRow("1000 to 1100") << QByteArray("1000") << QByteArray("1100") << QByteArray("100")
                                  << 80 << 42;
    QTest::newRow("full scale 2800")
        << QByteArray("0") << QByteArray("4095") << QByteArray("2800") << 2 << 2;
    QTest::newRow("full scale 8400")
        << QByteArray("0") << QByteArray("4095") << QByteArray("8400") << 2 << 0;
    QTest::newRow("full scale 10000")
        << QByteArray("0") << QByteArray("4095") << QByteArray("10000") << 2 << 0;
    QTest::newRow("full scale 1") << QByteArray("0") << QByteArray("4095") << QByteArray("1") << 2
                                  << 4200;
    QTest::newRow("one code") << QByteArray("7") << QByteArray("8") << QByteArray("100") << 7995
                              << 42;
}

void PlotTest::pitchAndScale()
{
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, end);
    QFETCH(QByteArray, fullScale);
    QFETCH(int, heightOfOne);

    FakeWindow window;
    MeasurementState state = displaying(window, start, end, fullScale);
    state.histogram[state.startCode] = 1;
    redrawHistogram(state, window);

    QTEST(int(state.barPitch), "pitch");
    QCOMPARE(window.lines.size(), std::size_t(1));
    QVERIFY(window.lines[0] == bar(0, 4200 - heightOfOne));
}

void PlotTest::bars_data()
{
    QTest::addColumn<QByteArray>("fullScale");
    QTest::addColumn<QList<int>>("bins"); // code, count pairs
    QTest::addColumn<std::vector<Line>>("lines");

    QTest::newRow("count of full scale reaches the top")
        << QByteArray("100") << QList<int> {10, 100} << std::vector<Line> {bar(20, 0)};
    QTest::newRow("taller bars stop at the top")
        << QByteArray("100") << QList<int> {10, 32767} << std::vector<Line> {bar(20, 0)};
    QTest::newRow("empty bins advance x")
        << QByteArray("100") << QList<int> {0, 1, 3, 2, 4, 1}
        << std::vector<Line> {bar(0, 4158), bar(6, 4116), bar(8, 4158)};
    QTest::newRow("codes from 4000 are beyond the area") << QByteArray(
        "100") << QList<int> {3997, 1, 4000, 1, 4095, 1} << std::vector<Line> {bar(7994, 4158)};
    QTest::newRow("scale 0 draws at the baseline") << QByteArray(
        "8400") << QList<int> {5, 1, 6, 30000} << std::vector<Line> {bar(10, 4200), bar(12, 4200)};
    // No usable scale: every non-empty bin reaches the top.
    QTest::newRow("full scale 0") << QByteArray("0") << QList<int> {5, 1, 7, 9}
                                  << std::vector<Line> {bar(10, 0), bar(14, 0)};
    QTest::newRow("negative full scale")
        << QByteArray("-50") << QList<int> {5, 1} << std::vector<Line> {bar(10, 0)};
}

void PlotTest::bars()
{
    QFETCH(QByteArray, fullScale);
    QFETCH(QList<int>, bins);

    FakeWindow window;
    MeasurementState state = displaying(window, "0", "4095", fullScale);
    for (qsizetype i = 0; i < bins.size(); i += 2)
        state.histogram[bins[i]] = std::int16_t(bins[i + 1]);
    redrawHistogram(state, window);
    QTEST(window.lines, "lines");
}

void PlotTest::demoPatternWithTheDefaults()
{
    FakeWindow window;
    MeasurementState state = displaying(window, "0", "4095", "100");
    loadDemoPattern(state);
    redrawHistogram(state, window);

    std::vector<Line> expected {bar(0, 4200 - 420)};
    const int counts[]
        = {20, 30, 55, 0, 65, 72, 78, 70, 82, 87, 80, 83, 88, 95, 97, 98, 43, 21, 10};
    for (int i = 0; i < int(std::size(counts)); ++i) {
        if (counts[i] != 0) // 988 has no count: no bar at x = 1976
            expected.push_back(bar(1970 + 2 * i, 4200 - 42 * counts[i]));
    }
    expected.push_back(bar(4096, 2100)); // 2048 on the centre tick; 4095 at 8190 is outside
    QCOMPARE(window.lines, expected);
}

void PlotTest::spanAfterStartIs4096()
{
    FakeWindow window;
    MeasurementState state = displaying(window, "0", "4095", "100");
    state.spanCodes = 4096; // what START leaves, whatever the fields say
    state.histogram[2048] = 1;
    redrawHistogram(state, window);
    QCOMPARE(int(state.barPitch), 2);
    QVERIFY(window.lines.at(0) == bar(4096, 4158));
}

void PlotTest::nothingIsClearedOrCaptioned()
{
    FakeWindow window;
    MeasurementState state = displaying(window, "0", "4095", "100");
    const int clears = window.clears;
    const auto captions = window.captions;
    redrawHistogram(state, window);
    QCOMPARE(window.clears, clears);
    QVERIFY(window.captions == captions);
}

// States SET cannot produce, as a guard: nothing outside the bins is read
// (the sanitizer build checks), and nothing lands outside the area.
void PlotTest::neverReadsOutsideTheHistogram()
{
    FakeWindow window;
    MeasurementState state;
    state.histogram.fill(1);
    state.fullScaleCount = 100;
    const std::pair<int, int> windows[]
        = {{-32768, 32767}, {-5, 3}, {4990, 32767}, {10, 10}, {20, 0}};
    for (const auto &[start, end] : windows) {
        state.startCode = std::int16_t(start);
        state.endCode = std::int16_t(end);
        state.spanCodes = std::int16_t(end - start);
        window.lines.clear();
        redrawHistogram(state, window);
        for (const Line &line : window.lines) {
            QVERIFY(line.x1 >= 0 && line.x1 < 8000);
            QVERIFY(line.y2 >= 0 && line.y2 <= 4200);
        }
    }
}

QTEST_APPLESS_MAIN(PlotTest)
#include "tst_plot.moc"

#include "GuiTestMain.h"

#include "AnalysisWindow.h"
#include "DynamicResult.h"
#include "FigureText.h"
#include "FrequencyPlot.h"
#include "SampleRecord.h"
#include "SampleTimePlot.h"

#include <QLabel>
#include <QScopeGuard>
#include <QTest>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>

namespace {

constexpr std::size_t recordLength = 1024;

// A flat spectrum at -120 dBFS with the fundamental at bin 50 and its second
// and third harmonics at bins 100 and 150.
DynamicResult threeTones()
{
    DynamicResult result;
    result.ok = true;
    result.samples = result.recordLength = recordLength;
    result.spectrumDbfs.assign(recordLength / 2 + 1, -120);
    result.fundamental = {1, 50.0 / recordLength, 50, -1, 0};
    result.harmonics
        = {{2, 100.0 / recordLength, 100, -80, -79}, {3, 150.0 / recordLength, 150, -90, -89}};
    for (const SpectrumTone &tone : {result.fundamental, result.harmonics[0], result.harmonics[1]})
        result.spectrumDbfs[tone.bin] = tone.dbfs;
    return result;
}

// An analyser the test lets finish: it records what it was given and waits
// until released.
struct HeldAnalyser
{
    std::mutex mutex;
    std::condition_variable released;
    bool mayFinish = false;
    bool open = false; // every call finishes at once
    std::vector<std::size_t> lengths; // the codes each call was given

    DynamicResult operator()(std::span<const std::uint16_t> codes)
    {
        std::unique_lock lock(mutex);
        lengths.push_back(codes.size());
        released.wait(lock, [this] { return mayFinish || open; });
        mayFinish = false;
        return threeTones();
    }
    void release()
    {
        std::lock_guard lock(mutex);
        mayFinish = true;
        released.notify_all();
    }
    // A failed check must not leave a worker waiting at the program's end.
    void openForGood()
    {
        std::lock_guard lock(mutex);
        open = true;
        released.notify_all();
    }
    std::size_t calls()
    {
        std::lock_guard lock(mutex);
        return lengths.size();
    }
};

} // namespace

// The spectrum and time views of the analysis window, and how their analysis
// runs beside the GUI thread.
class SpectrumViewTest : public QObject
{
    Q_OBJECT

private slots:
    // Each tone in the band is marked at its bin's column, and nothing else is.
    void markersSitAtTheTonesBins_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<QList<int>>("marked"); // bins
        QTest::newRow("full band") << 0.0 << 0.5 << QList<int> {50, 100, 150};
        QTest::newRow("zoomed past the fundamental") << 0.09 << 0.16 << QList<int> {100, 150};
    }

    void markersSitAtTheTonesBins()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(QList<int>, marked);
        FrequencyPlot plot;
        plot.resize(600, 300);
        plot.setResult(threeTones());
        plot.setFrequencyWindow(from, to);
        const QImage image = plot.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect area = plot.plotRect();
        std::vector<int> expected;
        for (int bin : marked)
            expected.push_back(int(
                area.left() + (bin / double(recordLength) - from) / (to - from) * area.width()));
        std::vector<int> columns; // with a marker pixel
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 0; y < image.height(); ++y) {
                if (image.pixel(x, y) == FrequencyPlot::markerColour.rgb()) {
                    columns.push_back(x);
                    break;
                }
            }
        }
        for (int x : expected)
            QVERIFY2(std::ranges::count(columns, x) == 1, qPrintable(QString::number(x)));
        for (int x : columns) {
            QVERIFY2(std::ranges::any_of(expected, [x](int e) { return std::abs(x - e) <= 8; }),
                qPrintable(QString::number(x)));
        }
    }

    // Beside the spectrum stand the rows adcapture's summary prints, and the
    // analysis takes the converter's resolution from the histogram.
    void spectrumFiguresAreTheSummarysRows()
    {
        auto bits = std::make_shared<std::atomic<int>>(0);
        AnalysisWindow window(
            nullptr, [bits](std::span<const std::uint16_t>, const DynamicOptions &options) {
                *bits = options.bits;
                DynamicResult result = threeTones();
                result.snrDb = result.sinadDb = 61.234;
                result.thdDb = -79.0;
                result.sfdrDb = 78.5;
                result.enobBits = 9.876;
                return result;
            });
        window.refresh(std::vector<std::uint64_t>(1024, 3), false); // a 10-bit converter
        SampleRecord record;
        for (int i = 0; i < 2048; ++i)
            record.append(std::uint16_t(512 + 400 * std::sin(i * 0.3)));
        window.refreshSamples(record);
        QTRY_VERIFY(window.dynamicResult().ok);
        QCOMPARE(bits->load(), 10);
        const QString shown = window.findChild<QLabel *>("spectrumFigures")->text();
        for (const FigureRow &row : dynamicFigureRows(window.dynamicResult())) {
            const QString value = QString::fromStdString(row.value).toHtmlEscaped();
            QVERIFY2(shown.contains(QString::fromStdString(row.name).toHtmlEscaped())
                    && shown.contains("&nbsp;&nbsp;" + value + "</td>"),
                row.name.c_str());
        }
        QVERIFY(shown.contains("ENOB (SINAD)</td><td>&nbsp;&nbsp;9.88 bits"));
    }

    // One sample of 65536 far from the rest still reaches its height.
    void timeViewKeepsASpike()
    {
        SampleTimePlot plot;
        plot.resize(400, 200);
        std::vector<std::uint16_t> codes(65536, 2000);
        codes[40000] = 2100;
        plot.setSamples(codes);
        plot.setShownCount(65536);
        const QImage image = plot.grab().toImage().convertToFormat(QImage::Format_RGB32);
        // The scale runs from code 1999 to 2101: the spike's stroke passes
        // the middle, the flat line lies near the bottom.
        int columns = 0;
        for (int x = 0; x < image.width(); ++x)
            columns += image.pixel(x, image.height() / 2) == qRgb(0, 70, 160);
        QVERIFY(columns >= 1 && columns <= 3);
    }

    // The GUI thread never waits for the analysis: a refresh while one runs
    // is dropped, and the next refresh after it ends takes up the new record.
    // What is analysed is a power of two, at most maxAnalysedSamples.
    void refreshWhileAnalysingIsDropped()
    {
        auto held = std::make_shared<HeldAnalyser>();
        AnalysisWindow window(
            nullptr, [held](std::span<const std::uint16_t> codes, const DynamicOptions &) {
                return (*held)(codes);
            });
        const auto atEnd = qScopeGuard([held] { held->openForGood(); });
        SampleRecord record;
        for (int i = 0; i < 5000; ++i)
            record.append(std::uint16_t(2048 + 1000 * std::sin(i * 0.1)));
        window.refreshSamples(record);
        QTRY_COMPARE(held->calls(), 1u);
        QVERIFY(window.dynamicAnalysisRunning());
        for (int i = 0; i < 70000; ++i)
            record.append(2048);
        window.refreshSamples(record);
        QCOMPARE(window.timePlot().sampleCount(), AnalysisWindow::maxAnalysedSamples);
        held->release();
        QTRY_VERIFY(!window.dynamicAnalysisRunning());
        QVERIFY(window.dynamicResult().ok);
        QVERIFY(window.spectrumPlot().message().isEmpty());
        QCOMPARE(held->calls(), 1u);
        window.refreshSamples(record);
        QTRY_COMPARE(held->calls(), 2u);
        window.refreshSamples(record); // unchanged: nothing new to start
        held->release();
        QTRY_VERIFY(!window.dynamicAnalysisRunning());
        QCOMPARE(
            held->lengths, (std::vector<std::size_t> {4096, AnalysisWindow::maxAnalysedSamples}));
    }
};

ADTEST_GUI_TEST_MAIN(SpectrumViewTest)
#include "tst_dynamic_view.moc"

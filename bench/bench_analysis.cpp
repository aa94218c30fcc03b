// The code-density analysis against its budget: the full analysis of 4096
// codes (< 1 ms), the analysis window's refresh and paint (< 5 ms), and the
// main loop's throughput and the once-a-second tick's cost with the analysis
// window closed and open, measured side by side. Prints figures.
#include "BenchSupport.h"
#include "ConverterEnd.h"
#include "LoopSession.h"

#include "AnalysisWindow.h"
#include "CodeDensityAnalysis.h"
#include "EventDispatch.h"
#include "HistogramActions.h"
#include "HistogramPlot.h"
#include "QtSerialLink.h"
#include "QtWindowToolkit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr int codes = 4096;

double medianMs(int rounds, const std::function<void()> &work)
{
    std::vector<double> times;
    QElapsedTimer clock;
    for (int i = 0; i < rounds; ++i) {
        clock.start();
        work();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::vector<std::uint64_t> histogramOf(TestKind kind)
{
    std::vector<std::uint64_t> counts(codes);
    for (int k = 0; k < codes; ++k) {
        const double x = (k + 0.5) / codes;
        const double density = kind == TestKind::Ramp ? 1.0
            : kind == TestKind::Sine                  ? 1 / std::sqrt(std::max(x * (1 - x), 1e-4))
                                     : std::exp(-(k - 2000.0) * (k - 2000.0) / 200);
        counts[k] = static_cast<std::uint64_t>(1000 * density + k % 7);
    }
    return counts;
}

struct LoopFigures
{
    double charsPerSecond;
    double tickMs; // the plot and, when open, the analysis window's refresh
};

LoopFigures measureLoop(int frames, bool analysisOpen)
{
    ConverterEnd converter;
    QByteArray stream;
    stream.reserve(frames * 5);
    for (int i = 0; i < frames; ++i)
        stream
            += QByteArray("\x02") + QByteArray::number(i % codes, 16).rightJustified(3, '0') + "\r";
    Form1 form;
    form.show();
    if (analysisOpen)
        form.histogramActions().openAnalysis();
    LoopSession session(form);
    std::thread writer;
    QElapsedTimer wall;
    double seconds = 0;
    session.waitUntil(
        "the port", [&] { return form.serialLink().isOpen(); },
        [&] {
            writer = std::thread([&] { converter.send(stream); });
            wall.start();
        });
    session.waitUntil(
        "every frame", [&] { return form.measurement().frameCount == frames; },
        [&] { seconds = wall.nsecsElapsed() / 1e9; });
    const QString failure = session.run(600000);
    writer.join();
    if (!failure.isEmpty())
        std::printf("  loop: %s\n", qPrintable(failure));
    // What Timer1's handler does, on the histogram the run left.
    const double tick = medianMs(51, [&] {
        redrawHistogram(form.measurement(), form.toolkit());
        form.histogramActions().timerTicked();
    });
    return {stream.size() / seconds, tick};
}

} // namespace

int main(int argc, char *argv[])
{
    bench::chooseOffscreenWithoutDisplay();
    selectEventDispatcher();
    QApplication application(argc, argv);
    const int frames = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int rounds = 201;

    std::printf("Code-density analysis of %d codes, median of %d rounds (%s platform)\n", codes,
        rounds, qPrintable(QGuiApplication::platformName()));
    for (TestKind kind : {TestKind::Dc, TestKind::Ramp, TestKind::Sine}) {
        const auto counts = histogramOf(kind);
        CodeDensityResult result;
        const double given = medianMs(rounds, [&] {
            result = analyseCodeDensity(counts, {kind, 100.0});
        });
        const double detected = medianMs(rounds, [&] { result = analyseCodeDensity(counts); });
        std::printf("  %-14s %7.3f ms, kind detected: %7.3f ms (%s)\n", testKindName(kind), given,
            detected, testKindName(result.kind));
    }

    {
        AnalysisWindow window;
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            std::printf("the analysis window was not shown\n");
        const auto counts = histogramOf(TestKind::Ramp);
        const double refresh = medianMs(rounds, [&] { window.refresh(counts, false); });
        const double paint = medianMs(rounds, [&] { window.repaint(); });
        std::printf("Analysis window %dx%d, ramp histogram\n", window.width(), window.height());
        std::printf("  refresh (analysis and figures): %7.3f ms\n", refresh);
        std::printf("  paint (figures and both plots): %7.3f ms\n", paint);
    }

    std::printf(
        "START's loop through a pseudo-terminal, %d frames, analysis window closed / open\n",
        frames);
    for (int round = 0; round < 2; ++round) {
        const LoopFigures closed = measureLoop(frames, false);
        const LoopFigures open = measureLoop(frames, true);
        std::printf(
            "  round %d: throughput %9.0f / %9.0f chars/s (ratio %.2f), tick %6.3f / %6.3f ms\n",
            round + 1, closed.charsPerSecond, open.charsPerSecond,
            open.charsPerSecond / closed.charsPerSecond, closed.tickMs, open.tickMs);
    }
    return 0;
}

// Time of one full histogram redraw (4096 non-empty bins) and of the window
// paint that follows, against the 1000 ms between ticks. Prints figures.
#include "BenchSupport.h"
#include "EventDispatch.h"
#include "Form1.h"
#include "HistogramPlot.h"
#include "PlotArea.h"
#include "QtWindowToolkit.h"
#include "RepaintPacer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    bench::chooseOffscreenWithoutDisplay();
    selectEventDispatcher();
    QApplication application(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 101;

    Form1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        std::printf("the window was not shown\n");
    MeasurementState &state = form.measurement();
    for (int code = 0; code < 4096; ++code)
        state.histogram[code] = std::int16_t(1 + code % 100);

    std::vector<double> redraws, paints;
    QElapsedTimer clock;
    for (int i = 0; i < rounds; ++i) {
        form.toolkit().clearPlot();
        clock.start();
        redrawHistogram(state, form.toolkit());
        redraws.push_back(clock.nsecsElapsed() / 1e6);
        // Repaints are paced; let the interval pass so this one paints now.
        QThread::msleep(RepaintPacer::intervalMs + 2);
        clock.start();
        form.repaint();
        paints.push_back(clock.nsecsElapsed() / 1e6);
    }
    const double redraw = median(redraws), paint = median(paints);
    std::printf("Histogram plot, 4096 non-empty bins, median of %d rounds (%s platform)\n", rounds,
        qPrintable(QGuiApplication::platformName()));
    std::printf("  redraw:          %7.3f ms\n", redraw);
    std::printf("  window paint:    %7.3f ms\n", paint);
    std::printf("  together:        %7.3f ms, %.2f%% of the 1000 ms tick\n", redraw + paint,
        (redraw + paint) / 10);
    return 0;
}

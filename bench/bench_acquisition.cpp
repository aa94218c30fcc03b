// Throughput of START's loop through a pseudo-terminal with the window shown,
// and its CPU use while it waits for data. Prints figures; asserts nothing
// about speed.
#include "ConverterEnd.h"
#include "LoopSession.h"
#include "TestHelpers.h"

#include "acquisition/AcquisitionLoop.h"
#include "platform/EventDispatch.h"
#include "platform/QtSerialLink.h"
#include "platform/QtWindowToolkit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSerialPort>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <thread>

namespace {

double threadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

QByteArray framesOfEveryCode(int frames)
{
    QByteArray stream;
    stream.reserve(frames * 5);
    for (int i = 0; i < frames; ++i)
        stream
            += QByteArray("\x02") + QByteArray::number(i % 4096, 16).rightJustified(3, '0') + "\r";
    return stream;
}

struct Throughput
{
    double charsPerSecond;
    double cpuSecondsPerMillion;
    long long framesCounted;
    long long histogramSum;
};

// The loop of the window, fed as fast as it reads.
Throughput measureWindowLoop(int frames)
{
    ConverterEnd converter;
    const QByteArray stream = framesOfEveryCode(frames);
    Form1 form;
    form.show();
    LoopSession session(form);
    std::thread writer;
    QElapsedTimer wall;
    double cpuStart = 0, cpuSeconds = 0, seconds = 0;
    session.waitUntil(
        "the port", [&] { return form.serialLink().isOpen(); },
        [&] {
            writer = std::thread([&] { converter.send(stream); });
            wall.start();
            cpuStart = threadCpuSeconds();
        });
    session.waitUntil(
        "every frame",
        [&] {
            return form.measurement().frameCount == frames && form.measurement().maxCode == 4095
                && histogramSum(form.measurement()) == frames;
        },
        [&] {
            seconds = wall.nsecsElapsed() / 1e9;
            cpuSeconds = threadCpuSeconds() - cpuStart;
        });
    const QString failure = session.run(600000);
    writer.join();
    if (!failure.isEmpty())
        std::printf("  window loop: %s\n", qPrintable(failure));
    const auto &state = form.measurement();
    return {stream.size() / seconds, cpuSeconds / (stream.size() / 1e6), state.frameCount,
        histogramSum(state)};
}

// For comparison: a bare QSerialPort read loop with a yield per character
// and no window work at all.
double measureBarePump(int frames)
{
    ConverterEnd converter;
    const QByteArray stream = framesOfEveryCode(frames);
    QSerialPort port(qEnvironmentVariable("ADTEST_COM1"));
    port.setReadBufferSize(5000);
    port.open(QIODevice::ReadWrite);
    std::thread writer([&] { converter.send(stream); });
    QElapsedTimer wall;
    wall.start();
    for (qsizetype read = 0; read < stream.size();) {
        if (port.bytesAvailable() == 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            continue;
        }
        char c;
        port.getChar(&c);
        ++read;
        QCoreApplication::processEvents();
    }
    const double seconds = wall.nsecsElapsed() / 1e9;
    writer.join();
    return stream.size() / seconds;
}

// CPU share of the whole process with START pressed and no data arriving.
double measureIdleShare(int milliseconds)
{
    ConverterEnd converter;
    Form1 form;
    form.show();
    LoopSession session(form, 1000); // the session's own checks wake the loop once a second
    QElapsedTimer wall;
    rusage before {}, after {};
    double share = 0;
    session.waitUntil(
        "the port", [&] { return form.serialLink().isOpen(); },
        [&] {
            getrusage(RUSAGE_SELF, &before);
            wall.start();
        });
    session.waitUntil(
        "the idle time", [&] { return wall.isValid() && wall.elapsed() >= milliseconds; },
        [&] {
            getrusage(RUSAGE_SELF, &after);
            const auto seconds = [](const rusage &u) {
                return u.ru_utime.tv_sec + u.ru_stime.tv_sec
                    + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
            };
            share = (seconds(after) - seconds(before)) / (wall.elapsed() / 1000.0);
        });
    session.run(milliseconds + 10000);
    return share;
}

} // namespace

int main(int argc, char *argv[])
{
    selectEventDispatcher();
    QApplication application(argc, argv);
    const int frames = argc > 1 ? std::atoi(argv[1]) : 200000;

    std::printf("START's loop through a pseudo-terminal, %d frames of 5 characters (%s platform)\n",
        frames, qPrintable(QGuiApplication::platformName()));
    const double bare = measureBarePump(frames);
    const Throughput window = measureWindowLoop(frames);
    std::printf("  bare event pump:        %10.0f characters/s\n", bare);
    std::printf("  window loop:            %10.0f characters/s (%.2f of the bare pump, %.0f times "
                "the 960/s of a 9600-baud line)\n",
        window.charsPerSecond, window.charsPerSecond / bare, window.charsPerSecond / 960);
    std::printf("  CPU per million chars:  %10.2f s (GUI thread)\n", window.cpuSecondsPerMillion);
    std::printf("  frames sent/counted/in histogram: %d / %lld / %lld\n", frames,
        window.framesCounted, window.histogramSum);
    const double idle = measureIdleShare(3000);
    std::printf("  idle with START pressed: %.2f%% of one core\n", idle * 100);
    return 0;
}

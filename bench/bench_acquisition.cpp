// Throughput of START's loop, in the window and in adcapture, through a
// pseudo-terminal beside plain readers of the same kind of pseudo-terminal, the loop's memory over
// a long stream and an endless frame, its rate with the analysis window open on the spectrum
// against closed, and its CPU use while it waits for data. Prints figures;
// asserts nothing about speed.
//
//   bench_acquisition [frames for the loop (2000000)] [frames for the slow readers (200000)]
//   ADCAPTURE=/path/to/another/adcapture bench_acquisition ...   (another build of it)
#include "BenchSupport.h"
#include "CaptureRuns.h"
#include "ConverterEnd.h"
#include "IdleShare.h"
#include "LoopSession.h"
#include "TestHelpers.h"

#include "AcquisitionLoop.h"
#include "AnalysisWindow.h"
#include "EventDispatch.h"
#include "HistogramActions.h"
#include "QtSerialLink.h"
#include "QtWindowToolkit.h"
#include "SampleRecord.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QLineEdit>
#include <QSerialPort>
#include <QTabWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int frameLength = 5; // STX, three hex digits, CR

// One frame of every code in turn.
const QByteArray &codeCycle()
{
    static const QByteArray cycle = [] {
        QByteArray frames;
        for (int code = 0; code < 4096; ++code)
            frames
                += QByteArray("\x02") + QByteArray::number(code, 16).rightJustified(3, '0') + "\r";
        return frames;
    }();
    return cycle;
}

// Sends `frames` frames from the cycle without holding the whole stream.
void sendFrames(ConverterEnd &converter, long long frames)
{
    const std::string_view cycle(codeCycle().constData(), codeCycle().size());
    for (long long left = frames; left > 0; left -= 4096)
        converter.send(cycle.substr(0, std::size_t(std::min<long long>(left, 4096)) * frameLength));
}

struct Figures
{
    const char *name;
    double characters = 0;
    double seconds = 0;
    double cpuSeconds = 0;

    double perSecond() const { return seconds > 0 ? characters / seconds : 0; }
    double cpuPerMillion() const { return characters > 0 ? cpuSeconds / (characters / 1e6) : 0; }
};

// A plain C reader of the pseudo-terminal: `chunk` bytes asked per read().
Figures measureCReader(const char *name, long long frames, std::size_t chunk)
{
    ConverterEnd converter;
    const int fd = ::open(converter.terminal().slavePath().c_str(), O_RDONLY | O_NOCTTY);
    const long long bytes = frames * frameLength;
    std::thread writer([&] { sendFrames(converter, frames); });
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = bench::threadCpuSeconds();
    char buffer[4096];
    long long received = 0;
    while (received < bytes) {
        const ssize_t n = ::read(fd, buffer, chunk);
        if (n <= 0)
            break;
        received += n;
    }
    Figures figures {
        name, double(received), wall.nsecsElapsed() / 1e9, bench::threadCpuSeconds() - cpuStart};
    writer.join();
    ::close(fd);
    return figures;
}

// The same one byte per read in Python, timed by the script itself.
Figures measurePythonReader(long long frames)
{
    ConverterEnd converter;
    const long long bytes = frames * frameLength;
    const QByteArray command = "python3 -c '"
                               "import os, sys, time\n"
                               "fd = os.open(sys.argv[1], os.O_RDONLY | os.O_NOCTTY)\n"
                               "n = int(sys.argv[2]); got = 0\n"
                               "print(\"ready\", flush=True)\n"
                               "got += len(os.read(fd, 1))\n"
                               "t, c = time.perf_counter(), time.process_time()\n"
                               "while got < n: got += len(os.read(fd, 1))\n"
                               "print(got, time.perf_counter() - t, time.process_time() - c)\n"
                               "' "
        + QByteArray::fromStdString(converter.terminal().slavePath()) + ' '
        + QByteArray::number(bytes);
    Figures figures {"one-byte Python reader"};
    FILE *python = popen(command.constData(), "r");
    char line[256] = {};
    if (!python || !std::fgets(line, sizeof line, python)) {
        std::printf("  (python3 did not start)\n");
        return figures;
    }
    std::thread writer([&] { sendFrames(converter, frames); });
    if (std::fgets(line, sizeof line, python))
        std::sscanf(
            line, "%lf %lf %lf", &figures.characters, &figures.seconds, &figures.cpuSeconds);
    writer.join();
    pclose(python);
    return figures;
}

// A bare QSerialPort read loop with a pump of events per character and no
// window work at all.
Figures measureBarePump(long long frames)
{
    ConverterEnd converter;
    QSerialPort port(qEnvironmentVariable("ADTEST_COM1"));
    port.setReadBufferSize(5000);
    port.open(QIODevice::ReadWrite);
    const long long bytes = frames * frameLength;
    std::thread writer([&] { sendFrames(converter, frames); });
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = bench::threadCpuSeconds();
    for (long long read = 0; read < bytes;) {
        if (port.bytesAvailable() == 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            continue;
        }
        char c;
        port.getChar(&c);
        ++read;
        QCoreApplication::processEvents();
    }
    Figures figures {"bare event pump (QSerialPort)", double(bytes), wall.nsecsElapsed() / 1e9,
        bench::threadCpuSeconds() - cpuStart};
    writer.join();
    return figures;
}

QString timesShown(Form1 &form)
{
    return form.findChild<QLineEdit *>(QStringLiteral("Text4"))->text();
}

// START's loop in the shown window, fed as fast as it reads. No frame may be
// lost: the count, the histogram and TIMES must all equal what was sent. With
// `spectrumShown`, the analysis window is open on its spectrum, so that each
// tick also analyses the histogram, copies the newest samples and starts
// their dynamic analysis on the worker thread.
Figures measureWindowLoop(long long frames, bool spectrumShown = false)
{
    ConverterEnd converter;
    Form1 form;
    form.show();
    int spectra = 0;
    if (spectrumShown) {
        form.histogramActions().openAnalysis();
        AnalysisWindow *analysis = form.histogramActions().analysisWindow();
        analysis->findChild<QTabWidget *>()->setCurrentIndex(1);
        QObject::connect(analysis, &AnalysisWindow::dynamicResultShown, [&spectra] { ++spectra; });
    }
    LoopSession session(form);
    std::thread writer;
    QElapsedTimer wall;
    Figures figures {"window loop"};
    double cpuStart = 0;
    session.waitUntil(
        "the port", [&] { return form.serialLink().isOpen(); },
        [&] {
            writer = std::thread([&] { sendFrames(converter, frames); });
            wall.start();
            cpuStart = bench::threadCpuSeconds();
        });
    session.waitUntil(
        "every frame",
        [&] {
            const MeasurementState &state = form.measurement();
            return state.frameCount == frames && state.minCode == 0
                && histogramSum(state) == frames;
        },
        [&] {
            figures.seconds = wall.nsecsElapsed() / 1e9;
            figures.cpuSeconds = bench::threadCpuSeconds() - cpuStart;
            figures.characters = double(frames * frameLength);
        });
    session.waitUntil(
        "TIMES to show the count", [&] { return timesShown(form) == QString::number(frames); });
    const QString failure = session.run(600000);
    writer.join();
    std::printf("  frames sent / counted / in the histogram / TIMES: %lld / %d / %lld / %s%s%s\n",
        frames, form.measurement().frameCount, histogramSum(form.measurement()),
        qPrintable(timesShown(form)), failure.isEmpty() ? "" : "  FAILED: ", qPrintable(failure));
    if (spectrumShown) {
        const DynamicResult &spectrum = form.histogramActions().analysisWindow()->dynamicResult();
        std::printf("  spectra shown during the run: %d; the last of %zu samples, %s\n", spectra,
            spectrum.samples, spectrum.ok ? "with figures" : spectrum.reason.c_str());
    }
    return figures;
}

// Whether process `pid` holds `device` open, read from its descriptors.
bool holdsDevice(pid_t pid, const std::string &device)
{
    std::error_code error;
    const std::filesystem::path descriptors = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto &entry : std::filesystem::directory_iterator(descriptors, error)) {
        if (std::filesystem::read_symlink(entry.path(), error) == device)
            return true;
    }
    return false;
}

const char *adcapturePath()
{
    // ADCAPTURE names another build of the program, to set two side by side.
    return std::getenv("ADCAPTURE") ? std::getenv("ADCAPTURE") : ADCAPTURE_PATH;
}

// A capture's figures less what its start-up and analyses took.
Figures readingAlone(const Figures &capture, long long frames)
{
    const bench::ProcessCost analysis = bench::analysisOfKeptRecord(adcapturePath(), frames);
    Figures reading = capture;
    reading.name = "adcapture, reading alone";
    reading.seconds -= analysis.seconds;
    reading.cpuSeconds -= analysis.cpuSeconds;
    return reading;
}

// adcapture, the headless program, fed the same way as the window loop: the
// clock starts with the first character sent and stops when the program has
// counted every frame, analysed the histogram, written its report and ended.
// Its CPU is the whole process's, start-up included. `reading` gets the
// figures measured as the window loop's are: the CPU of the thread that
// reads (adcapture's main thread), from the first character sent until the
// port holds none unread, the window loop's own end.
Figures measureCapture(long long frames, Figures &reading)
{
    ConverterEnd converter;
    const std::string port = converter.terminal().slavePath();
    QTemporaryDir folder;
    const std::string report = folder.filePath(QStringLiteral("report.json")).toStdString();
    const std::string count = std::to_string(frames);
    Figures figures {"adcapture (headless program)"};
    const pid_t pid = bench::spawnQuietly(
        {adcapturePath(), "--port", port, "--frames", count, "--json", report});
    if (pid == 0) {
        std::printf("  (adcapture did not start)\n");
        return figures;
    }
    QElapsedTimer waited;
    waited.start();
    while (!holdsDevice(pid, port) && waited.elapsed() < 10000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // Past the input it drops when it opens the port.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QElapsedTimer wall;
    wall.start();
    const double readerStart = bench::mainThreadCpuSeconds(pid);
    std::atomic<bool> sent = false;
    std::thread writer([&] {
        sendFrames(converter, frames);
        sent = true;
    });
    // Every character sent and none left at the port, twice in a row a
    // millisecond apart (a write reaches the port a moment after it returns).
    for (int empty = 0; empty < 2;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        empty = sent && converter.bytesAtPort() == 0 ? empty + 1 : 0;
    }
    reading.seconds = wall.nsecsElapsed() / 1e9;
    reading.cpuSeconds = bench::mainThreadCpuSeconds(pid) - readerStart;
    reading.characters = double(frames * frameLength);
    int status = 0;
    rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    figures.seconds = wall.nsecsElapsed() / 1e9;
    figures.cpuSeconds = bench::seconds(usage.ru_utime) + bench::seconds(usage.ru_stime);
    QFile json(QString::fromStdString(report));
    json.open(QIODevice::ReadOnly);
    const long long counted = QJsonDocument::fromJson(json.readAll())["frames"].toInteger();
    // Measured against no limits, the program ends with status 3.
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 3 || counted != frames) {
        std::printf("  adcapture FAILED: status %d, %lld of %lld frames counted\n", status, counted,
            frames);
        std::fflush(stdout);
        std::_Exit(1); // the writer would wait for a reader for ever
    }
    writer.join();
    figures.characters = double(frames * frameLength);
    return figures;
}

// Resident memory over a long stream of frames, then over a frame that never
// ends (STX and characters without CR).
void measureMemory(long long frames, long long endlessCharacters)
{
    ConverterEnd converter;
    Form1 form;
    form.show();
    LoopSession session(form);
    std::atomic<bool> endlessMayStart = false;
    std::thread writer;
    long long afterFirst = 0, afterAll = 0, afterEndless = 0;
    constexpr long long firstFrames = 100000;
    session.waitUntil(
        "the port", [&] { return form.serialLink().isOpen(); },
        [&] {
            writer = std::thread([&] {
                sendFrames(converter, frames);
                while (!endlessMayStart)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                converter.send("\x02");
                const std::string filler(65536, '5');
                for (long long left = endlessCharacters; left > 0; left -= 65536)
                    converter.send(std::string_view(filler).substr(
                        0, std::size_t(std::min<long long>(left, 65536))));
                converter.send("\r\x02"
                               "ABC\r");
            });
        });
    session.waitUntil(
        "the first frames", [&] { return form.measurement().frameCount >= firstFrames; },
        [&] { afterFirst = bench::residentBytes(); });
    session.waitUntil(
        "every frame", [&] { return form.measurement().frameCount == frames; },
        [&] {
            afterAll = bench::residentBytes();
            endlessMayStart = true;
        });
    session.waitUntil(
        "the end of the endless frame", [&] { return form.measurement().frameCount == frames + 2; },
        [&] { afterEndless = bench::residentBytes(); });
    const QString failure = session.run(600000);
    endlessMayStart = true;
    writer.join();
    std::printf("  resident memory after %lld frames: %.2f MB; after %lld frames: %.2f MB "
                "(%+.3f MB)%s%s\n",
        firstFrames, afterFirst / 1e6, frames, afterAll / 1e6, (afterAll - afterFirst) / 1e6,
        failure.isEmpty() ? "" : "  FAILED: ", qPrintable(failure));
    std::printf("  a frame of %lld characters without CR: %.2f MB after it (%+.3f MB), "
                "code read %d\n",
        endlessCharacters, afterEndless / 1e6, (afterEndless - afterAll) / 1e6,
        int(form.measurement().histogram[0x555]));
}

double loopRatio(const Figures &window, const Figures &reader)
{
    return reader.perSecond() > 0 ? window.perSecond() / reader.perSecond() : 0;
}

void printFigures(const Figures &figures, const Figures &window)
{
    std::printf("  %-32s %10.0f %13.0f %10.3f", figures.name, figures.characters,
        figures.perSecond(), figures.cpuPerMillion());
    if (&figures != &window && figures.perSecond() > 0)
        std::printf(" %10.3f", loopRatio(window, figures));
    std::printf("\n");
}

} // namespace

int main(int argc, char *argv[])
{
    bench::chooseOffscreenWithoutDisplay();
    selectEventDispatcher();
    QApplication application(argc, argv);
    const long long frames = argc > 1 ? std::atoll(argv[1]) : 2000000;
    const long long slowFrames = argc > 2 ? std::atoll(argv[2]) : 200000;

    std::printf("Reading frames of 5 characters through a pseudo-terminal (%s platform); "
                "%lld frames for the loop and the block reader, %lld for the slow readers\n",
        qPrintable(QGuiApplication::platformName()), frames, slowFrames);
    // The block reader and the loop take turns, so that a burst of load from
    // elsewhere on the machine falls on both; the round with the median ratio
    // goes into the table.
    constexpr int rounds = 3;
    struct Round
    {
        Figures block, window, capture, reading, readingThread;
    };
    std::vector<Round> results;
    for (int round = 1; round <= rounds; ++round) {
        const Figures block = measureCReader("4096-byte block reader (C)", frames, 4096);
        const Figures window = measureWindowLoop(frames);
        Figures readingThread {"adcapture, its reading thread"};
        const Figures capture = measureCapture(frames, readingThread);
        const Figures reading = readingAlone(capture, frames);
        std::printf("  round %d: block reader %.0f characters/s, window loop %.0f characters/s "
                    "(%.3f CPU s/M), ratio %.3f; adcapture %.0f characters/s (%.3f CPU s/M), "
                    "ratio %.3f; reading alone %.0f characters/s (%.3f CPU s/M); its reading "
                    "thread %.0f characters/s (%.3f CPU s/M)\n",
            round, block.perSecond(), window.perSecond(), window.cpuPerMillion(),
            loopRatio(window, block), capture.perSecond(), capture.cpuPerMillion(),
            loopRatio(capture, block), reading.perSecond(), reading.cpuPerMillion(),
            readingThread.perSecond(), readingThread.cpuPerMillion());
        results.push_back({block, window, capture, reading, readingThread});
    }
    std::sort(results.begin(), results.end(), [](const Round &a, const Round &b) {
        return loopRatio(a.window, a.block) < loopRatio(b.window, b.block);
    });
    const auto &[block, window, medianCapture, medianReading, medianThread] = results[rounds / 2];
    std::vector<double> captureRatios;
    for (const Round &result : results)
        captureRatios.push_back(loopRatio(result.capture, result.block));
    std::sort(captureRatios.begin(), captureRatios.end());
    const Figures oneByte = measureCReader("one-byte reader (C)", slowFrames, 1);
    const Figures python = measurePythonReader(slowFrames);
    const Figures pump = measureBarePump(slowFrames);

    std::printf("  %-32s %10s %13s %10s %10s\n", "reader", "characters", "characters/s", "CPU s/M",
        "loop/this");
    for (const Figures *figures :
        {&block, &oneByte, &python, &pump, &medianCapture, &medianReading, &medianThread, &window})
        printFigures(*figures, window);
    std::printf("  adcapture / block reader, median of %d rounds: %.3f (window loop: %.3f)\n",
        rounds, captureRatios[rounds / 2], loopRatio(window, block));
    // The window loop's CPU is its thread's while it reads; adcapture's is the
    // whole process's, start-up and analyses included, and reading alone is
    // that less `adcapture --analyze` of the record it kept.
    // Its reading thread is measured as the window loop is: one thread's CPU
    // over the same stream, the same frames, the same loop.
    std::printf("  CPU per character against the window loop's: adcapture %.2f, reading alone "
                "%.2f, its reading thread %.2f; against the block reader's: window loop %.2f, "
                "reading alone %.2f, adcapture's reading thread %.2f\n",
        medianCapture.cpuPerMillion() / window.cpuPerMillion(),
        medianReading.cpuPerMillion() / window.cpuPerMillion(),
        medianThread.cpuPerMillion() / window.cpuPerMillion(),
        window.cpuPerMillion() / block.cpuPerMillion(),
        medianReading.cpuPerMillion() / block.cpuPerMillion(),
        medianThread.cpuPerMillion() / block.cpuPerMillion());

    // The loop with the analysis window open on the spectrum, against the
    // loop with it closed, in turns. Each run lasts about six seconds at the
    // rate just measured, so that several ticks, each with the histogram
    // analysis, the copy of the samples and the worker's spectrum, fall on it.
    {
        const long long analysisFrames
            = std::max(frames, static_cast<long long>(window.perSecond() / frameLength * 6));
        // More turns than above: the two differ by less than the machine's
        // own wander from run to run.
        constexpr int analysisRounds = 5;
        std::vector<double> ratios;
        std::printf("  window loop, analysis window closed / open on the spectrum, %lld frames:\n",
            analysisFrames);
        for (int round = 1; round <= analysisRounds; ++round) {
            const Figures closed = measureWindowLoop(analysisFrames);
            const Figures open = measureWindowLoop(analysisFrames, true);
            ratios.push_back(loopRatio(open, closed));
            std::printf("  round %d: closed %.0f characters/s (%.3f CPU s/M, %.1f s), open %.0f "
                        "characters/s (%.3f CPU s/M, %.1f s), open / closed %.3f\n",
                round, closed.perSecond(), closed.cpuPerMillion(), closed.seconds, open.perSecond(),
                open.cpuPerMillion(), open.seconds, ratios.back());
        }
        std::sort(ratios.begin(), ratios.end());
        std::printf("  open / closed, median of %d rounds: %.3f\n", analysisRounds,
            ratios[analysisRounds / 2]);
    }

    // What keeping the sample record adds to each frame, beside what the
    // window loop spends on a frame in this run.
    {
        SampleRecord record;
        constexpr int appends = 20000000;
        const double start = bench::threadCpuSeconds();
        for (int i = 0; i < appends; ++i)
            record.append(static_cast<std::uint16_t>(i & 0xFFF));
        const double perFrame = (bench::threadCpuSeconds() - start) / appends;
        const double loopPerFrame = window.cpuPerMillion() / 1e6 * frameLength;
        std::printf("  sample record: %.2f ns a frame, %.1f%% of the window loop's %.1f ns a frame "
                    "(%zu kept)\n",
            perFrame * 1e9, loopPerFrame > 0 ? 100 * perFrame / loopPerFrame : 0,
            loopPerFrame * 1e9, record.size());
    }
    measureMemory(10000000, 20000000);
    std::printf(
        "  idle with START pressed: %.3f%% of one core\n", bench::measureIdleShare(3000) * 100);
    return 0;
}

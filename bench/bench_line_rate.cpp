// CPU use at the converter's real line rate: the simulated converter at its
// default pace feeds START's loop in the shown window and, beside it in the
// same run, a minimal Qt reader of its own pseudo-terminal (QSerialPort and
// one QLineEdit set per frame, repainted as Qt pleases). Then the window with
// START pressed and no data. Meant for a real display (Xvfb with xcb); prints
// figures and asserts nothing.
//
//   bench_line_rate [seconds (30)]
#include "BenchSupport.h"
#include "ConverterEnd.h"
#include "IdleShare.h"
#include "LoopSession.h"

#include "EventDispatch.h"
#include "QtSerialLink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QSerialPort>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

constexpr int warmUpMs = 2000;

// The simulated converter on a fresh pseudo-terminal at its default pace.
class Simulator
{
public:
    Simulator()
    {
        m_process.setProgram(QStringLiteral(ADSIM_PATH));
        m_process.setArguments({QStringLiteral("--wait-reader")});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted() || !m_process.waitForReadyRead(10000))
            qFatal("adsim did not start");
        m_port = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~Simulator()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    const QString &port() const { return m_port; }

private:
    QProcess m_process;
    QString m_port;
};

// Times the plot's share of the work: Timer1's ticks (the redraw) and the
// paint events of Picture1.
class TimingApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!m_timing || (receiver != m_timer && receiver != m_plot))
            return QApplication::notify(receiver, event);
        QElapsedTimer clock;
        clock.start();
        const bool handled = QApplication::notify(receiver, event);
        m_plotNs += clock.nsecsElapsed();
        return handled;
    }
    void watch(QObject *timer, QObject *plot)
    {
        m_timer = timer;
        m_plot = plot;
    }
    void setTiming(bool on) { m_timing = on; }
    qint64 plotNs() const { return m_plotNs; }

private:
    QObject *m_timer = nullptr;
    QObject *m_plot = nullptr;
    bool m_timing = false;
    qint64 m_plotNs = 0;
};

// The minimal reader, run as a child process so that its CPU is its own: it
// measures `seconds` after the warm-up and prints "cpu-seconds frames".
int runMinimalReader(const QString &port, int seconds)
{
    QLineEdit field;
    field.setWindowTitle(QStringLiteral("minimal reader"));
    field.show();
    QSerialPort serial(port);
    serial.setBaudRate(9600);
    if (!serial.open(QIODevice::ReadWrite))
        return 1;
    bool inFrame = false;
    QByteArray head;
    long long frames = 0;
    QObject::connect(&serial, &QSerialPort::readyRead, [&] {
        for (const char c : serial.readAll()) {
            if (!inFrame) {
                inFrame = c == '\x02';
                head.clear();
            } else if (c == '\r') {
                inFrame = false;
                field.setText(QString::number(head.left(3).toInt(nullptr, 16)));
                ++frames;
            } else {
                head += c;
            }
        }
    });
    double cpuStart = 0;
    long long framesStart = 0;
    QTimer::singleShot(warmUpMs, [&] {
        cpuStart = bench::cpuSeconds();
        framesStart = frames;
    });
    QTimer::singleShot(warmUpMs + seconds * 1000, [&] {
        std::printf("%.6f %lld\n", bench::cpuSeconds() - cpuStart, frames - framesStart);
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}

struct WindowFigures
{
    double cpuSeconds = 0;
    double seconds = 0;
    long long frames = 0;
    double plotSeconds = 0;
};

// START's loop in the shown window for the same `seconds` after the warm-up,
// while the minimal reader runs beside it.
WindowFigures measureWindow(TimingApplication &application, int seconds, QProcess &reader)
{
    Simulator simulator;
    qputenv("ADTEST_COM1", simulator.port().toLocal8Bit());
    Form1 form;
    form.show();
    application.watch(form.findChild<QTimer *>(QStringLiteral("Timer1")),
        form.findChild<QWidget *>(QStringLiteral("Picture1")));
    // The session's own checks would cost CPU of their own: once a second.
    LoopSession session(form, 1000);
    QElapsedTimer wall;
    WindowFigures figures;
    double cpuStart = 0;
    int framesStart = 0;
    session.waitUntil(
        "the port", [&] { return form.serialLink().isOpen(); },
        [&] {
            reader.start();
            wall.start();
        });
    session.waitUntil(
        "the warm-up", [&] { return wall.elapsed() >= warmUpMs; },
        [&] {
            application.setTiming(true);
            cpuStart = bench::cpuSeconds();
            framesStart = form.measurement().frameCount;
            wall.restart();
        });
    session.waitUntil(
        "the measuring time", [&] { return wall.elapsed() >= seconds * 1000; },
        [&] {
            figures.cpuSeconds = bench::cpuSeconds() - cpuStart;
            figures.seconds = wall.elapsed() / 1000.0;
            figures.frames = form.measurement().frameCount - framesStart;
            figures.plotSeconds = application.plotNs() / 1e9;
            application.setTiming(false);
        });
    const QString failure = session.run((seconds + 30) * 1000);
    if (!failure.isEmpty())
        std::printf("  window: %s\n", qPrintable(failure));
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    bench::chooseOffscreenWithoutDisplay();
    selectEventDispatcher();
    TimingApplication application(argc, argv);
    if (argc > 3 && QByteArray(argv[1]) == "--minimal-reader")
        return runMinimalReader(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;

    std::printf(
        "At the line rate: adsim's default pace, %d s after a %d ms warm-up (%s platform)\n",
        seconds, warmUpMs, qPrintable(QGuiApplication::platformName()));
    Simulator readerSimulator;
    QProcess reader;
    reader.setProgram(QCoreApplication::applicationFilePath());
    reader.setArguments(
        {QStringLiteral("--minimal-reader"), readerSimulator.port(), QString::number(seconds)});
    reader.setProcessChannelMode(QProcess::SeparateChannels);
    const WindowFigures window = measureWindow(application, seconds, reader);
    reader.waitForFinished((seconds + 30) * 1000);
    double readerCpu = 0;
    long long readerFrames = 0;
    std::sscanf(reader.readAllStandardOutput().constData(), "%lf %lld", &readerCpu, &readerFrames);

    const double windowShare = window.cpuSeconds / window.seconds;
    const double readerShare = readerCpu / window.seconds;
    std::printf("  window (whole process):  %6.3f%% of a core, %lld frames\n", windowShare * 100,
        window.frames);
    std::printf("  minimal Qt reader:       %6.3f%% of a core, %lld frames\n", readerShare * 100,
        readerFrames);
    if (readerShare > 0)
        std::printf("  window / minimal reader: %6.3f\n", windowShare / readerShare);
    std::printf("  plot redraw and paint:   %6.3f%% of the 1000 ms tick\n",
        window.plotSeconds / window.seconds * 100);
    std::printf(
        "  idle with START pressed: %6.3f%% of a core\n", bench::measureIdleShare(10000) * 100);
    return 0;
}

#include "ConverterEnd.h"
#include "GuiTestMain.h"
#include "LoopSession.h"
#include "TestHelpers.h"
#include "WindowClicks.h"

#include "AcquisitionLoop.h"
#include "LampShape.h"
#include "QtSerialLink.h"
#include "QtWindowToolkit.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <atomic>
#include <limits>
#include <numeric>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

class SerialEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void noiseBeforeTheFirstStxCountsNothing();
    void frameIsCountedAtStxAndShownAtCr();
    void onlyTheFirstThreeCharactersCount();
    void extremesFollowTheReadings();
    void stxInsideAFrameIsAnOrdinaryCharacter();
    void resetBetweenStxAndCr();
    void secondStartDropsPendingInputAndKeepsTheHistogram();
    void countersSaturate();
    void missingDeviceEndsTheProgramWithItsName();
    void busyPortIsRefused();
    void permissionDeniedSaysWhatToDo();
    void pulledAdapterKeepsTheStatisticsAndSpinsNoCore();
    void hundredThousandStartsWhileFramesFlow();

private:
    QString text(const char *name) { return form->findChild<QLineEdit *>(name)->text(); }
    MeasurementState &state() { return form->measurement(); }
    bool portOpen() { return form->serialLink().isOpen(); }
    QColor lamp() { return form->findChild<LampShape *>("Shape1")->fillColour(); }
    // The n-th frame since START has been read to its CR: the lamp turns
    // yellow at each STX and green at each CR. Waiting for this rather than
    // for the expected reading lets a wrong reading fail at once, saying what
    // was shown.
    bool framesCompleted(int n) { return state().frameCount == n && lamp() == QColor(0, 255, 0); }

    ConverterEnd *converter = nullptr;
    Form1 *form = nullptr;
    LoopSession *session = nullptr;
};

void SerialEndToEndTest::init()
{
    converter = new ConverterEnd;
    form = new Form1;
    form->show();
    session = new LoopSession(*form);
}

void SerialEndToEndTest::cleanup()
{
    delete session;
    delete form;
    delete converter;
}

void SerialEndToEndTest::noiseBeforeTheFirstStxCountsNothing()
{
    session->waitUntil(
        "the port", [&] { return portOpen(); },
        [&] { converter->send(std::string("noise\0\r\r\xff", 10) + frame("00A")); });
    session->waitUntil("the frame", [&] { return framesCompleted(1); });
    QCOMPARE(session->run(), QString());
    QCOMPARE(text("Text1"), QStringLiteral("10"));
    QCOMPARE(state().frameCount, 1);
    QCOMPARE(text("Text4"), QStringLiteral("1"));
}

void SerialEndToEndTest::frameIsCountedAtStxAndShownAtCr()
{
    QColor lampWhileCollecting;
    session->waitUntil(
        "the port", [&] { return portOpen(); }, [&] { converter->send("\x02"); });
    session->waitUntil(
        "the count", [&] { return text("Text4") == "1"; },
        [&] {
            QCOMPARE(text("Text1"), QString());
            lampWhileCollecting = lamp();
            converter->send("0A3\r");
        });
    session->waitUntil("the reading", [&] { return framesCompleted(1); });
    QCOMPARE(session->run(), QString());
    QCOMPARE(text("Text1"), QStringLiteral("163"));

    QCOMPARE(lampWhileCollecting, QColor(255, 255, 128));
    QCOMPARE(text("Text2"), QStringLiteral("163"));
    QCOMPARE(text("Text3"), QStringLiteral("163"));
    QCOMPARE(state().histogram[163], std::int16_t(1));
}

void SerialEndToEndTest::onlyTheFirstThreeCharactersCount()
{
    session->waitUntil(
        "the port", [&] { return portOpen(); }, [&] { converter->send(frame("fff55")); });
    session->waitUntil("the reading", [&] { return framesCompleted(1); });
    QCOMPARE(session->run(), QString());
    QCOMPARE(text("Text1"), QStringLiteral("4095"));
    QCOMPARE(text("Text3"), QStringLiteral("4095"));
    QCOMPARE(text("Text2"), QString()); // 4095 is not below the reset minimum
    QCOMPARE(state().histogram[4095], std::int16_t(1));
}

void SerialEndToEndTest::extremesFollowTheReadings()
{
    session->waitUntil(
        "the port", [&] { return portOpen(); },
        [&] { converter->send(frame("7FF") + frame("064")); });
    session->waitUntil("both frames", [&] { return framesCompleted(2); });
    QCOMPARE(session->run(), QString());
    QCOMPARE(text("Text4"), QStringLiteral("2"));
    QCOMPARE(text("Text1"), QStringLiteral("100"));
    QCOMPARE(text("Text2"), QStringLiteral("100"));
    QCOMPARE(text("Text3"), QStringLiteral("2047"));
}

void SerialEndToEndTest::stxInsideAFrameIsAnOrdinaryCharacter()
{
    session->waitUntil(
        "the port", [&] { return portOpen(); },
        [&] {
            converter->send("\x02"
                            "1\x02"
                            "23\r"
                + frame("00F"));
        });
    session->waitUntil("the second frame", [&] { return framesCompleted(2); });
    QCOMPARE(session->run(), QString());
    QCOMPARE(text("Text1"), QStringLiteral("15"));
    QCOMPARE(state().frameCount, 2);
    QCOMPARE(state().histogram[1], std::int16_t(1));
    QCOMPARE(state().histogram[0x123], std::int16_t(0));
}

void SerialEndToEndTest::resetBetweenStxAndCr()
{
    session->waitUntil(
        "the port", [&] { return portOpen(); },
        [&] {
            converter->send(frame("7FF")
                + "\x02"
                  "0");
        });
    session->waitUntil(
        "the second STX", [&] { return state().frameCount == 2; },
        [&] {
            click(*form, "Command3");
            converter->send("A3\r");
        });
    session->waitUntil("the reading", [&] { return lamp() == QColor(0, 255, 0); });
    QCOMPARE(session->run(), QString());
    QCOMPARE(text("Text1"), QStringLiteral("163"));
    QCOMPARE(state().frameCount, 0);
    QCOMPARE(text("Text4"), QStringLiteral("2"));
    QCOMPARE(state().histogram[2047], std::int16_t(0));
    QCOMPARE(state().histogram[163], std::int16_t(1));
    QCOMPARE(state().minCode, 163);
    QCOMPARE(state().maxCode, 163);
}

void SerialEndToEndTest::secondStartDropsPendingInputAndKeepsTheHistogram()
{
    session->waitUntil(
        "the port", [&] { return portOpen(); },
        [&] {
            converter->send(frame("7FF")
                + "\x02"
                  "1");
        });
    session->waitUntil(
        "the partial frame", [&] { return state().frameCount == 2; },
        [&] {
            // The bytes must be waiting at the port when START drops the
            // pending input.
            const std::string pending = "23\r" + frame("123");
            const int waitingBefore = converter->bytesAtPort();
            converter->send(pending);
            QVERIFY(converter->awaitBytesAtPort(waitingBefore + int(pending.size())));
            click(*form, "Command1");
        });
    session->waitUntil(
        "the restart", [&] { return state().frameCount == 0; },
        [&] { converter->send(frame("064")); });
    session->waitUntil("the next frame", [&] { return framesCompleted(1); });
    QCOMPARE(session->run(), QString());
    QCOMPARE(text("Text1"), QStringLiteral("100"));

    QCOMPARE(state().histogram[2047], std::int16_t(1));
    QCOMPARE(state().histogram[100], std::int16_t(1));
    QCOMPARE(state().histogram[1], std::int16_t(0));
    QCOMPARE(state().histogram[0x123], std::int16_t(0));
    QCOMPARE(state().frameCount, 1);
    QCOMPARE(state().minCode, 100);
}

void SerialEndToEndTest::countersSaturate()
{
    session->waitUntil(
        "the port", [&] { return portOpen(); },
        [&] {
            state().frameCount = std::numeric_limits<std::int32_t>::max() - 1;
            state().histogram[163] = 32766;
            const std::string frames = frame("0A3") + frame("0A3") + frame("001");
            const int waitingBefore = converter->bytesAtPort();
            converter->send(frames);
            QVERIFY(converter->awaitBytesAtPort(waitingBefore + int(frames.size())));
        });
    // All of it has arrived, so once nothing is left to read the last frame
    // is complete.
    session->waitUntil("the frames", [&] {
        return converter->bytesAtPort() == 0 && form->serialLink().available() == 0
            && lamp() == QColor(0, 255, 0);
    });
    QCOMPARE(session->run(), QString());
    QCOMPARE(text("Text1"), QStringLiteral("1"));
    QCOMPARE(state().frameCount, std::numeric_limits<std::int32_t>::max());
    QCOMPARE(text("Text4"), QStringLiteral("2147483647"));
    QCOMPARE(state().histogram[163], std::int16_t(32767));
    QCOMPARE(state().histogram[1], std::int16_t(1));
}

void SerialEndToEndTest::missingDeviceEndsTheProgramWithItsName()
{
    qputenv("ADTEST_COM1", "/dev/adtest-no-such-port");
    QCOMPARE(session->run(), QString());
    QCOMPARE(session->exitStatuses, QList<int> {1});
    QVERIFY2(session->exitMessages.first().contains("/dev/adtest-no-such-port"),
        qPrintable(session->exitMessages.first()));
    QVERIFY(session->exitMessages.first().contains("no such device"));
    QVERIFY(!portOpen());
}

void SerialEndToEndTest::busyPortIsRefused()
{
    QtSerialLink otherProgram;
    otherProgram.setPort(1);
    QVERIFY(otherProgram.open());
    QCOMPARE(session->run(), QString());
    QCOMPARE(session->exitStatuses, QList<int> {1});
    QVERIFY2(
        session->exitMessages.first().contains("busy"), qPrintable(session->exitMessages.first()));
}

// Opened by a user who may not use the device (not in the dialout group).
// Root may open anything, so as root the attempt runs in a child that has
// become nobody.
void SerialEndToEndTest::permissionDeniedSaysWhatToDo()
{
    const QByteArray device = qgetenv("ADTEST_COM1");
    QVERIFY(::chmod(device.constData(), geteuid() == 0 ? 0600 : 0000) == 0);
    const auto attempt = [] {
        QtSerialLink link;
        link.setPort(1);
        if (link.open())
            return std::string("opened");
        return link.errorString();
    };
    if (geteuid() != 0) {
        const std::string message = attempt();
        QVERIFY2(message.find("permission denied") != std::string::npos, message.c_str());
        QVERIFY2(message.find("chmod u+rw") != std::string::npos, message.c_str());
        return;
    }
    const QByteArray message = QByteArray::fromStdString(asNobody(attempt));
    QVERIFY2(message.contains("permission denied"), message.constData());
    // The device is a pseudo-terminal: its maker owns it, and no udev rule
    // or group helps.
    QVERIFY2(message.contains("pseudo-terminal belongs"), message.constData());
}

// The adapter is pulled mid-frame, again and again, while frames flow. Each
// time the port closes, the loop waits without spinning, what is on screen
// stays, and START after the re-plug resumes.
void SerialEndToEndTest::pulledAdapterKeepsTheStatisticsAndSpinsNoCore()
{
    constexpr int plugs = 5;
    // Over a whole second the waiting loop takes about 1% of a core (4% in a
    // sanitizer build on a loaded machine); a spinning one takes all it gets.
    constexpr int idleMs = 1000;
    constexpr double mostCpuShare = 0.25;
    double cpuBefore = 0;
    QElapsedTimer wall;
    int histogramBefore = 0;
    for (int plug = 0; plug < plugs; ++plug) {
        session->waitUntil(
            "the port", [&] { return portOpen(); },
            [&] {
                converter->send(repeated(frame("0A3"), 20)
                    + "\x02"
                      "1");
            });
        session->waitUntil(
            "the frames", [&] { return state().frameCount == 21; },
            [&] {
                histogramBefore = state().histogram[163];
                delete converter; // pulled, with a frame half received
                converter = nullptr;
            });
        session->waitUntil(
            "the port to close", [&] { return !portOpen(); },
            [&] {
                cpuBefore = cpuSeconds();
                wall.start();
            });
        session->waitUntil(
            "a while without the adapter", [&] { return wall.elapsed() >= idleMs; },
            [&] {
                const double cpuShare = (cpuSeconds() - cpuBefore) / (wall.elapsed() / 1000.0);
                QVERIFY2(
                    cpuShare < mostCpuShare, qPrintable(QString("CPU share %1").arg(cpuShare)));
                QVERIFY(form->acquisition().isRunning());
                QCOMPARE(text("Text1"), QStringLiteral("163"));
                QCOMPARE(text("Text4"), QStringLiteral("21"));
                QCOMPARE(int(state().histogram[163]), histogramBefore);
                converter = new ConverterEnd; // plugged back in
                click(*form, "Command1");
            });
    }
    session->waitUntil(
        "the port", [&] { return portOpen(); }, [&] { converter->send(frame("7FF")); });
    session->waitUntil("a frame after the last re-plug", [&] { return text("Text1") == "2047"; });
    QCOMPARE(session->run(), QString());
    QCOMPARE(state().frameCount, 1);
    QCOMPARE(int(state().histogram[163]), 20 * plugs);
    QCOMPARE(state().histogram[2047], std::int16_t(1));
}

void SerialEndToEndTest::hundredThousandStartsWhileFramesFlow()
{
    std::atomic<bool> stop = false;
    std::thread flow;
    int presses = 0;
    session->waitUntil(
        "the port", [&] { return portOpen(); },
        [&] {
            flow = std::thread([&] {
                const std::string frames = repeated(frame("0A3"), 64);
                while (!stop) {
                    converter->terminal().write(frames);
                    converter->terminal().waitWritable(std::chrono::milliseconds(10));
                }
            });
        });
    for (int batch = 0; batch < 1000; ++batch) {
        session->waitUntil(
            "frames", [&] { return state().frameCount > 0; },
            [&] {
                auto *start = form->findChild<QPushButton *>("Command1");
                for (int i = 0; i < 100; ++i, ++presses)
                    start->click();
            });
    }
    session->waitUntil(
        "frames after the last press", [&] { return state().frameCount > 10; },
        [&] { stop = true; });
    const QString failure = session->run(120000);
    stop = true;
    flow.join();
    QCOMPARE(failure, QString());
    QCOMPARE(presses, 100000);
    // Every frame that completed, however often START cut into the stream,
    // decoded to the code that was sent.
    QVERIFY(state().histogram[163] >= 10);
    QCOMPARE(std::accumulate(state().histogram.begin(), state().histogram.end(), 0),
        int(state().histogram[163]));
}

ADTEST_GUI_TEST_MAIN(SerialEndToEndTest)
#include "tst_serial_e2e.moc"

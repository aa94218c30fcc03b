#include "FakeSerialLink.h"
#include "FakeWindow.h"
#include "TestHelpers.h"

#include "AcquisitionLoop.h"
#include "AcquisitionObserver.h"
#include "FrameDecoder.h"
#include "LineSettings.h"
#include "MeasurementOperations.h"
#include "MeasurementState.h"
#include "SerialLinkSetup.h"

#include <QTest>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>

namespace {

const std::string stx = "\x02";

// The loop with a fake window and link. Each time the loop waits for input,
// the next step runs (feeding input, pressing buttons); when no step is left
// the program ends, which lets the loop return. So does a failed check: the
// loop would otherwise yield again and again, failing every time.
struct LoopRig
{
    MeasurementState state;
    FakeWindow window;
    FakeSerialLink link;
    AcquisitionLoop loop {state, window, link};
    std::deque<std::function<void()>> steps;
    std::vector<Rgb> lampAtYields;
    std::uintptr_t lowestFrame = std::numeric_limits<std::uintptr_t>::max();
    std::uintptr_t highestFrame = 0;

    LoopRig()
    {
        window.field(TextField::Text5) = "0";
        window.field(TextField::Text6) = "4095";
        window.field(TextField::Text7) = "100";
        resetMeasurement(state, window);
        window.onYield = [this] {
            atYield();
            if (QTest::currentTestFailed())
                window.endProgram();
        };
    }

    void atYield()
    {
        const auto frameAddress = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
        lowestFrame = std::min(lowestFrame, frameAddress);
        highestFrame = std::max(highestFrame, frameAddress);
        lampAtYields.push_back(window.lamp);
        // Whenever another handler may run, every frame shown in Text1 since
        // the last step is also in the histogram.
        if (checkFramesAreWhole) {
            QCOMPARE(histogramSum(state) - sumAfterLastStep,
                (long long)window.fieldWrites[0] - text1WritesAfterLastStep);
        }
        if (link.available() != 0)
            return;
        if (steps.empty()) {
            window.endProgram();
            return;
        }
        auto step = std::move(steps.front());
        steps.pop_front();
        step();
        rebase();
    }

    void rebase()
    {
        sumAfterLastStep = histogramSum(state);
        text1WritesAfterLastStep = window.fieldWrites[0];
    }

    void feed(std::string bytes)
    {
        steps.push_back([this, bytes] { link.feed(bytes); });
    }
    void then(std::function<void()> action) { steps.push_back(std::move(action)); }

    void run()
    {
        rebase();
        loop.startAcquisition();
    }

    std::string text(TextField field) { return window.field(field); }

    bool checkFramesAreWhole = true;
    long long sumAfterLastStep = 0;
    int text1WritesAfterLastStep = 0;
};

} // namespace

class AcquisitionTest : public QObject
{
    Q_OBJECT

private slots:
    void decodeSample_data();
    void decodeSample();
    void lineSettings_data();
    void lineSettings();
    void firstStartOpensAndConfiguresThePort();
    void laterStartOnlyDropsPendingInput();
    void failedOpenEndsTheProgramWithTheReason();
    void frames_data();
    void frames();
    void yieldsOnlyWhereHandlersMayRun();
    void frameIsCountedWhenItStarts();
    void resetBetweenStxAndCr();
    void startResetsCountersAndDisplayWindowOnly();
    void nestedStartDropsPartialFrameAndPendingInput();
    void countersSaturateAtTheirLimits();
    void manyNestedStartsDoNotDeepenTheStack();
    void observerHearsCompletedFramesAndALostPortOnce();
    void restartMidBlockWithYieldsPassing_data();
    void restartMidBlockWithYieldsPassing();
    void readCharTakesTheReceivedInOrder();
};

void AcquisitionTest::decodeSample_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("code");

    QTest::newRow("7FF") << QByteArray("7FF\r") << 2047;
    QTest::newRow("0A3") << QByteArray("0A3\r") << 163;
    QTest::newRow("lower case, extra characters") << QByteArray("fff55\r") << 4095;
    QTest::newRow("two digits") << QByteArray("1F\r") << 31;
    QTest::newRow("empty frame") << QByteArray("\r") << 0;
    QTest::newRow("letter first") << QByteArray("G12\r") << 0;
    QTest::newRow("stops at a letter") << QByteArray("1G2\r") << 1;
    QTest::newRow("STX inside") << QByteArray("1\x02"
                                              "23\r")
                                << 1;
    QTest::newRow("space skipped") << QByteArray(" 1F\r") << 31;
    QTest::newRow("tab and line feed skipped") << QByteArray("\t1\n2\r") << 1;
    QTest::newRow("NUL first") << QByteArray("\0"
                                             "12\r",
        4) << 0;
    QTest::newRow("high bytes") << QByteArray("\xff\xfe\xfd\r") << 0;
    QTest::newRow("sign is not a digit") << QByteArray("-12\r") << 0;
    QTest::newRow("no CR yet") << QByteArray("AB") << 171;
    QTest::newRow("zeros") << QByteArray("000\r") << 0;
}

void AcquisitionTest::decodeSample()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, code);
    QCOMPARE(::decodeSample(std::string_view(frame.constData(), frame.size())), code);
}

void AcquisitionTest::lineSettings_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("dataBits");

    QTest::newRow("the line") << QByteArray("9600,n,8,1") << true << 9600 << 8;
    QTest::newRow("upper case, even") << QByteArray("19200,E,7,2") << true << 19200 << 7;
    QTest::newRow("one and a half stop bits") << QByteArray("300,o,5,1.5") << true << 300 << 5;
    QTest::newRow("missing field") << QByteArray("9600,n,8") << false << 0 << 0;
    QTest::newRow("bad parity") << QByteArray("9600,x,8,1") << false << 0 << 0;
    QTest::newRow("nine data bits") << QByteArray("9600,n,9,1") << false << 0 << 0;
    QTest::newRow("bad baud") << QByteArray("96oo,n,8,1") << false << 0 << 0;
    QTest::newRow("three stop bits") << QByteArray("9600,n,8,3") << false << 0 << 0;
}

void AcquisitionTest::lineSettings()
{
    QFETCH(QByteArray, text);
    const auto settings = LineSettings::parse(text.toStdString());
    QTEST(settings.has_value(), "valid");
    if (settings) {
        QTEST(settings->baudRate, "baud");
        QTEST(settings->dataBits, "dataBits");
    }
}

void AcquisitionTest::firstStartOpensAndConfiguresThePort()
{
    FakeSerialLink link;
    QVERIFY(openSerialLink(link));
    const std::vector<std::string> expected {"setInputBufferSize 5000", "setPort 1",
        "setLine 9600,n,8,1", "setReadLength 1", "open", "discardOutput", "discardInput",
        "setDtr 1", "setRts 1", "setDiscardNul 0", "discardInput"};
    QCOMPARE(link.calls, expected);
}

void AcquisitionTest::laterStartOnlyDropsPendingInput()
{
    FakeSerialLink link;
    link.portOpen = true;
    link.feed("pending");
    QVERIFY(openSerialLink(link));
    QCOMPARE(link.calls, std::vector<std::string> {"discardInput"});
    QCOMPARE(link.available(), std::int16_t(0));
}

void AcquisitionTest::failedOpenEndsTheProgramWithTheReason()
{
    LoopRig rig;
    rig.link.openSucceeds = false;
    rig.run();
    QCOMPARE(rig.window.endStatus, 1);
    QCOMPARE(rig.window.endMessage, rig.link.errorString());
    QCOMPARE(rig.link.calls.back(), std::string("open"));
    QCOMPARE(rig.window.waits + rig.window.yields, 0);
}

void AcquisitionTest::frames_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("texts"); // Text1 .. Text4 at the end
    QTest::addColumn<int>("frameCount");
    QTest::addColumn<int>("minCode");
    QTest::addColumn<int>("maxCode");
    QTest::addColumn<QList<int>>("binsOfOne");

    const QByteArray stx("\x02");
    QTest::newRow("noise before the first STX")
        << QByteArray("ab\0\r\r9\xff", 7) << QStringList {"", "", "", ""} << 0 << 4095 << 0
        << QList<int> {};
    QTest::newRow("0A3") << stx + "0A3\r" << QStringList {"163", "163", "163", "1"} << 1 << 163
                         << 163 << QList<int> {163};
    // A first reading of 4095 is not below the reset minimum of 4095: Text2 stays.
    QTest::newRow("fff55") << stx + "fff55\r" << QStringList {"4095", "", "4095", "1"} << 1 << 4095
                           << 4095 << QList<int> {4095};
    QTest::newRow("first reading 0")
        << stx + "000\r" << QStringList {"0", "0", "", "1"} << 1 << 0 << 0 << QList<int> {0};
    QTest::newRow("2047 then 100")
        << stx + "7FF\r" + stx + "064\r" << QStringList {"100", "100", "2047", "2"} << 2 << 100
        << 2047 << QList<int> {2047, 100};
    QTest::newRow("STX inside a frame")
        << stx + "1" + stx + "23\r" << QStringList {"1", "1", "1", "1"} << 1 << 1 << 1
        << QList<int> {1};
    QTest::newRow("empty frame") << stx + "\r" << QStringList {"0", "0", "", "1"} << 1 << 0 << 0
                                 << QList<int> {0};
    QTest::newRow("noise between frames")
        << "zz" + stx + "1F\rqq\r\0" + stx + "7FF\r" << QStringList {"2047", "31", "2047", "2"} << 2
        << 31 << 2047 << QList<int> {31, 2047};
    QTest::newRow("frame never closed")
        << stx + "123" << QStringList {"", "", "", "1"} << 1 << 4095 << 0 << QList<int> {};
    // Only the head of a long frame is kept; the next frame starts afresh.
    QTest::newRow("long frame, then a short one")
        << stx + "7FF" + QByteArray(30000, 'F') + "\r" + stx + "1\r"
        << QStringList {"1", "1", "2047", "2"} << 2 << 1 << 2047 << QList<int> {2047, 1};
}

void AcquisitionTest::frames()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<int>, binsOfOne);

    LoopRig rig;
    rig.feed(stream.toStdString());
    rig.run();

    const QStringList texts {QString::fromStdString(rig.text(TextField::Text1)),
        QString::fromStdString(rig.text(TextField::Text2)),
        QString::fromStdString(rig.text(TextField::Text3)),
        QString::fromStdString(rig.text(TextField::Text4))};
    QTEST(texts, "texts");
    QTEST(rig.state.frameCount, "frameCount");
    QTEST(rig.state.minCode, "minCode");
    QTEST(rig.state.maxCode, "maxCode");
    QCOMPARE(histogramSum(rig.state), (long long)binsOfOne.size());
    for (int bin : binsOfOne)
        QCOMPARE(rig.state.histogram[bin], std::int16_t(1));
}

// Hunting reads waiting characters without yielding; collecting yields after
// every character but the final CR. The lamp is yellow while collecting.
void AcquisitionTest::yieldsOnlyWhereHandlersMayRun()
{
    LoopRig rig;
    rig.feed("xyz\0\r" + frame("0A3"));
    rig.run();
    QCOMPARE(rig.window.yields, 3);
    QCOMPARE(rig.window.waits, 2);
    const Rgb yellow {255, 255, 128};
    QCOMPARE(rig.lampAtYields.size(), std::size_t(5));
    QVERIFY(rig.lampAtYields[0] == Rgb {}); // black before the first frame
    QVERIFY(rig.lampAtYields[1] == yellow && rig.lampAtYields[3] == yellow);
    QVERIFY((rig.lampAtYields[4] == Rgb {0, 255, 0}));
}

void AcquisitionTest::frameIsCountedWhenItStarts()
{
    LoopRig rig;
    std::string text4AfterStx, text1AfterStx;
    rig.feed(stx);
    rig.then([&] {
        text4AfterStx = rig.text(TextField::Text4);
        text1AfterStx = rig.text(TextField::Text1);
        rig.link.feed("0A3\r");
    });
    rig.run();
    QCOMPARE(text4AfterStx, std::string("1"));
    QCOMPARE(text1AfterStx, std::string(""));
    QCOMPARE(rig.text(TextField::Text1), std::string("163"));
}

// The frame completes into the cleared statistics; its count is gone.
void AcquisitionTest::resetBetweenStxAndCr()
{
    LoopRig rig;
    rig.feed(frame("7FF") + stx + "0");
    rig.then([&] {
        resetMeasurement(rig.state, rig.window); // RESET
        rig.link.feed("A3\r");
    });
    rig.run();
    QCOMPARE(rig.state.frameCount, 0);
    QCOMPARE(rig.text(TextField::Text4), std::string("2"));
    QCOMPARE(rig.state.histogram[2047], std::int16_t(0));
    QCOMPARE(rig.state.histogram[163], std::int16_t(1));
    QCOMPARE(rig.state.minCode, 163);
    QCOMPARE(rig.state.maxCode, 163);
}

void AcquisitionTest::startResetsCountersAndDisplayWindowOnly()
{
    LoopRig rig;
    rig.window.field(TextField::Text5) = "1000";
    rig.window.field(TextField::Text6) = "1100";
    rig.window.field(TextField::Text7) = "50";
    applyDisplayWindow(rig.state, rig.window);
    rig.state.histogram[5] = 9;
    rig.state.frameCount = 12;
    const int captionWrites = rig.window.clears;

    rig.run();

    QCOMPARE(rig.state.frameCount, 0);
    QCOMPARE(rig.state.minCode, 4095);
    QCOMPARE(rig.state.maxCode, 0);
    QCOMPARE(rig.state.centerCode, std::int16_t(2048));
    QCOMPARE(rig.state.spanCodes, std::int16_t(4096));
    QCOMPARE(rig.state.fullScaleCount, std::int16_t(100));
    QCOMPARE(rig.state.startCode, std::int16_t(1000));
    QCOMPARE(rig.state.endCode, std::int16_t(1100));
    QCOMPARE(rig.state.histogram[5], std::int16_t(9));
    QCOMPARE(rig.window.caption(CaptionLabel::Label4), std::string(" 1000"));
    QCOMPARE(rig.window.clears, captionWrites);
}

void AcquisitionTest::nestedStartDropsPartialFrameAndPendingInput()
{
    LoopRig rig;
    rig.feed(frame("7FF") + stx + "1");
    rig.then([&] {
        rig.link.feed("23\r"); // waiting when START is pressed: dropped
        rig.loop.startAcquisition();
        QVERIFY(rig.loop.isRunning());
        QCOMPARE(rig.link.available(), std::int16_t(0));
        QCOMPARE(rig.link.calls.back(), std::string("discardInput"));
        rig.link.feed("456\r" + frame("064")); // "456" has no STX: hunted over
    });
    rig.run();

    QCOMPARE(rig.state.frameCount, 1);
    QCOMPARE(rig.state.histogram[2047], std::int16_t(1)); // the histogram stays
    QCOMPARE(rig.state.histogram[100], std::int16_t(1));
    QCOMPARE(histogramSum(rig.state), 2LL);
    QCOMPARE(rig.state.minCode, 100);
    QCOMPARE(rig.state.maxCode, 100);
    QCOMPARE(rig.text(TextField::Text4), std::string("1"));
    QVERIFY(!rig.loop.isRunning());
}

void AcquisitionTest::countersSaturateAtTheirLimits()
{
    LoopRig rig;
    rig.checkFramesAreWhole = false; // a saturated bin no longer grows
    rig.then([&] {
        rig.state.frameCount = std::numeric_limits<std::int32_t>::max() - 1;
        rig.state.histogram[163] = 32766;
        rig.link.feed(frame("0A3") + frame("0A3") + frame("0A3"));
    });
    rig.run();
    QCOMPARE(rig.state.frameCount, std::numeric_limits<std::int32_t>::max());
    QCOMPARE(rig.text(TextField::Text4), std::string("2147483647"));
    QCOMPARE(rig.state.histogram[163], std::int16_t(32767));
    QCOMPARE(rig.state.histogram[162], std::int16_t(0));
    QCOMPARE(rig.state.histogram[164], std::int16_t(0));
    QCOMPARE(rig.text(TextField::Text1), std::string("163"));
}

void AcquisitionTest::manyNestedStartsDoNotDeepenTheStack()
{
    LoopRig rig;
    constexpr int presses = 100000;
    for (int i = 0; i < presses; ++i) {
        rig.then([&rig, i] {
            rig.link.feed(stx + "F"); // a partial frame the START abandons
            rig.loop.startAcquisition();
            char body[4];
            std::snprintf(body, sizeof body, "%03X", i % 4096);
            rig.link.feed(frame(body));
        });
    }
    rig.run();
    QCOMPARE(histogramSum(rig.state), (long long)presses);
    QCOMPARE(rig.state.frameCount, 1);
    QVERIFY2(rig.highestFrame - rig.lowestFrame < 4096, "the stack grew with the presses");
}

namespace {

struct RecordingObserver : AcquisitionObserver
{
    std::vector<int> codes;
    int portLosses = 0;
    void frameCompleted(int code) override { codes.push_back(code); }
    void portLost() override { ++portLosses; }
};

} // namespace

// A frame cut by the loss is not reported; the loss is told once, only after
// what had arrived was read, and again after a START that reopened the port.
void AcquisitionTest::observerHearsCompletedFramesAndALostPortOnce()
{
    LoopRig rig;
    RecordingObserver observer;
    rig.loop.setObserver(&observer);
    rig.feed(frame("0A3") + stx + "7F");
    rig.then([&] { rig.link.portOpen = false; });
    rig.then([&] { QCOMPARE(observer.portLosses, 1); });
    rig.then([&] {
        QCOMPARE(observer.portLosses, 1);
        rig.loop.startAcquisition(); // START again: reopens the port
        rig.link.feed(frame("FFF"));
    });
    rig.then([&] { rig.link.portOpen = false; });
    rig.run();
    QCOMPARE(observer.codes, (std::vector<int> {0x0A3, 0xFFF}));
    QCOMPARE(observer.portLosses, 2);
    // The record holds what came since the last START.
    QCOMPARE(rig.state.record.inOrder(), std::vector<std::uint16_t> {0xFFF});
}

// A window that lets most yields pass as a count sees the same frames. A
// START pressed at a yield it does run, inside a block of waiting input,
// drops the partial frame and the rest of the block at once.
void AcquisitionTest::restartMidBlockWithYieldsPassing_data()
{
    QTest::addColumn<int>("letPass");
    for (const int letPass : {0, 1, 2, 5})
        QTest::addRow("%d passing", letPass) << letPass;
}

void AcquisitionTest::restartMidBlockWithYieldsPassing()
{
    QFETCH(int, letPass);
    MeasurementState state;
    FakeWindow window;
    FakeSerialLink link;
    AcquisitionLoop loop(state, window, link);
    window.yieldsLetPass = letPass;
    const std::string block = "xy" + frame("7FF") + frame("0A3") + stx + "1234567\r" + frame("064");
    bool fed = false;
    bool restarted = false;
    std::string leftAtRestart;
    window.onYield = [&] {
        if (!fed) {
            fed = true;
            link.feed(block);
        } else if (state.frameCount == 3 && !restarted) {
            // The first yield the window runs in the long third frame.
            restarted = true;
            leftAtRestart = link.input;
            loop.startAcquisition();
            QCOMPARE(link.available(), std::int16_t(0));
        } else if (restarted && link.input.empty()) {
            if (state.frameCount == 0)
                link.feed(frame("0A5"));
            else
                window.endProgram();
        }
    };
    loop.startAcquisition();

    // START came after "1" and before the CR, with the rest of the block
    // still waiting.
    const std::size_t rest = frame("064").size() + 1;
    QVERIFY(leftAtRestart.size() > rest && leftAtRestart.size() <= rest + 6);
    QVERIFY(leftAtRestart.ends_with("\r" + frame("064")));
    QCOMPARE(state.frameCount, 1);
    QCOMPARE(histogramSum(state), 3LL);
    QCOMPARE(state.histogram[0x7FF], std::int16_t(1));
    QCOMPARE(state.histogram[0x0A3], std::int16_t(1));
    QCOMPARE(state.histogram[0x0A5], std::int16_t(1));
    QCOMPARE(window.field(TextField::Text1), std::string("165"));
    // A yield after every character of a frame but CR, whether run or
    // passed as a count.
    const int takenOfThird = int(7 - (leftAtRestart.size() - rest));
    QCOMPARE(window.yields + window.passedYields, 6 + takenOfThird + 3);
    QCOMPARE(window.passedYields == 0, letPass == 0);
}

// readChar over a link whose received() moves when a character is consumed.
void AcquisitionTest::readCharTakesTheReceivedInOrder()
{
    FakeSerialLink link;
    link.feed("AB");
    QCOMPARE(link.readChar(), 'A');
    QCOMPARE(link.readChar(), 'B');
    QCOMPARE(link.readChar(), '\0');
    QCOMPARE(link.available(), std::int16_t(0));
}

QTEST_APPLESS_MAIN(AcquisitionTest)
#include "tst_acquisition.moc"

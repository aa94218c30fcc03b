#include "CodeDensityAnalysis.h"
#include "CommandLine.h"
#include "Expectation.h"
#include "PaceSchedule.h"
#include "PseudoTerminal.h"
#include "ReceiverModel.h"
#include "SampleRecordFile.h"
#include "SignalPattern.h"
#include "SlaveLink.h"
#include "StreamGenerator.h"
#include "Transmitter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cmath>
#include <complex>
#include <fstream>
#include <set>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using Histogram = QMap<int, quint64>; // code -> count, non-zero bins only
using Clock = PaceSchedule::Clock;
using namespace std::chrono_literals;

namespace {

Histogram histogramOf(const Expectation &expectation)
{
    Histogram bins;
    for (int code = 0; code < Expectation::codeCount; ++code) {
        if (expectation.histogram[code] != 0)
            bins[code] = expectation.histogram[code];
    }
    return bins;
}

std::string bytes(const QByteArray &text)
{
    return std::string(text.constData(), text.size());
}

// What adsim sends for a seed: the same generator run without a line.
std::string generatedStream(const SignalPattern::Settings &signalSettings,
    const StreamGenerator::Settings &streamSettings, std::uint64_t seed, int frames)
{
    SignalPattern signal(signalSettings, seed);
    StreamGenerator generator(streamSettings, seed);
    std::string stream;
    for (int i = 0; i < frames; ++i)
        stream += generator.nextFrame(signal.nextCode());
    return stream;
}

// Opens the slave as a serial port user would, with plain POSIX calls.
int openSlave(const std::string &path)
{
    return ::open(path.c_str(), O_RDWR | O_NOCTTY);
}

// Reads from fd until it has count bytes; a generous deadline only guards
// against hanging the test run.
std::string readBytes(int fd, std::size_t count)
{
    const auto deadline = Clock::now() + 60s;
    std::string received;
    char buffer[4096];
    while (received.size() < count && Clock::now() < deadline) {
        pollfd watch {fd, POLLIN, 0};
        if (poll(&watch, 1, 100) <= 0)
            continue;
        const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, count - received.size()));
        if (got <= 0)
            break;
        received.append(buffer, static_cast<std::size_t>(got));
    }
    return received;
}

// Runs a Transmitter on its own thread; stops and joins it however the test
// ends.
class TransmitterThread
{
public:
    TransmitterThread(Transmitter &transmitter)
        : m_thread([this, &transmitter] { m_outcome = transmitter.run(m_stop); })
    { }
    ~TransmitterThread() { finish(); }
    Transmitter::Outcome finish()
    {
        if (m_thread.joinable()) {
            m_stop = true;
            m_thread.join();
        }
        return m_outcome;
    }
    Transmitter::Outcome join()
    {
        m_thread.join();
        return m_outcome;
    }

private:
    std::atomic<bool> m_stop {false};
    Transmitter::Outcome m_outcome = Transmitter::Outcome::Failed;
    std::thread m_thread;
};

std::vector<std::string> strings(const QStringList &list)
{
    std::vector<std::string> result;
    for (const QString &item : list)
        result.push_back(item.toStdString());
    return result;
}

// Bin k of the DFT of codes, as the amplitude and phase of a sine (sin(x + phase)
// has phase `phase`), by the direct sum: a few bins need no FFT.
std::complex<double> sineAt(const std::vector<int> &codes, std::uint64_t k)
{
    std::complex<double> sum;
    const double size = double(codes.size());
    for (std::size_t n = 0; n < codes.size(); ++n) {
        const double angle = 2 * M_PI * double(k * n % codes.size()) / size;
        sum += double(codes[n]) * std::polar(1.0, -angle);
    }
    // X_k = (size / 2) * A * e^(i (phase - pi / 2)) for a sine at bin k.
    return sum * (2 / size) * std::polar(1.0, M_PI / 2);
}

bool eventually(const std::function<bool()> &condition)
{
    const auto deadline = Clock::now() + 30s;
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

} // namespace

class AdsimTest : public QObject
{
    Q_OBJECT

private slots:
    void receiverModel_data();
    void receiverModel();
    void receiverModelIgnoresHowBytesArrive();
    void expectationText();
    void patternsStayInRangeAndRepeat_data();
    void patternsStayInRangeAndRepeat();
    void noiseSpreadsAroundCentre();
    void rampAndSineShapes();
    void defaultSineSweepsEveryCode_data();
    void defaultSineSweepsEveryCode();
    void toneSpectrum_data();
    void toneSpectrum();
    void wellFormedStream();
    void malformedFrameKinds_data();
    void malformedFrameKinds();
    void ordinaryJunkNeverOpensAFrame();
    void hostileMixHasEveryDisturbance();
    void paceSchedule_data();
    void paceSchedule();
    void paceScheduleHasNoDriftAndNoBurst();
    void commandLine();
    void commandLineRejects_data();
    void commandLineRejects();
    void ptyBehaviourRelied();
    void ptyCarriesGeneratedBytes_data();
    void ptyCarriesGeneratedBytes();
    void readerReopeningKeepsWriterGoing_data();
    void readerReopeningKeepsWriterGoing();
    void slaveLink();
    void programWritesSamplesAndReplays_data();
    void programWritesSamplesAndReplays();
    void programRefusesBadValues();
};

void AdsimTest::receiverModel_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<quint64>("opened");
    QTest::addColumn<quint64>("completed");
    QTest::addColumn<Histogram>("histogram");

    const auto row = [](const char *name, QByteArray stream, quint64 opened, quint64 completed,
                         Histogram histogram) {
        stream.replace("<STX>", "\x02");
        stream.replace("<NUL>", QByteArray(1, '\0'));
        QTest::newRow(name) << stream << opened << completed << histogram;
    };
    row("well formed", "<STX>7FF\r", 1, 1, {{2047, 1}});
    row("lower case", "<STX>fff\r<STX>0a3\r", 2, 2, {{4095, 1}, {163, 1}});
    row("two digits", "<STX>1F\r", 1, 1, {{31, 1}});
    row("empty frame", "<STX>\r", 1, 1, {{0, 1}});
    row("non-hex start", "<STX>G12\r", 1, 1, {{0, 1}});
    row("over-long", "<STX>ff55\r", 1, 1, {{0xFF5, 1}});
    row("STX inside is a byte", "<STX>1<STX>23\r", 1, 1, {{1, 1}});
    row("STX STX", "<STX><STX><STX>123\r", 1, 1, {{0, 1}});
    row("leading blank", "<STX> 1F\r", 1, 1, {{31, 1}});
    row("blanks only in the first three", "<STX>\t\n1F\r", 1, 1, {{1, 1}});
    row("blank between digits", "<STX>7 A\r", 1, 1, {{0x7A, 1}});
    row("junk and CR before STX ignored", "xyz\r123<STX>800\r", 1, 1, {{2048, 1}});
    row("frame left open", "<STX>800\r<STX>12", 2, 1, {{2048, 1}});
    row("nothing", "", 0, 0, {});
    row("NUL bytes", "<NUL><NUL><STX>1<NUL>2\r", 1, 1, {{1, 1}});
    // Octal escapes: \376 is 0xFE, \300 is 0xC0.
    row("high bytes", "\377\200<STX>\37612\r<STX>3\300\r", 2, 2, {{0, 1}, {3, 1}});
    // The burst's first STX opens a frame; the rest are its bytes.
    row("STX burst then frame", "<STX><STX><STX><STX><STX>ABC\r<STX>001\r", 2, 2, {{0, 1}, {1, 1}});
    // A run without CR swallows the frames after it up to the next CR.
    row("long run without CR", "<STX>" + QByteArray(5000, 'Z') + "<STX>123\r<STX>456\r", 2, 2,
        {{0, 1}, {0x456, 1}});
    row("junk STX swallows next frame", "<STX>111\rq<STX>k<STX>222\r<STX>333\r", 3, 3,
        {{0x111, 1}, {0, 1}, {0x333, 1}});
}

void AdsimTest::receiverModel()
{
    QFETCH(QByteArray, stream);
    QFETCH(quint64, opened);
    QFETCH(quint64, completed);
    QFETCH(Histogram, histogram);

    ReceiverModel model;
    model.feed(bytes(stream));
    QCOMPARE(model.expectation().framesOpened, opened);
    QCOMPARE(model.expectation().framesCompleted, completed);
    QCOMPARE(histogramOf(model.expectation()), histogram);
}

void AdsimTest::receiverModelIgnoresHowBytesArrive()
{
    // Writes are split anywhere, mid-frame included; the count must not change.
    const std::string stream = generatedStream({}, {8, 0.3, true}, 5, 3000);
    ReceiverModel whole;
    whole.feed(stream);
    ReceiverModel piecemeal;
    for (std::size_t at = 0, step = 1; at < stream.size(); at += step, step = step % 7 + 1)
        piecemeal.feed(std::string_view(stream).substr(at, step));
    QVERIFY(whole.expectation().framesOpened > 1000);
    QVERIFY(whole.expectation() == piecemeal.expectation());
}

void AdsimTest::expectationText()
{
    Expectation expectation;
    expectation.framesOpened = 7;
    expectation.framesCompleted = 6;
    expectation.histogram[0] = 2;
    expectation.histogram[4095] = 4;
    const std::string text = expectation.toText();
    QCOMPARE(QByteArray::fromStdString(text),
        QByteArray("frames_opened 7\nframes_completed 6\n0 2\n4095 4\n"));
    QVERIFY(Expectation::fromText(text) == expectation);

    QVERIFY(!Expectation::fromText(""));
    QVERIFY(!Expectation::fromText("frames_opened 1\nframes_completed 1\n4096 1\n"));
    QVERIFY(!Expectation::fromText("frames_opened 1\nframes_completed x\n"));
    QVERIFY(!Expectation::fromText("frames_opened 1\nframes_completed 1\n12\n"));
}

void AdsimTest::patternsStayInRangeAndRepeat_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("sigma");

    QTest::newRow("fixed") << int(SignalPattern::Shape::Fixed) << 123 << 0.0;
    QTest::newRow("noise") << int(SignalPattern::Shape::Noise) << 2048 << 3.0;
    QTest::newRow("noise at zero") << int(SignalPattern::Shape::Noise) << 0 << 50.0;
    QTest::newRow("noise at full scale") << int(SignalPattern::Shape::Noise) << 4095 << 50.0;
    QTest::newRow("noise wider than the range")
        << int(SignalPattern::Shape::Noise) << 2048 << 90000.0;
    QTest::newRow("ramp") << int(SignalPattern::Shape::Ramp) << 0 << 0.0;
    QTest::newRow("sine") << int(SignalPattern::Shape::Sine) << 0 << 0.0;
}

void AdsimTest::patternsStayInRangeAndRepeat()
{
    QFETCH(int, shape);
    QFETCH(int, code);
    QFETCH(double, sigma);

    const SignalPattern::Settings settings {SignalPattern::Shape(shape), code, sigma, 997};
    SignalPattern first(settings, 42);
    SignalPattern again(settings, 42);
    SignalPattern other(settings, 43);
    bool otherDiffers = false;
    for (int i = 0; i < 10000; ++i) {
        const int value = first.nextCode();
        QVERIFY2(value >= 0 && value <= 4095, qPrintable(QString::number(value)));
        QCOMPARE(again.nextCode(), value);
        otherDiffers = otherDiffers || other.nextCode() != value;
    }
    QCOMPARE(otherDiffers, SignalPattern::Shape(shape) == SignalPattern::Shape::Noise);
}

void AdsimTest::noiseSpreadsAroundCentre()
{
    SignalPattern noise({SignalPattern::Shape::Noise, 1000, 20.0, 1}, 9);
    double sum = 0, sumOfSquares = 0;
    const int count = 40000;
    for (int i = 0; i < count; ++i) {
        const double value = noise.nextCode();
        sum += value;
        sumOfSquares += value * value;
    }
    const double mean = sum / count;
    const double deviation = std::sqrt(sumOfSquares / count - mean * mean);
    QVERIFY2(std::abs(mean - 1000) < 1.0, qPrintable(QString::number(mean)));
    QVERIFY2(std::abs(deviation - 20) < 1.0, qPrintable(QString::number(deviation)));
}

void AdsimTest::rampAndSineShapes()
{
    SignalPattern ramp({SignalPattern::Shape::Ramp}, 1);
    for (int i = 0; i < 4096 * 2 + 5; ++i)
        QCOMPARE(ramp.nextCode(), i % 4096);

    SignalPattern sine({SignalPattern::Shape::Sine, 0, 0, 1000}, 1);
    std::vector<int> cycle;
    for (int i = 0; i < 2000; ++i)
        cycle.push_back(sine.nextCode());
    QCOMPARE(cycle[0], 2048);
    QCOMPARE(cycle[250], 4095);
    QCOMPARE(cycle[500], 2048);
    QCOMPARE(cycle[750], 0);
    QCOMPARE(*std::min_element(cycle.begin(), cycle.end()), 0);
    QCOMPARE(*std::max_element(cycle.begin(), cycle.end()), 4095);
    QVERIFY(std::equal(cycle.begin(), cycle.begin() + 1000, cycle.begin() + 1000));
    for (int i = 1; i < 250; ++i)
        QVERIFY(cycle[i] >= cycle[i - 1]);
}

void AdsimTest::defaultSineSweepsEveryCode_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("sweeps");
    QTest::newRow("default") << QStringList {"--pattern", "sine"} << true;
    QTest::newRow("a period of 1000")
        << QStringList {"--pattern", "sine", "--period", "1000"} << false;
}

// A sine whose frequency divides the frame rate returns to the same few
// levels every cycle, and the analysis says what input fits instead; the
// default sine sweeps every code.
void AdsimTest::defaultSineSweepsEveryCode()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, sweeps);
    CommandLine line;
    QVERIFY(line.parse(strings(arguments)));
    SignalPattern sine(line.options().signal, 5);
    std::vector<std::uint64_t> counts(4096, 0);
    for (int i = 0; i < 100000; ++i)
        ++counts[sine.nextCode()];
    const long hit = std::count_if(counts.begin(), counts.end(), [](auto n) { return n > 0; });
    QCOMPARE(hit >= 0.99 * 4096, sweeps);
    const CodeDensityResult r = analyseCodeDensity(counts, {TestKind::Sine, {}});
    QVERIFY2(r.kindFits == sweeps
            && (sweeps || r.misfitReason.ends_with("frequency does not divide the sample rate.")),
        r.misfitReason.c_str());
}

void AdsimTest::toneSpectrum_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<double>("hd2"); // the level expected, dBc; 0: none
    QTest::addColumn<double>("hd3");

    const auto row = [](const char *name, QStringList arguments, double hd2, double hd3) {
        QTest::newRow(name) << arguments << hd2 << hd3;
    };
    row("pure", {"--cycles", "67", "--record", "4096", "--amplitude", "2000"}, 0, 0);
    row("full scale, hd3 -70", {"--cycles", "67", "--record", "4096", "--hd3", "-70"}, 0, -70);
    row("phase, hd2 -60, hd3 -80",
        {"--cycles", "31", "--record", "1024", "--amplitude", "1500", "--phase", "1", "--hd2",
            "-60", "--hd3", "-80"},
        -60, -80);
    // Input noise puts the tone through the converter model, which must still
    // sample it exactly at each frame: a random point would smear it by tens
    // of LSB. 67/4096 cycles per sample:
    row("by frequency, hd2 -65, input noise",
        {"--frequency", "0.016357421875", "--amplitude", "1800", "--phase", "-2", "--hd2", "-65",
            "--input-noise", "0.5"},
        -65, 0);
    row("near Nyquist",
        {"--cycles", "2047", "--record", "4096", "--amplitude", "1000", "--phase", "0.5",
            "--input-noise", "0.3"},
        0, 0);
}

void AdsimTest::toneSpectrum()
{
    QFETCH(QStringList, arguments);
    QFETCH(double, hd2);
    QFETCH(double, hd3);

    CommandLine line;
    QVERIFY(line.parse(strings(arguments)));
    const SignalPattern::Settings &settings = line.options().signal;
    QVERIFY(settings.tone());
    const std::uint64_t record = settings.record ? settings.record : 4096;
    const auto cycles
        = settings.record ? settings.cycles : std::uint64_t(settings.frequency * 4096);
    SignalPattern tone(settings, 1);
    std::vector<int> codes;
    for (quint64 n = 0; n < record; ++n)
        codes.push_back(tone.nextCode());

    const std::complex<double> fundamental = sineAt(codes, cycles);
    QVERIFY2(std::abs(std::abs(fundamental) - settings.amplitude) < 0.05,
        qPrintable(QString::number(std::abs(fundamental))));
    QVERIFY2(std::abs(std::remainder(std::arg(fundamental) - settings.phase, 2 * M_PI)) < 1e-3,
        qPrintable(QString::number(std::arg(fundamental))));
    const auto dbc = [&](std::uint64_t harmonic) {
        // An alias beyond Nyquist folds back.
        const std::uint64_t bin = harmonic * cycles % record;
        const double level = std::abs(sineAt(codes, std::min(bin, record - bin)));
        return 20 * std::log10(level / settings.amplitude);
    };
    for (const auto &[harmonic, level] : {std::pair {2, hd2}, std::pair {3, hd3}}) {
        const double measured = dbc(harmonic);
        const QByteArray shown = QByteArray::number(harmonic) + ": " + QByteArray::number(measured);
        QVERIFY2(level != 0 ? std::abs(measured - level) < 1.0 : measured < -90, shown);
    }
    // A bin away from the harmonics holds only the noise.
    QVERIFY(dbc(5) < -90);
}

void AdsimTest::wellFormedStream()
{
    const SignalPattern::Settings ramp {SignalPattern::Shape::Ramp};
    const std::string stream = generatedStream(ramp, {}, 1, 4200);
    std::string expected;
    char frame[6];
    for (int i = 0; i < 4200; ++i) {
        std::snprintf(frame, sizeof frame, "\x02%03X\r", i % 4096);
        expected += frame;
    }
    QCOMPARE(QByteArray::fromStdString(stream), QByteArray::fromStdString(expected));

    ReceiverModel model;
    model.feed(stream);
    QCOMPARE(model.expectation().framesOpened, 4200ull);
    QCOMPARE(model.expectation().framesCompleted, 4200ull);
    QCOMPARE(model.expectation().histogram[0], 2ull);
    QCOMPARE(model.expectation().histogram[103], 2ull);
    QCOMPARE(model.expectation().histogram[104], 1ull);
    QCOMPARE(model.expectation().histogram[4095], 1ull);
}

void AdsimTest::malformedFrameKinds_data()
{
    // The values a receiver can read from each kind of frame carrying 0x7A5,
    // worked out by hand from where the random choices may put things.
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<int>>("values");
    using Kind = StreamGenerator::FrameKind;
    QTest::newRow("well formed") << int(Kind::WellFormed) << QList<int> {0x7A5};
    QTest::newRow("truncated") << int(Kind::Truncated) << QList<int> {0x7, 0x7A};
    QTest::newRow("empty") << int(Kind::Empty) << QList<int> {0};
    QTest::newRow("over-long") << int(Kind::OverLong) << QList<int> {0x7A5};
    QTest::newRow("non-hex start") << int(Kind::NonHexStart) << QList<int> {0};
    QTest::newRow("STX inside") << int(Kind::StxInside) << QList<int> {0, 0x7, 0x7A};
    QTest::newRow("blank inside") << int(Kind::Blank) << QList<int> {0x7A};
    QTest::newRow("lower case") << int(Kind::LowerCase) << QList<int> {0x7A5};
}

void AdsimTest::malformedFrameKinds()
{
    QFETCH(int, kind);
    QFETCH(QList<int>, values);

    for (const bool hostile : {false, true}) {
        RandomSource random(11);
        std::set<int> seen;
        for (int i = 0; i < 200; ++i) {
            const std::string frame
                = StreamGenerator::frame(StreamGenerator::FrameKind(kind), 0x7A5, random, hostile);
            // One frame: opened by its first byte, closed by its last, by no other.
            QCOMPARE(frame.front(), '\x02');
            QCOMPARE(frame.back(), '\r');
            QCOMPARE(std::count(frame.begin(), frame.end(), '\r'), 1);
            ReceiverModel model;
            model.feed(frame);
            QCOMPARE(model.expectation().framesCompleted, 1ull);
            seen.insert(histogramOf(model.expectation()).firstKey());
        }
        QCOMPARE(QList<int>(seen.begin(), seen.end()), values);
    }
}

void AdsimTest::ordinaryJunkNeverOpensAFrame()
{
    // Without the hostile mix every frame the generator makes is opened and
    // completed exactly once, whatever the junk and malformed frames.
    const int frames = 5000;
    SignalPattern signal({SignalPattern::Shape::Noise, 2048, 100}, 3);
    StreamGenerator generator({20, 0.5, false}, 3);
    ReceiverModel model;
    std::set<StreamGenerator::FrameKind> kinds;
    for (int i = 0; i < frames; ++i) {
        const std::string chunk = generator.nextFrame(signal.nextCode());
        kinds.insert(generator.lastKind());
        QVERIFY(chunk.find('\0') == std::string::npos);
        QVERIFY(std::none_of(chunk.begin(), chunk.end(), [](char c) { return c & 0x80; }));
        model.feed(chunk);
        QVERIFY(!model.insideFrame());
    }
    QCOMPARE(model.expectation().framesOpened, quint64(frames));
    QCOMPARE(model.expectation().framesCompleted, quint64(frames));
    QCOMPARE(int(kinds.size()), StreamGenerator::frameKindCount);
}

void AdsimTest::hostileMixHasEveryDisturbance()
{
    const std::string stream = generatedStream({}, {4, 0.0, true}, 21, 3000);
    QVERIFY(stream.find(std::string(4, '\0')) != std::string::npos);
    QVERIFY(stream.find("\x02\x02\x02") != std::string::npos);
    QVERIFY(std::count_if(stream.begin(), stream.end(), [](char c) { return c & 0x80; }) > 100);
    std::size_t longestRun = 0;
    for (std::size_t start = 0, end; start < stream.size(); start = end + 1) {
        end = std::min(stream.find('\r', start), stream.size());
        longestRun = std::max(longestRun, end - start);
    }
    QVERIFY(longestRun > 1000);

    ReceiverModel model;
    model.feed(stream);
    const Expectation &expected = model.expectation();
    quint64 binned = 0;
    for (quint64 count : expected.histogram)
        binned += count;
    QCOMPARE(binned, expected.framesCompleted);
    QVERIFY(expected.framesOpened == expected.framesCompleted + (model.insideFrame() ? 1 : 0));
    // Frames swallowed by junk read as junk: the noise around 2048 never
    // comes near 0 by itself.
    QVERIFY(expected.histogram[0] > 10);
    QCOMPARE(QByteArray::fromStdString(generatedStream({}, {4, 0.0, true}, 21, 3000)),
        QByteArray::fromStdString(stream));
}

void AdsimTest::paceSchedule_data()
{
    QTest::addColumn<quint64>("rate");
    QTest::newRow("9600 8N1") << quint64(960);
    QTest::newRow("1 per second") << quint64(1);
    QTest::newRow("3 per second") << quint64(3);
    QTest::newRow("7 per second") << quint64(7);
    QTest::newRow("11520 per second") << quint64(11520);
    QTest::newRow("prime near the top") << quint64(999999937);
}

void AdsimTest::paceSchedule()
{
    QFETCH(quint64, rate);
    // The time a byte count falls due and the count due at a time must agree
    // exactly: a byte is due at timeFor(n) and not a nanosecond sooner.
    PaceSchedule schedule(rate, 1h * 1000);
    const Clock::time_point start {};
    schedule.restart(start, 100);
    QCOMPARE(schedule.timeFor(100), start);
    QCOMPARE(schedule.bytesDue(start, 100), 0ull);
    for (quint64 bytes :
        {1ull, 2ull, 3ull, 959ull, 960ull, 961ull, rate - 1, rate, rate + 1, 1234567ull}) {
        if (bytes == 0)
            continue;
        const Clock::time_point due = schedule.timeFor(100 + bytes);
        QCOMPARE(schedule.bytesDue(due, 100), bytes);
        QCOMPARE(schedule.bytesDue(due - 1ns, 100), bytes - 1);
        QCOMPARE(schedule.bytesDue(due, 100 + bytes), 0ull);
    }
    QCOMPARE(schedule.timeFor(100 + rate), start + 1s);

    // Batches: never wake sooner than the batch interval, nor before a byte is due.
    const Clock::time_point wake = schedule.nextWake(start, 100);
    QVERIFY(wake >= start + PaceSchedule::batchInterval);
    QVERIFY(wake >= schedule.timeFor(101));
    QVERIFY(wake == start + PaceSchedule::batchInterval || wake == schedule.timeFor(101));
}

void AdsimTest::paceScheduleHasNoDriftAndNoBurst()
{
    // An hour of 4 ms batches at 960 bytes/s: exactly 3 456 000 bytes.
    PaceSchedule schedule;
    Clock::time_point now {};
    schedule.restart(now, 0);
    quint64 sent = 0;
    for (int tick = 0; tick < 900000; ++tick) {
        now += 4ms;
        sent += schedule.bytesDue(now, sent);
    }
    QCOMPARE(sent, 3456000ull);

    // Held up for a second (the reader stopped reading): no burst of 960 bytes
    // afterwards, the line carries on at its own pace from there.
    now += 1s;
    QCOMPARE(schedule.bytesDue(now, sent), 0ull);
    QCOMPARE(schedule.bytesDue(now + 200ms, sent), 192ull);
    // A short hiccup is made up for.
    QCOMPARE(schedule.bytesDue(now + 400ms, sent + 192), 192ull);
}

void AdsimTest::commandLine()
{
    CommandLine line;
    QVERIFY(line.parse({"--pattern", "sine", "--period=50", "--code", "4095", "--sigma", "0.5",
        "--noise-bytes", "3", "--malformed", "0.25", "--hostile", "--rate", "120", "--frames",
        "18446744073709551615", "--seed", "0", "--link", "/tmp/x", "--wait-reader", "--settle-ms",
        "0", "--linger-ms", "5", "--summary", "out.txt"}));
    const CommandLine::Options &o = line.options();
    QCOMPARE(o.signal.shape, SignalPattern::Shape::Sine);
    QCOMPARE(o.signal.period, 50ull);
    QCOMPARE(o.signal.code, 4095);
    QCOMPARE(o.signal.sigma, 0.5);
    QCOMPARE(o.stream.maxNoiseBytes, 3);
    QCOMPARE(o.stream.malformedProbability, 0.25);
    QVERIFY(o.stream.hostile);
    QCOMPARE(o.transmit.rate, 120ull);
    QVERIFY(!o.transmit.fast);
    QCOMPARE(o.transmit.frames, UINT64_MAX);
    QVERIFY(o.seed == std::uint64_t(0));
    QVERIFY(o.transmit.waitForReader);
    QCOMPARE(o.transmit.settle, 0ms);
    QCOMPARE(o.transmit.linger, 5ms);
    QCOMPARE(o.linkPath, std::string("/tmp/x"));
    QCOMPARE(o.summaryPath, std::string("out.txt"));
    QVERIFY(o.devicePath.empty());

    QVERIFY(line.parse({"/dev/ttyUSB0", "--fast"}));
    QCOMPARE(line.options().devicePath, std::string("/dev/ttyUSB0"));
    QVERIFY(line.options().transmit.fast);
    QVERIFY(!line.options().seed);
    QCOMPARE(line.options().transmit.rate, 960ull);

    QVERIFY(line.parse({"--pattern", "sine", "--frequency", "0.499", "--samples", "x.npy"}));
    QVERIFY(line.options().signal.tone() && line.options().samplesPath == "x.npy");
    QVERIFY(line.parse({"--replay", "raw.bin", "--fast", "--summary", "s", "--samples", "x"}));
}

void AdsimTest::commandLineRejects_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named");

    QTest::newRow("unknown") << QStringList {"--colour", "red"} << "--colour";
    QTest::newRow("missing value") << QStringList {"--frames"} << "--frames";
    QTest::newRow("flag with value") << QStringList {"--fast=yes"} << "--fast";
    QTest::newRow("bad pattern") << QStringList {"--pattern", "square"} << "--pattern";
    QTest::newRow("code too big") << QStringList {"--code", "4096"} << "--code";
    QTest::newRow("negative code") << QStringList {"--code", "-1"} << "--code";
    QTest::newRow("code with junk") << QStringList {"--code", "12x"} << "--code";
    QTest::newRow("negative sigma") << QStringList {"--sigma", "-1"} << "--sigma";
    QTest::newRow("sigma not a number") << QStringList {"--sigma", "nan"} << "--sigma";
    QTest::newRow("zero period") << QStringList {"--period", "0"} << "--period";
    QTest::newRow("probability above 1") << QStringList {"--malformed", "1.5"} << "--malformed";
    QTest::newRow("zero rate") << QStringList {"--rate", "0"} << "--rate";
    QTest::newRow("fast and rate") << QStringList {"--fast", "--rate", "100"} << "--fast";
    QTest::newRow("seed overflow") << QStringList {"--seed", "18446744073709551616"} << "--seed";
    QTest::newRow("empty link") << QStringList {"--link="} << "--link";
    QTest::newRow("link with device") << QStringList {"/dev/ttyS0", "--link", "/tmp/x"} << "--link";
    QTest::newRow("wait with device")
        << QStringList {"/dev/ttyS0", "--wait-reader"} << "--wait-reader";
    QTest::newRow("two devices") << QStringList {"/dev/ttyS0", "/dev/ttyS1"} << "/dev/ttyS1";
    QTest::newRow("frequency at Nyquist") << QStringList {"--frequency", "0.5"} << "--frequency";
    QTest::newRow("cycles at half the record")
        << QStringList {"--cycles", "5", "--record", "10"} << "--cycles";
    QTest::newRow("zero cycles") << QStringList {"--cycles", "0", "--record", "10"} << "--cycles";
    QTest::newRow("cycles alone") << QStringList {"--cycles", "3"} << "--record";
    QTest::newRow("frequency and cycles")
        << QStringList {"--frequency", "0.1", "--cycles", "3", "--record", "64"} << "--frequency";
    QTest::newRow("tone and ramp")
        << QStringList {"--frequency", "0.1", "--pattern", "ramp"} << "--pattern ramp";
    QTest::newRow("harmonic without tone") << QStringList {"--hd3", "-70"} << "--hd3";
    QTest::newRow("replay with a tone")
        << QStringList {"--replay", "raw", "--frequency", "0.1"} << "--frequency";
    QTest::newRow("replay with seed") << QStringList {"--replay", "raw", "--seed", "1"} << "--seed";
}

void AdsimTest::commandLineRejects()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);

    std::vector<std::string> list;
    for (const QString &argument : arguments)
        list.push_back(argument.toStdString());
    CommandLine line;
    QVERIFY(!line.parse(list));
    const QString error = QString::fromStdString(line.error());
    QVERIFY2(error.contains(named) && !error.contains('\n'), qPrintable(error));
}

void AdsimTest::ptyBehaviourRelied()
{
    // The Linux pseudo-terminal behaviour that PseudoTerminal and Transmitter
    // build on, checked on the kernel the tests run on.
    PseudoTerminal pty;
    QVERIFY2(pty.open(), pty.errorString().c_str());
    QVERIFY(!pty.readerPresent());

    // Written before anyone opens the slave: kept for the first reader.
    QCOMPARE(pty.write("early").count, 5u);

    int reader = openSlave(pty.slavePath());
    QVERIFY(reader >= 0);
    QVERIFY(pty.readerPresent());
    // The raw mode set through the master is the slave's.
    termios settings {};
    QCOMPARE(tcgetattr(reader, &settings), 0);
    QVERIFY(!(settings.c_lflag & (ICANON | ECHO)) && !(settings.c_iflag & ICRNL));
    QVERIFY(!(settings.c_oflag & OPOST));
    QCOMPARE(cfgetispeed(&settings), speed_t(B9600));
    QCOMPARE(settings.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));
    QCOMPARE(readBytes(reader, 5), std::string("early"));

    // CR and NUL pass unchanged; the slave's queue shows what is unread.
    QCOMPARE(pty.write(std::string("\x02"
                                   "1\0\r\n",
                           5))
                 .count,
        5u);
    QVERIFY(eventually([&] { return pty.unreadBytes() == std::size_t(5); }));
    QCOMPARE(readBytes(reader, 5),
        std::string("\x02"
                    "1\0\r\n",
            5));
    QVERIFY(eventually([&] { return pty.unreadBytes() == std::size_t(0); }));

    // Closing the last slave descriptor is seen as POLLHUP; writes still
    // succeed and wait for the next reader, who finds the line still raw.
    QCOMPARE(pty.write("left").count, 4u);
    ::close(reader);
    QVERIFY(!pty.readerPresent());
    QCOMPARE(pty.write("over").count, 4u);
    reader = openSlave(pty.slavePath());
    QVERIFY(pty.readerPresent());
    QCOMPARE(tcgetattr(reader, &settings), 0);
    QVERIFY(!(settings.c_lflag & ICANON));
    QCOMPARE(readBytes(reader, 8), std::string("leftover"));

    // A brief look at the queue does not count as the reader leaving.
    QVERIFY(pty.unreadBytes());
    QVERIFY(pty.readerPresent());
    ::close(reader);
    QVERIFY(!pty.readerPresent());
}

void AdsimTest::ptyCarriesGeneratedBytes_data()
{
    QTest::addColumn<bool>("fast");
    QTest::addColumn<bool>("hostile");
    QTest::newRow("fast, ordinary") << true << false;
    QTest::newRow("fast, hostile") << true << true;
    QTest::newRow("paced") << false << false;
}

void AdsimTest::ptyCarriesGeneratedBytes()
{
    QFETCH(bool, fast);
    QFETCH(bool, hostile);

    const SignalPattern::Settings signalSettings {SignalPattern::Shape::Noise, 100, 30};
    const StreamGenerator::Settings streamSettings {5, 0.3, hostile};
    const int frames = fast ? 4000 : 300;
    const std::string expected = generatedStream(signalSettings, streamSettings, 77, frames);

    PseudoTerminal pty;
    QVERIFY2(pty.open(), pty.errorString().c_str());
    SignalPattern signal(signalSettings, 77);
    StreamGenerator generator(streamSettings, 77);
    Transmitter::Settings settings;
    settings.frames = frames;
    settings.fast = fast;
    settings.rate = 100000;
    settings.waitForReader = true;
    settings.settle = 0ms;
    Transmitter transmitter(pty, signal, generator, settings);
    TransmitterThread thread(transmitter);

    // The writer waits for the reader, so nothing is lost to a late open.
    std::this_thread::sleep_for(50ms);
    QCOMPARE(transmitter.bytesSent(), 0ull);
    const int reader = openSlave(pty.slavePath());
    QVERIFY(reader >= 0);
    const std::string received = readBytes(reader, expected.size());
    QCOMPARE(thread.join(), Transmitter::Outcome::Finished);
    ::close(reader);

    QCOMPARE(received.size(), expected.size());
    QVERIFY(received == expected);
    QCOMPARE(transmitter.bytesSent(), quint64(expected.size()));
    ReceiverModel model;
    model.feed(expected);
    QVERIFY(transmitter.model().expectation() == model.expectation());
}

void AdsimTest::readerReopeningKeepsWriterGoing_data()
{
    QTest::addColumn<bool>("waitForReader");
    QTest::newRow("waiting for a reader") << true;
    QTest::newRow("sending regardless") << false;
}

void AdsimTest::readerReopeningKeepsWriterGoing()
{
    QFETCH(bool, waitForReader);

    // More than the pseudo-terminal holds, so the writer meets a full line
    // while the reader is away.
    const int frames = 20000;
    const std::string expected = generatedStream({}, {}, 8, frames);

    PseudoTerminal pty;
    QVERIFY2(pty.open(), pty.errorString().c_str());
    SignalPattern signal({}, 8);
    StreamGenerator generator({}, 8);
    Transmitter::Settings settings;
    settings.frames = frames;
    settings.fast = true;
    settings.waitForReader = waitForReader;
    settings.settle = 0ms;
    Transmitter transmitter(pty, signal, generator, settings);

    int reader = openSlave(pty.slavePath());
    QVERIFY(reader >= 0);
    TransmitterThread thread(transmitter);
    const std::string first = readBytes(reader, 1000);
    ::close(reader);
    // The writer lives on without a reader: it stops when the line is full,
    // or at once when it waits for readers.
    std::this_thread::sleep_for(200ms);
    QVERIFY(transmitter.bytesSent() < expected.size());

    reader = openSlave(pty.slavePath());
    QVERIFY(reader >= 0);
    const std::string rest = readBytes(reader, expected.size() - first.size());
    QCOMPARE(thread.join(), Transmitter::Outcome::Finished);
    ::close(reader);
    // Nothing lost or repeated across the reader's absence.
    QVERIFY(first + rest == expected);
}

void AdsimTest::slaveLink()
{
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const std::string path = directory.filePath("ttyADSIM").toStdString();
    const auto target = [&] {
        char buffer[256] = {};
        return readlink(path.c_str(), buffer, sizeof buffer - 1) < 0 ? std::string()
                                                                     : std::string(buffer);
    };

    // A link left by a killed run is replaced.
    QCOMPARE(symlink("/dev/pts/nowhere", path.c_str()), 0);
    {
        SlaveLink link;
        QVERIFY2(link.create(path, "/dev/pts/7"), link.errorString().c_str());
        QCOMPARE(target(), std::string("/dev/pts/7"));
    }
    struct stat status;
    QVERIFY(lstat(path.c_str(), &status) != 0);

    // A link another run has since taken over is left to it.
    {
        SlaveLink link;
        QVERIFY(link.create(path, "/dev/pts/7"));
        QCOMPARE(unlink(path.c_str()), 0);
        QCOMPARE(symlink("/dev/pts/8", path.c_str()), 0);
    }
    QCOMPARE(target(), std::string("/dev/pts/8"));
    QCOMPARE(unlink(path.c_str()), 0);

    // Anything that is not a link is never replaced.
    const int file = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    QVERIFY(file >= 0);
    ::close(file);
    SlaveLink link;
    QVERIFY(!link.create(path, "/dev/pts/7"));
    QVERIFY(lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode));
}

void AdsimTest::programWritesSamplesAndReplays_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("samples");

    QTest::newRow("tone with malformed frames, .npy") << QStringList {"--cycles", "67", "--record",
        "4096", "--frames", "4096", "--hd3", "-70", "--malformed", "0.05", "--noise-bytes", "2",
        "--seed", "3", "--fast"} << "x.NPY";
    // Paced: a burst would take a few milliseconds.
    QTest::newRow("replay, CSV") << QStringList {"--rate", "40000", "--replay"} << "x.csv";
}

void AdsimTest::programWritesSamplesAndReplays()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, samples);

    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    std::string expected;
    if (arguments.last() == "--replay") {
        // Bytes as a line may carry them: NUL and high bytes, junk, malformed
        // frames, a frame left open at the end.
        expected = std::string("\0\0\xFF\x80\x02\x02", 6)
            + generatedStream({}, {4, 0.2, false}, 9, 2000) + std::string(1, '\x02') + "12";
        arguments << directory.filePath("raw.bin");
        std::ofstream(arguments.last().toStdString(), std::ios::binary) << expected;
    } else {
        CommandLine line;
        QVERIFY(line.parse(strings(arguments)));
        const CommandLine::Options &o = line.options();
        expected = generatedStream(o.signal, o.stream, *o.seed, int(o.transmit.frames));
    }
    const QString samplesPath = directory.filePath(samples);
    QProcess adsim;
    adsim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    adsim.start(ADSIM_PATH,
        arguments << "--samples" << samplesPath << "--wait-reader"
                  << "--settle-ms"
                  << "0");
    QVERIFY(adsim.waitForReadyRead(10000));
    const int reader = openSlave(adsim.readLine().trimmed().toStdString());
    QVERIFY(reader >= 0);
    QVERIFY(readBytes(reader, expected.size() + 1) == expected);
    QVERIFY(adsim.waitForFinished(10000));
    ::close(reader);
    QCOMPARE(adsim.exitCode(), 0);
    QVERIFY(
        timer.elapsed() >= qint64(expected.size()) / 40 * 9 / 10 || !arguments.contains("--rate"));

    // The file holds exactly what the receiving end reads from the line.
    ReceiverModel model;
    model.keepCodes(maxSampleRecordLength);
    model.feed(expected);
    std::ifstream file(samplesPath.toStdString(), std::ios::binary);
    const SampleRecordReading reading = readSampleRecord(file);
    QVERIFY2(reading.ok(), reading.error.c_str());
    QVERIFY(reading.codes.size() > 1000 && reading.codes == model.codes());
    QCOMPARE(QDir(directory.path()).entryList(QDir::Files).size(),
        arguments.contains("--replay") ? 2 : 1);
}

void AdsimTest::programRefusesBadValues()
{
    QProcess adsim;
    adsim.start(ADSIM_PATH, {"--cycles", "4", "--record", "8"});
    QVERIFY(adsim.waitForFinished(10000));
    QCOMPARE(adsim.exitCode(), 2);
    QVERIFY(adsim.readAllStandardOutput().isEmpty());
    QCOMPARE(adsim.readAllStandardError().count('\n'), 1);
}

QTEST_APPLESS_MAIN(AdsimTest)
#include "tst_adsim.moc"

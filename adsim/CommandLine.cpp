#include "CommandLine.h"

#include "OptionParser.h"

#include <string_view>

namespace {

constexpr std::uint64_t longestWaitMs = 3'600'000;
constexpr int mostNoiseBytes = 65536;

// "A,B,C" into its parts; empty parts are kept so that they are reported.
std::vector<std::string> listItems(const std::string &text)
{
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos)
            return items;
        start = comma + 1;
    }
}

// The option's value into `target`, when it was given and is a whole number
// in [low, high].
template<typename Target>
bool readWhole(OptionParser &parser, std::string_view name, std::uint64_t low, std::uint64_t high,
    std::string_view what, Target &target)
{
    std::optional<std::uint64_t> number;
    if (!parser.wholeValue(name, low, high, what, number))
        return false;
    if (number)
        target = static_cast<Target>(*number);
    return true;
}

bool readReal(OptionParser &parser, std::string_view name, double low, double high,
    std::string_view what, double &target)
{
    std::optional<double> number;
    if (!parser.realValue(name, low, high, what, number))
        return false;
    if (number)
        target = *number;
    return true;
}

bool readPath(OptionParser &parser, std::string_view name, std::string &target)
{
    if (!parser.isSet(name))
        return true;
    target = parser.value(name);
    return !target.empty() || parser.fail(std::string(name) + ": needs a path");
}

} // namespace

bool CommandLine::parse(const std::vector<std::string> &arguments)
{
    m_options = Options();
    m_error.clear();
    OptionParser parser;
    for (std::string_view name :
        {"--pattern", "--code", "--sigma", "--period", "--seed", "--noise-bytes", "--malformed",
            "--frames", "--rate", "--link", "--settle-ms", "--linger-ms", "--summary", "--level",
            "--amplitude", "--dnl-sigma", "--dnl-code", "--missing", "--offset", "--gain",
            "--input-noise", "--dnl-seed", "--transitions", "--frequency", "--cycles", "--record",
            "--phase", "--hd2", "--hd3", "--samples", "--replay"})
        parser.addValue({name});
    for (std::string_view name : {"--hostile", "--fast", "--wait-reader", "--version"})
        parser.addFlag({name});
    parser.addFlag({"--help", "-h"});
    if (!parser.parse(arguments))
        return fail(parser.error());
    const std::vector<std::string> &devices = parser.positional();
    if (devices.size() > 1)
        return fail("more than one device given: " + devices[0] + ", " + devices[1]);

    Options &o = m_options;
    if (!devices.empty())
        o.devicePath = devices.front();
    o.help = parser.isSet("--help");
    o.version = parser.isSet("--version");
    o.stream.hostile = parser.isSet("--hostile");
    o.transmit.fast = parser.isSet("--fast");
    o.transmit.waitForReader = parser.isSet("--wait-reader");
    if (parser.isSet("--pattern")) {
        const auto shape = SignalPattern::shapeFromName(parser.value("--pattern"));
        if (!shape) {
            parser.badValue("--pattern", "one of fixed, noise, ramp, sine, dc");
            return fail(parser.error());
        }
        o.signal.shape = *shape;
    }
    const char *msRange = "a time from 0 to 3600000 ms";
    if (!readWhole(
            parser, "--code", 0, SignalPattern::maxCode, "a code from 0 to 4095", o.signal.code)
        || !readReal(
            parser, "--sigma", 0, 100000, "a deviation from 0 to 100000 codes", o.signal.sigma)
        || !readWhole(
            parser, "--period", 1, UINT64_MAX, "a period of at least 1 frame", o.signal.period)
        || !readWhole(parser, "--noise-bytes", 0, mostNoiseBytes, "a byte count from 0 to 65536",
            o.stream.maxNoiseBytes)
        || !readReal(
            parser, "--malformed", 0, 1, "a probability from 0 to 1", o.stream.malformedProbability)
        || !readWhole(parser, "--rate", 1, PaceSchedule::maxRate,
            "a rate from 1 to 1000000000 bytes per second", o.transmit.rate)
        || !readWhole(
            parser, "--frames", 0, UINT64_MAX, "a frame count (0: no end)", o.transmit.frames)
        || !parser.wholeValue(
            "--seed", 0, UINT64_MAX, "a seed from 0 to 18446744073709551615", o.seed)
        || !readWhole(parser, "--settle-ms", 0, longestWaitMs, msRange, o.transmit.settle)
        || !readWhole(parser, "--linger-ms", 0, longestWaitMs, msRange, o.transmit.linger)
        || !readPath(parser, "--link", o.linkPath) || !readPath(parser, "--summary", o.summaryPath)
        || !readPath(parser, "--transitions", o.transitionsPath)
        || !readPath(parser, "--samples", o.samplesPath)
        || !readPath(parser, "--replay", o.replayPath) || !readConverter(parser)
        || !readTone(parser))
        return fail(parser.error());

    if (o.help || o.version)
        return true;
    if (parser.isSet("--rate") && o.transmit.fast)
        return fail("--fast and --rate: choose one");
    if (!o.devicePath.empty() && !o.linkPath.empty())
        return fail("--link: only for the pseudo-terminal, not with a device");
    if (!o.devicePath.empty() && o.transmit.waitForReader)
        return fail("--wait-reader: only for the pseudo-terminal, not with a device");
    return checkReplay(parser);
}

bool CommandLine::readTone(OptionParser &parser)
{
    SignalPattern::Settings &signal = m_options.signal;
    constexpr std::uint64_t most = SignalPattern::maxRecord;
    const char *dbc = "a level from -300 to 0 dBc";
    if (!readReal(parser, "--frequency", 0, 0.5,
            "a frequency above 0 and below 0.5 cycles per sample", signal.frequency)
        || !readWhole(parser, "--cycles", 1, most - 1, "a cycle count of at least 1", signal.cycles)
        || !readWhole(
            parser, "--record", 3, most, "a record of 3 to 4294967296 samples", signal.record)
        || !readReal(
            parser, "--phase", -1e6, 1e6, "a phase from -1000000 to 1000000 radians", signal.phase)
        || !parser.realValue("--hd2", -300, 0, dbc, signal.hd2Dbc)
        || !parser.realValue("--hd3", -300, 0, dbc, signal.hd3Dbc))
        return false;
    // Both ends are out: 0 is no tone, 0.5 samples every cycle at the same
    // two points.
    if (parser.isSet("--frequency") && (signal.frequency == 0 || signal.frequency == 0.5))
        return parser.badValue(
            "--frequency", "a frequency above 0 and below 0.5 cycles per sample");

    const bool frequency = parser.isSet("--frequency");
    const bool coherent = parser.isSet("--cycles") || parser.isSet("--record");
    if (frequency && coherent)
        return parser.fail("--frequency and --cycles/--record: choose one");
    if (coherent && !parser.isSet("--record"))
        return parser.fail("--cycles: needs --record, the samples the cycles fit in");
    if (coherent && !parser.isSet("--cycles"))
        return parser.fail("--record: needs --cycles, the cycles in the record");
    if (coherent && signal.cycles * 2 >= signal.record)
        return parser.fail("--cycles: " + std::to_string(signal.cycles) + " cycles in "
            + std::to_string(signal.record)
            + " samples; there must be fewer than half as many cycles as samples");
    if (!frequency && !coherent) {
        for (const std::string_view name : {"--phase", "--hd2", "--hd3"}) {
            if (parser.isSet(name))
                return parser.fail(
                    std::string(name) + ": needs --frequency, or --cycles and --record");
        }
        if (signal.shape == SignalPattern::Shape::Sine && !parser.isSet("--period"))
            signal.frequency = SignalPattern::defaultSineFrequency;
        return true;
    }
    const std::string_view named = frequency ? "--frequency" : "--cycles";
    if (parser.isSet("--pattern") && signal.shape != SignalPattern::Shape::Sine)
        return parser.fail(
            std::string(named) + ": a sine, not --pattern " + parser.value("--pattern"));
    if (parser.isSet("--period"))
        return parser.fail("--period and " + std::string(named) + ": choose one");
    signal.shape = SignalPattern::Shape::Sine;
    return true;
}

// Replayed bytes go out as they are, so anything that would shape a signal or
// a stream contradicts --replay.
bool CommandLine::checkReplay(const OptionParser &parser)
{
    if (m_options.replayPath.empty())
        return true;
    for (const std::string_view name :
        {"--pattern", "--code", "--sigma", "--period", "--seed", "--noise-bytes", "--malformed",
            "--hostile", "--frames", "--level", "--amplitude", "--dnl-sigma", "--dnl-code",
            "--missing", "--offset", "--gain", "--input-noise", "--dnl-seed", "--transitions",
            "--frequency", "--cycles", "--record", "--phase", "--hd2", "--hd3"}) {
        if (parser.isSet(name))
            return fail(
                "--replay: sends the file as it is; " + std::string(name) + " does not apply");
    }
    return true;
}

bool CommandLine::readConverter(OptionParser &parser)
{
    SignalPattern::Settings &signal = m_options.signal;
    ConverterModel::Settings &converter = signal.converter;
    if (!readReal(
            parser, "--level", -10000, 10000, "a level from -10000 to 10000 LSB", signal.level)
        || !readReal(
            parser, "--amplitude", 0, 10000, "an amplitude from 0 to 10000 LSB", signal.amplitude)
        || !readReal(
            parser, "--dnl-sigma", 0, 10, "a DNL deviation from 0 to 10 LSB", converter.dnlSigma)
        || !readReal(parser, "--offset", -10000, 10000, "an offset from -10000 to 10000 LSB",
            converter.offset)
        || !readReal(parser, "--gain", 0.01, 100, "a gain from 0.01 to 100", converter.gain)
        || !readReal(parser, "--input-noise", 0, 100000, "a deviation from 0 to 100000 LSB",
            converter.inputNoise)
        || !readWhole(parser, "--dnl-seed", 0, UINT64_MAX, "a seed from 0 to 18446744073709551615",
            converter.profileSeed))
        return false;

    constexpr std::uint64_t lastInnerCode = ConverterModel::codeCount - 2;
    for (const std::string_view name : {"--dnl-code", "--missing"}) {
        if (!parser.isSet(name))
            continue;
        const std::string prefix = std::string(name) + ": '";
        for (const std::string &item : listItems(parser.value(name))) {
            const std::size_t colon = item.find(':');
            const auto code = parseWholeNumber(item.substr(0, colon));
            if (!code || *code < 1 || *code > lastInnerCode)
                return parser.fail(prefix + item + "' does not start with a code from 1 to 4094");
            if (name == "--missing") {
                if (colon != std::string::npos)
                    return parser.fail(prefix + item + "' is not a code from 1 to 4094");
                converter.missingCodes.push_back(static_cast<int>(*code));
                continue;
            }
            const auto dnl = colon == std::string::npos
                ? std::nullopt
                : parseRealNumber(std::string_view(item).substr(colon + 1));
            if (!dnl || *dnl < -1 || *dnl > 100)
                return parser.fail(
                    prefix + item + "' is not CODE:DNL with a DNL from -1 to 100 LSB");
            converter.codeDnl.emplace_back(static_cast<int>(*code), *dnl);
        }
    }
    return true;
}

bool CommandLine::fail(const std::string &message)
{
    m_error = message;
    return false;
}

std::string CommandLine::helpText()
{
    return R"(Usage: adsim [OPTION]... [DEVICE]
Simulates the 12-bit A/D converter: sends readings as frames (STX, three hex
digits, CR) at 9600 baud 8N1 pace. Without DEVICE it creates a pseudo-terminal
and prints the path of its slave side as the first line of output; point the
tool at that path. With DEVICE (such as /dev/ttyUSB0) it sends to that serial
port instead.

Signal:
  --pattern NAME     fixed, noise (default), ramp (0..4095 and round again),
                     sine (full scale) or dc (a level through the converter)
  --code N           fixed code, or centre of the noise (0..4095, default 2048)
  --sigma S          noise deviation in codes (default 3)
  --period N         sine period in frames (default: about 1000, but not a
                     whole number of frames, so that the sine sweeps every code)
  --amplitude A      sine amplitude in LSB around mid-scale (default 2047.5)
  --level X          the input of the dc pattern, in LSB (default 2048)
  --seed N           makes the signal and the stream repeatable (default: a
                     fresh seed each run, shown in the closing summary)

A sine at a chosen frequency (a tone), sampled exactly at each frame, with
the --amplitude above and any --input-noise and converter faults below:
  --frequency F      F cycles per sample, above 0 and below 0.5
  --cycles J         coherent: exactly J cycles in every M samples,
  --record M         J below M/2 (J and M without a common factor put every
                     sample at a different phase)
  --phase RAD        the phase at the first frame in radians (default 0)
  --hd2 DBC          2nd harmonic relative to the fundamental, e.g. -70
  --hd3 DBC          3rd harmonic relative to the fundamental

Converter faults (any of them, or --pattern dc, puts the signal through a
model of the converter; the ramp and sine are then swept finely rather than
one code a step, the ramp 2 LSB beyond each end):
  --dnl-sigma S      random DNL per code with deviation S LSB
  --dnl-code LIST    codes made wide or narrow: CODE:DNL[,CODE:DNL...]
  --missing LIST     missing codes: CODE[,CODE...] (codes 1..4094)
  --offset X         offset error in LSB
  --gain G           gain (default 1)
  --input-noise S    noise at the input in LSB rms
  --dnl-seed N       the DNL profile's own seed (default 1): the same
                     converter whatever --seed says
  --transitions FILE write the converter's transition levels and the DNL
                     applied ("code transition_lsb dnl_lsb" lines)

Stream:
  --noise-bytes N    up to N junk bytes between frames (default 0)
  --malformed P      chance per frame of a malformed frame, 0..1 (default 0)
  --hostile          add NUL bytes, bytes 0x80..0xFF, bursts of STX and long
                     runs without CR, for soak tests
  --frames N         stop after N frames (default 0: run until interrupted)

Replay:
  --replay FILE      send the bytes of FILE (as adcapture --raw writes them)
                     once, exactly, then stop as at the end of --frames; paced
                     as ever, or --fast. No signal or stream options, --seed
                     or --frames with it

Pace:
  --rate N           bytes per second (default 960, as on a 9600 8N1 line)
  --fast             as fast as the reader takes them (not with --rate)

Pseudo-terminal:
  --link PATH        also make PATH a symbolic link to the slave (replaces an
                     old link there; removed on exit)
  --wait-reader      send only while someone has the slave open, starting
                     after they have settled
  --settle-ms N      how long to let a new reader settle (default 200)
  --linger-ms N      after the last frame, how long to wait for the reader to
                     take the rest without it making progress (default 1000)

Output:
  --summary FILE     on exit, write what the receiving tool should have
                     counted: frames opened, frames completed, and a
                     "code count" line per code received
  --samples FILE     on exit, write the code of every frame sent, in order, as
                     the tool reads them: NumPy .npy (uint16) when FILE ends
                     in .npy, else CSV with the header "sample,code"
  -h, --help         show this help
  --version          show the version

On exit (frame count reached, the line hung up, SIGINT or SIGTERM) a one-line
summary goes to standard error. Exit status: 0 when done, hung up or stopped,
1 on a failure (the pseudo-terminal, the device, the replayed file or an
output could not be opened, read or written), 2 on a bad option.

Example:
  build/adsim --pattern sine --link /tmp/ttyADSIM --wait-reader &
  ADTEST_COM1=/tmp/ttyADSIM build/adtest
)";
}

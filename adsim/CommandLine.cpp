#include "CommandLine.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

constexpr std::uint64_t longestWaitMs = 3'600'000;
constexpr int mostNoiseBytes = 65536;

std::optional<std::uint64_t> wholeNumber(const std::string &text)
{
    std::uint64_t value = 0;
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

std::optional<double> realNumber(const std::string &text)
{
    // strtod rather than from_chars: the clang builds' library lacks the
    // floating-point from_chars.
    if (text.empty() || text.front() == ' ')
        return std::nullopt;
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

struct OptionName
{
    std::string_view name;
    bool takesValue;
};

constexpr OptionName knownOptions[] = {
    {"--pattern", true},
    {"--code", true},
    {"--sigma", true},
    {"--period", true},
    {"--seed", true},
    {"--noise-bytes", true},
    {"--malformed", true},
    {"--hostile", false},
    {"--frames", true},
    {"--rate", true},
    {"--fast", false},
    {"--link", true},
    {"--wait-reader", false},
    {"--settle-ms", true},
    {"--linger-ms", true},
    {"--summary", true},
    {"--level", true},
    {"--amplitude", true},
    {"--dnl-sigma", true},
    {"--dnl-code", true},
    {"--missing", true},
    {"--offset", true},
    {"--gain", true},
    {"--input-noise", true},
    {"--dnl-seed", true},
    {"--transitions", true},
    {"--help", false},
    {"-h", false},
    {"--version", false},
};

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

const OptionName *findOption(std::string_view name)
{
    for (const OptionName &option : knownOptions) {
        if (option.name == name)
            return &option;
    }
    return nullptr;
}

} // namespace

bool CommandLine::parse(const std::vector<std::string> &arguments)
{
    m_options = Options();
    m_error.clear();
    bool rateGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (argument.empty() || argument[0] != '-') {
            if (!m_options.devicePath.empty())
                return fail(
                    "more than one device given: " + m_options.devicePath + ", " + argument);
            m_options.devicePath = argument;
            continue;
        }
        std::string name = argument;
        std::optional<std::string> value;
        if (const auto equals = argument.find('='); equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        const OptionName *option = findOption(name);
        if (!option)
            return fail(name + ": unknown option");
        if (option->takesValue && !value) {
            if (i + 1 == arguments.size())
                return fail(name + ": needs a value");
            value = arguments[++i];
        } else if (!option->takesValue && value) {
            return fail(name + ": takes no value");
        }
        rateGiven = rateGiven || name == "--rate";
        if (!parseOption(name, value))
            return false;
    }

    if (m_options.help || m_options.version)
        return true;
    if (rateGiven && m_options.transmit.fast)
        return fail("--fast and --rate: choose one");
    if (!m_options.devicePath.empty() && !m_options.linkPath.empty())
        return fail("--link: only for the pseudo-terminal, not with a device");
    if (!m_options.devicePath.empty() && m_options.transmit.waitForReader)
        return fail("--wait-reader: only for the pseudo-terminal, not with a device");
    return true;
}

bool CommandLine::parseOption(const std::string &name, const std::optional<std::string> &value)
{
    const std::string &text = value ? *value : std::string();
    const auto whole = [&](std::uint64_t low, std::uint64_t high,
                           const char *what) -> std::optional<std::uint64_t> {
        const auto number = wholeNumber(text);
        if (!number || *number < low || *number > high) {
            fail(name + ": '" + text + "' is not " + what);
            return std::nullopt;
        }
        return number;
    };
    const auto real = [&](double low, double high, const char *what) -> std::optional<double> {
        const auto number = realNumber(text);
        if (!number || *number < low || *number > high) {
            fail(name + ": '" + text + "' is not " + what);
            return std::nullopt;
        }
        return number;
    };
    const auto milliseconds = [&](std::chrono::milliseconds &target) {
        const auto number = whole(0, longestWaitMs, "a time from 0 to 3600000 ms");
        if (number)
            target = std::chrono::milliseconds(*number);
        return number.has_value();
    };

    Options &o = m_options;
    if (name == "--help" || name == "-h") {
        o.help = true;
    } else if (name == "--version") {
        o.version = true;
    } else if (name == "--hostile") {
        o.stream.hostile = true;
    } else if (name == "--fast") {
        o.transmit.fast = true;
    } else if (name == "--wait-reader") {
        o.transmit.waitForReader = true;
    } else if (name == "--pattern") {
        const auto shape = SignalPattern::shapeFromName(text);
        if (!shape)
            return fail(name + ": '" + text + "' is not one of fixed, noise, ramp, sine, dc");
        o.signal.shape = *shape;
    } else if (name == "--code") {
        const auto code = whole(0, SignalPattern::maxCode, "a code from 0 to 4095");
        if (!code)
            return false;
        o.signal.code = static_cast<int>(*code);
    } else if (name == "--sigma") {
        const auto sigma = real(0, 100000, "a deviation from 0 to 100000 codes");
        if (!sigma)
            return false;
        o.signal.sigma = *sigma;
    } else if (name == "--period") {
        const auto period = whole(1, UINT64_MAX, "a period of at least 1 frame");
        if (!period)
            return false;
        o.signal.period = *period;
    } else if (name == "--noise-bytes") {
        const auto count = whole(0, mostNoiseBytes, "a byte count from 0 to 65536");
        if (!count)
            return false;
        o.stream.maxNoiseBytes = static_cast<int>(*count);
    } else if (name == "--malformed") {
        const auto probability = real(0, 1, "a probability from 0 to 1");
        if (!probability)
            return false;
        o.stream.malformedProbability = *probability;
    } else if (name == "--rate") {
        const auto rate
            = whole(1, PaceSchedule::maxRate, "a rate from 1 to 1000000000 bytes per second");
        if (!rate)
            return false;
        o.transmit.rate = *rate;
    } else if (name == "--frames") {
        const auto frames = whole(0, UINT64_MAX, "a frame count (0: no end)");
        if (!frames)
            return false;
        o.transmit.frames = *frames;
    } else if (name == "--seed") {
        const auto seed = whole(0, UINT64_MAX, "a seed from 0 to 18446744073709551615");
        if (!seed)
            return false;
        o.seed = *seed;
    } else if (name == "--settle-ms") {
        return milliseconds(o.transmit.settle);
    } else if (name == "--linger-ms") {
        return milliseconds(o.transmit.linger);
    } else if (name == "--link" || name == "--summary" || name == "--transitions") {
        if (text.empty())
            return fail(name + ": needs a path");
        (name == "--link"             ? o.linkPath
                : name == "--summary" ? o.summaryPath
                                      : o.transitionsPath)
            = text;
    } else {
        return parseConverterOption(name, text);
    }
    return true;
}

bool CommandLine::parseConverterOption(const std::string &name, const std::string &text)
{
    constexpr int lastInnerCode = ConverterModel::codeCount - 2;
    const auto real
        = [&](const std::string &item, double low, double high) -> std::optional<double> {
        const auto number = realNumber(item);
        if (!number || *number < low || *number > high)
            return std::nullopt;
        return number;
    };
    const auto check = [&](std::optional<double> number, double &target, const char *what) {
        if (!number)
            return fail(name + ": '" + text + "' is not " + what);
        target = *number;
        return true;
    };
    SignalPattern::Settings &signal = m_options.signal;
    ConverterModel::Settings &converter = signal.converter;
    if (name == "--level")
        return check(real(text, -10000, 10000), signal.level, "a level from -10000 to 10000 LSB");
    if (name == "--amplitude")
        return check(real(text, 0, 10000), signal.amplitude, "an amplitude from 0 to 10000 LSB");
    if (name == "--dnl-sigma")
        return check(real(text, 0, 10), converter.dnlSigma, "a DNL deviation from 0 to 10 LSB");
    if (name == "--offset")
        return check(
            real(text, -10000, 10000), converter.offset, "an offset from -10000 to 10000 LSB");
    if (name == "--gain")
        return check(real(text, 0.01, 100), converter.gain, "a gain from 0.01 to 100");
    if (name == "--input-noise")
        return check(
            real(text, 0, 100000), converter.inputNoise, "a deviation from 0 to 100000 LSB");
    if (name == "--dnl-seed") {
        const auto seed = wholeNumber(text);
        if (!seed)
            return fail(name + ": '" + text + "' is not a seed from 0 to 18446744073709551615");
        converter.profileSeed = *seed;
        return true;
    }
    for (const std::string &item : listItems(text)) {
        const std::size_t colon = item.find(':');
        const auto code = wholeNumber(item.substr(0, colon));
        if (!code || *code < 1 || *code > lastInnerCode)
            return fail(name + ": '" + item + "' does not start with a code from 1 to 4094");
        if (name == "--missing") {
            if (colon != std::string::npos)
                return fail(name + ": '" + item + "' is not a code from 1 to 4094");
            converter.missingCodes.push_back(static_cast<int>(*code));
            continue;
        }
        const auto dnl
            = colon == std::string::npos ? std::nullopt : real(item.substr(colon + 1), -1, 100);
        if (!dnl)
            return fail(name + ": '" + item + "' is not CODE:DNL with a DNL from -1 to 100 LSB");
        converter.codeDnl.emplace_back(static_cast<int>(*code), *dnl);
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
  --period N         sine period in frames (default 1000)
  --amplitude A      sine amplitude in LSB around mid-scale (default 2047.5)
  --level X          the input of the dc pattern, in LSB (default 2048)
  --seed N           makes the signal and the stream repeatable (default: a
                     fresh seed each run, shown in the closing summary)

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

Pace:
  --rate N           bytes per second (default 960, as on a 9600 8N1 line)
  --fast             as fast as the reader takes them

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
  -h, --help         show this help
  --version          show the version

On exit (frame count reached, SIGINT or SIGTERM) a one-line summary goes to
standard error. Exit status: 0 when done or stopped, 1 on a failure, 2 on a
bad option.

Example:
  build/adsim --pattern sine --link /tmp/ttyADSIM --wait-reader &
  ADTEST_COM1=/tmp/ttyADSIM build/adtest
)";
}

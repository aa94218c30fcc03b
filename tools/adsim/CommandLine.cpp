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
    {"--help", false},
    {"-h", false},
};

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

    if (m_options.help)
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
    } else if (name == "--hostile") {
        o.stream.hostile = true;
    } else if (name == "--fast") {
        o.transmit.fast = true;
    } else if (name == "--wait-reader") {
        o.transmit.waitForReader = true;
    } else if (name == "--pattern") {
        const auto shape = SignalPattern::shapeFromName(text);
        if (!shape)
            return fail(name + ": '" + text + "' is not one of fixed, noise, ramp, sine");
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
    } else if (name == "--link" || name == "--summary") {
        if (text.empty())
            return fail(name + ": needs a path");
        (name == "--link" ? o.linkPath : o.summaryPath) = text;
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
  --pattern NAME     fixed, noise (default), ramp (0..4095 and round again)
                     or sine (full scale)
  --code N           fixed code, or centre of the noise (0..4095, default 2048)
  --sigma S          noise deviation in codes (default 3)
  --period N         sine period in frames (default 1000)
  --seed N           makes the signal and the stream repeatable (default: a
                     fresh seed each run, shown in the closing summary)

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

On exit (frame count reached, SIGINT or SIGTERM) a one-line summary goes to
standard error. Exit status: 0 when done or stopped, 1 on a failure, 2 on a
bad option.

Example:
  build/adsim --pattern sine --link /tmp/ttyADSIM --wait-reader &
  ADTEST_COM1=/tmp/ttyADSIM build/adtest
)";
}

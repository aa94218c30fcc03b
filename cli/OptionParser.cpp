#include "OptionParser.h"

#include "TrimmedText.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <locale>
#include <sstream>
#include <utility>

namespace {

// Blanks around a number on a command line are allowed.
constexpr std::string_view blanks = " \t\n";

} // namespace

std::optional<std::uint64_t> parseWholeNumber(std::string_view text)
{
    text = trimmed(text, blanks);
    std::uint64_t value = 0;
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

// A stream in the classic locale: the user's locale must not turn "1,5" into
// a number, and the floating-point from_chars is missing from some of the
// standard libraries the project builds with.
std::optional<double> parseRealNumber(std::string_view text)
{
    text = trimmed(text, blanks);
    if (text.empty())
        return std::nullopt;
    std::istringstream stream {std::string(text)};
    stream.imbue(std::locale::classic());
    double value = 0;
    stream >> value;
    if (stream.fail() || stream.peek() != std::char_traits<char>::eof() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

void OptionParser::addFlag(std::initializer_list<std::string_view> names)
{
    m_options.push_back({{names.begin(), names.end()}, false, {}, {}, false});
}

void OptionParser::addValue(std::initializer_list<std::string_view> names, std::string_view needs)
{
    m_options.push_back({{names.begin(), names.end()}, true, std::string(needs), {}, false});
}

const OptionParser::Option *OptionParser::find(std::string_view name) const
{
    for (const Option &option : m_options) {
        for (const std::string &spelling : option.names) {
            if (spelling == name)
                return &option;
        }
    }
    return nullptr;
}

OptionParser::Option *OptionParser::find(std::string_view name)
{
    return const_cast<Option *>(std::as_const(*this).find(name));
}

bool OptionParser::parse(const std::vector<std::string> &arguments)
{
    for (Option &option : m_options) {
        option.value.reset();
        option.set = false;
    }
    m_given.clear();
    m_positional.clear();
    m_rest.clear();
    m_error.clear();
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (argument.size() < 2 || argument[0] != '-') {
            m_positional.push_back(argument);
            if (m_keepUnknown)
                m_rest.push_back(argument);
            continue;
        }
        std::string name = argument;
        std::optional<std::string> value;
        if (const auto equals = argument.find('='); equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        Option *option = find(name);
        if (!option) {
            if (m_keepUnknown) {
                m_rest.push_back(argument);
                continue;
            }
            return fail(name + ": unknown option");
        }
        const std::string &key = option->names.front();
        if (option->takesValue && !value) {
            if (i + 1 == arguments.size())
                return fail(key + ": needs " + option->needs);
            value = arguments[++i];
        } else if (!option->takesValue && value) {
            return fail(key + ": takes no value");
        }
        if (option->set && option->takesValue)
            return fail(key + ": given more than once");
        if (!option->set)
            m_given.push_back(key);
        option->set = true;
        option->value = value;
    }
    return true;
}

bool OptionParser::isSet(std::string_view name) const
{
    const Option *option = find(name);
    return option && option->set;
}

std::string OptionParser::value(std::string_view name) const
{
    const Option *option = find(name);
    return option && option->value ? *option->value : std::string();
}

template<typename Number>
bool OptionParser::boundedValue(std::string_view name, Number low, Number high,
    std::string_view what, std::optional<Number> (*parse)(std::string_view),
    std::optional<Number> &target)
{
    if (!isSet(name))
        return true;
    const auto number = parse(value(name));
    if (!number || *number < low || *number > high)
        return badValue(name, what);
    target = *number;
    return true;
}

bool OptionParser::refusePositional()
{
    return m_positional.empty() || fail("unexpected argument '" + m_positional.front() + "'");
}

bool OptionParser::fail(std::string message)
{
    m_error = std::move(message);
    return false;
}

bool OptionParser::badValue(std::string_view name, std::string_view what)
{
    return fail(std::string(name) + ": '" + value(name) + "' is not " + std::string(what));
}

bool OptionParser::wholeValue(std::string_view name, std::uint64_t low, std::uint64_t high,
    std::string_view what, std::optional<std::uint64_t> &target)
{
    return boundedValue(name, low, high, what, parseWholeNumber, target);
}

bool OptionParser::intValue(
    std::string_view name, int low, int high, std::string_view what, std::optional<int> &target)
{
    if (!isSet(name))
        return true;
    // An optional minus sign, then the magnitude as a whole number: "-0" is
    // 0; "--1", "-+1" and "- 1" are not numbers.
    const std::string text = value(name);
    std::string_view digits = trimmed(text, blanks);
    const bool negative = digits.starts_with('-');
    if (negative)
        digits.remove_prefix(1);
    const bool digitFirst = !digits.empty() && digits.front() >= '0' && digits.front() <= '9';
    const auto magnitude = digitFirst ? parseWholeNumber(digits) : std::nullopt;
    if (!magnitude || *magnitude > std::uint64_t(INT_MAX) + 1)
        return badValue(name, what);
    const long long number
        = negative ? -static_cast<long long>(*magnitude) : static_cast<long long>(*magnitude);
    if (number < low || number > high)
        return badValue(name, what);
    target = int(number);
    return true;
}

bool OptionParser::realValue(std::string_view name, double low, double high, std::string_view what,
    std::optional<double> &target)
{
    return boundedValue(name, low, high, what, parseRealNumber, target);
}

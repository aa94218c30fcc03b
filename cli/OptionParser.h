#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A program's command line: its options are declared by name, read in one
// pass, then asked for. Long options take their value as "--name value" or
// "--name=value"; a valued option given twice is refused rather than
// silently taking the last value. Messages are one line that names the
// option, without the program's name.
class OptionParser
{
public:
    // Names an option by all its spellings ("--help", "-h"); the first is the
    // one to ask for and the one messages use. `needs` says what a valued
    // option's value is, for the message when it is missing:
    // "--port: needs a device path".
    void addFlag(std::initializer_list<std::string_view> names);
    void addValue(
        std::initializer_list<std::string_view> names, std::string_view needs = "a value");
    // Unknown options and every positional argument are kept, in order, in
    // rest() instead of being refused: for a program that hands them on.
    void keepUnknown() { m_keepUnknown = true; }

    // Reads the arguments after the program name, forgetting any earlier
    // reading. Returns false with error() set at the first one that cannot be
    // read.
    bool parse(const std::vector<std::string> &arguments);
    const std::string &error() const { return m_error; }
    // The reading a program with a Mode of Help and Version starts with:
    // parse(), then --help or --version, which answer before anything else is
    // checked (`mode` becomes Help or Version), then no positional argument.
    // Returns false with error() set.
    template<typename Mode>
    bool parseProgramArguments(const std::vector<std::string> &arguments, Mode &mode);

    bool isSet(std::string_view name) const;
    // The value given, or empty when the option was not.
    std::string value(std::string_view name) const;
    // The options given, by their first name, in the order given.
    const std::vector<std::string> &given() const { return m_given; }
    const std::vector<std::string> &positional() const { return m_positional; }
    const std::vector<std::string> &rest() const { return m_rest; }

    // A value as a bounded number. A value that is not one, or outside
    // [low, high], sets error() to "NAME: 'TEXT' is not WHAT" and returns
    // false; an option not given leaves `target` as it is and returns true.
    bool wholeValue(std::string_view name, std::uint64_t low, std::uint64_t high,
        std::string_view what, std::optional<std::uint64_t> &target);
    bool realValue(std::string_view name, double low, double high, std::string_view what,
        std::optional<double> &target);
    // As wholeValue, for options that hold an int; `low` may be negative.
    bool intValue(std::string_view name, int low, int high, std::string_view what,
        std::optional<int> &target);
    // Sets error() and returns false, for a program's own checks.
    bool fail(std::string message);
    bool badValue(std::string_view name, std::string_view what);

private:
    struct Option
    {
        std::vector<std::string> names;
        bool takesValue = false;
        std::string needs;
        std::optional<std::string> value;
        bool set = false;
    };
    bool refusePositional();
    template<typename Number>
    bool boundedValue(std::string_view name, Number low, Number high, std::string_view what,
        std::optional<Number> (*parse)(std::string_view), std::optional<Number> &target);
    const Option *find(std::string_view name) const;
    Option *find(std::string_view name);

    std::vector<Option> m_options;
    std::vector<std::string> m_given;
    std::vector<std::string> m_positional;
    std::vector<std::string> m_rest;
    std::string m_error;
    bool m_keepUnknown = false;
};

template<typename Mode>
bool OptionParser::parseProgramArguments(const std::vector<std::string> &arguments, Mode &mode)
{
    if (!parse(arguments))
        return false;
    if (isSet("--help"))
        mode = Mode::Help;
    else if (isSet("--version"))
        mode = Mode::Version;
    else
        return refusePositional();
    return true;
}

// Numbers as a command line writes them: the whole text, in the C locale,
// surrounding blanks allowed.
std::optional<std::uint64_t> parseWholeNumber(std::string_view text);
std::optional<double> parseRealNumber(std::string_view text);

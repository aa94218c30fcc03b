#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// An enumeration's values with a name each, listed once and read both ways: the
// name of a value, and the value a name stands for. Unlike a switch, a list
// that misses a value still compiles: a value added to an enumeration goes
// into its lists too.
template<typename Enum> struct EnumName
{
    Enum value;
    const char *name;
};

// The name of `value`; empty for a value the list lacks.
template<typename Enum, std::size_t Count>
constexpr const char *nameOf(const EnumName<Enum> (&names)[Count], Enum value)
{
    for (const EnumName<Enum> &entry : names) {
        if (entry.value == value)
            return entry.name;
    }
    return "";
}

// The value named exactly `name`, if one is.
template<typename Enum, std::size_t Count>
constexpr std::optional<Enum> valueNamed(
    const EnumName<Enum> (&names)[Count], std::string_view name)
{
    for (const EnumName<Enum> &entry : names) {
        if (name == entry.name)
            return entry.value;
    }
    return std::nullopt;
}

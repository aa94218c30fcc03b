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
    const char *name; // as files and command lines spell it
    const char *label = ""; // for a person, where it differs
};

// The entry of `value`; nullptr for a value the list lacks.
template<typename Enum, std::size_t Count>
constexpr const EnumName<Enum> *entryOf(const EnumName<Enum> (&names)[Count], Enum value)
{
    for (const EnumName<Enum> &entry : names) {
        if (entry.value == value)
            return &entry;
    }
    return nullptr;
}

// The name, or the label, of `value`; empty for a value the list lacks.
template<typename Enum, std::size_t Count>
constexpr const char *nameOf(const EnumName<Enum> (&names)[Count], Enum value)
{
    const EnumName<Enum> *entry = entryOf(names, value);
    return entry ? entry->name : "";
}
template<typename Enum, std::size_t Count>
constexpr const char *labelOf(const EnumName<Enum> (&names)[Count], Enum value)
{
    const EnumName<Enum> *entry = entryOf(names, value);
    return entry ? entry->label : "";
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

#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

// Every JSON the programs write is an nlohmann::json document written by
// jsonText(). It keeps integers exact over the whole of int64 and uint64 and
// writes a double as the shortest text that reads back as the same double
// ("0.1", "1e-07", "2048"), a NaN or an infinity as null, which JSON has no
// other way to say. nlohmann::json sorts the keys of an object;
// nlohmann::ordered_json keeps them in the order they were set.

// The document as UTF-8 text, `indent` spaces a level, with a closing line
// break. A byte of a string that is not UTF-8 is written as U+FFFD, so the
// text stays valid JSON whatever a database or a command line held.
std::string jsonText(nlohmann::json document, int indent);
std::string jsonText(nlohmann::ordered_json document, int indent);

// null where there is no value.
template<class T> nlohmann::json jsonOrNull(const std::optional<T> &value)
{
    return value ? nlohmann::json(*value) : nlohmann::json();
}

// null for an empty text: a field nobody gave.
inline nlohmann::json jsonTextOrNull(std::string_view text)
{
    return text.empty() ? nlohmann::json() : nlohmann::json(text);
}

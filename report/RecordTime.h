#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The times the results database keeps, ISO 8601 ("2026-03-02T14:05:09.123Z"),
// as milliseconds since 1970 UTC, so that records written with and without
// fractions or with an offset ("+01:00") still sort in the order they
// happened. A date alone ("2026-03-02") is its midnight UTC. Anything else,
// or a field out of range (month 13, 25 o'clock), is no time.
std::optional<std::int64_t> parseIsoTime(std::string_view text);

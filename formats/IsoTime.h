#pragma once

#include <QDateTime>

#include <string>

// How a time is written, ISO 8601:
//   Utc          "2026-03-02T14:05:09.123Z", for the results database and
//                adreport, whose times sort as text;
//   LocalOffset  "2026-03-02T15:05:09.123+01:00", in the time's own offset
//                from UTC ("Z" for none): adcapture's report, read at the
//                station in its clock's time.
enum class TimeZoneForm { Utc, LocalOffset };
// JUnit files give their timestamp to the second.
enum class TimePrecision { Milliseconds, Seconds };

// Empty for an invalid time.
std::string isoTime(const QDateTime &time, TimeZoneForm zone = TimeZoneForm::Utc,
    TimePrecision precision = TimePrecision::Milliseconds);

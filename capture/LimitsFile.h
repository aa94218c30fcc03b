#pragma once

#include "CaptureLimits.h"
#include "CodeDensityResult.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <string>
#include <vector>

// A station's limits kept in a file under a name and a revision, so that a
// report says exactly which limits a board was held to:
//
//   name = "ADC12 final test"
//   revision = "C"
//   kind = "ramp"          # optional: dc, ramp or sine
//
//   [limits]
//   max_dnl = 0.5
//   max_inl = 1.0
//   max_missing = 0
//   guard_band = true
struct LimitsFile
{
    QString path; // absolute
    QString sha256; // of the bytes read, hex
    QString name;
    QString revision;
    std::optional<TestKind> kind;
    CaptureLimits limits;
    std::vector<std::string> keys; // the limit keys the file sets, in file order
};

struct LimitsFileReading
{
    std::optional<LimitsFile> file;
    // "FILE:LINE: reason" (or "FILE: reason" for the file as a whole).
    QString error;
};

// Reads and checks a limits file: TOML, every key known, every value in its
// range, every limit one the file's test kind can measure.
LimitsFileReading readLimitsFile(const QString &path);
LimitsFileReading parseLimitsFile(const QString &path, const QByteArray &contents);

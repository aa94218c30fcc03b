#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// A saved result of a known board (a golden unit, or an earlier run of the
// same one) that the analysis window compares the live one with: a
// histogram, or a sample record with the histogram of its codes.
struct ReferenceRecord
{
    QString name; // the file's name, for legends and the table's head
    std::vector<std::uint64_t> counts; // one per code
    std::vector<std::uint16_t> record; // in arrival order; empty for a histogram
    std::optional<double> sampleRate; // from the record's sidecar, when it has one
};

struct ReferenceReading
{
    std::optional<ReferenceRecord> reference;
    QString error; // one line naming the file; empty when it was read

    bool ok() const { return error.isEmpty(); }
};

// Reads a histogram CSV, or a .npy or CSV sample record with its sidecar,
// of a `bits`-bit converter. A file of another resolution is refused with
// the two resolutions named: its figures would not compare.
ReferenceReading readReference(const QString &path, int bits);

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

// What a sample record's file cannot hold itself: the rate its samples were
// taken at and when the first of them was taken. It is kept as a small JSON
// file named after the record with ".json" appended, so that a record read
// back later gives its frequencies in Hz.
struct RecordSidecar
{
    std::optional<double> sampleRate; // samples per second
    QDateTime firstSample; // invalid when unknown
    std::uint64_t samples = 0;
    QString program; // the program that wrote the record
};

// "<record path>.json".
QString recordSidecarPath(const QString &recordPath);
QByteArray recordSidecarJson(const RecordSidecar &sidecar);

struct RecordSidecarReading
{
    std::optional<RecordSidecar> sidecar; // empty when there is no such file
    QString error; // one line naming the file, when it is there but unusable

    bool ok() const { return error.isEmpty(); }
};

// The sidecar beside `recordPath`, if there is one.
RecordSidecarReading readRecordSidecar(const QString &recordPath);
// The sidecar in `text`; `name` is what the error says the file is.
RecordSidecarReading parseRecordSidecar(const QByteArray &text, const QString &name);

#pragma once

#include "WholeFile.h"

#include <QString>

#include <cstddef>

// Every byte of the line as it arrived, for a bug report or a regression case
// that adsim --replay sends again. The bytes go to a temporary file as they
// come (a run of any length costs no memory) and it becomes the file only
// when the capture ends and every write succeeded; a failed one leaves what
// was there before (see WholeFile).
class RawLog
{
public:
    // An empty path keeps nothing.
    bool open(const QString &path);
    // A failed write is kept for finish() to report; later bytes are dropped.
    void append(const char *bytes, std::size_t count);
    // Puts the file in place; false with error() set when any write failed.
    bool finish();
    const QString &error() const { return m_error; }
    bool isOpen() const { return m_file.isOpen(); }

private:
    bool succeeded(bool ok);

    WholeFile m_file;
    QString m_error;
};

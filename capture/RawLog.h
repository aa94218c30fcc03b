#pragma once

#include <QSaveFile>
#include <QString>

#include <cstddef>
#include <memory>

// Every byte of the line as it arrived, for a bug report or a regression case
// that adsim --replay sends again. The bytes go to a temporary file as they
// come (a run of any length costs no memory) and it becomes the file only
// when the capture ends and every write succeeded; a failed one leaves what
// was there before.
class RawLog
{
public:
    // An empty path keeps nothing.
    bool open(const QString &path);
    void append(const char *bytes, std::size_t count);
    // Commits the file; false with error() set when any write failed.
    bool finish();
    const QString &error() const { return m_error; }
    bool isOpen() const { return m_file != nullptr; }

private:
    bool failWith(const QString &reason);

    QString m_path;
    std::unique_ptr<QSaveFile> m_file;
    QString m_firstFailure;
    QString m_error;
};

#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include <memory>

// One of adcapture's outputs. A file is written to a temporary file beside
// its target and renamed over it once every byte is written and flushed, so
// that a reader never sees half a file and a failed write (a full disk)
// leaves the older file as it was. "-" is standard output. A target that
// exists and is not a regular file (a device, a FIFO, a directory) is
// refused rather than replaced. Opened before the capture, so that a path
// that cannot be written shows at once rather than after a long run.
class OutputFile
{
public:
    // An empty path is no output: open and write do nothing.
    bool open(const QString &path);
    bool write(const QByteArray &contents);
    // "cannot write FILE: reason", with the system's reason.
    const QString &error() const { return m_error; }
    const QString &path() const { return m_path; }

    // Whether two paths lead to one file (through ".", "..", symbolic links
    // or hard links), so that one output would silently replace the other.
    static bool sameTarget(const QString &first, const QString &second);

private:
    bool failWith(const QString &reason);

    QString m_path;
    bool m_toStandardOutput = false;
    std::unique_ptr<QSaveFile> m_file;
    QString m_error;
};

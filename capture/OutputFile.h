#pragma once

#include <QByteArray>
#include <QString>

// One of adcapture's outputs, written whole or not at all by
// writeFileAtomically: a reader never sees half a file and a failed write (a
// full disk) leaves the older file as it was. "-" is standard output. A
// target that exists and is not a regular file (a device, a FIFO, a
// directory) is refused rather than replaced. Opened before the capture, so
// that a path that cannot be written shows at once rather than after a long
// run.
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
    QString m_error;
};

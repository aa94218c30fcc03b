#pragma once

#include "WholeFile.h"

#include <QByteArray>
#include <QString>

// One of a program's output files, with Qt's strings: written whole or not
// at all (see WholeFile), so that a reader never sees half a file and a failed
// write (a full disk) leaves the older file as it was. "-" is standard output.
// Opened before the work starts, so that a path that cannot be written shows
// at once rather than after a long run.
class OutputFile
{
public:
    // An empty path is no output: open and write do nothing.
    bool open(const QString &path);
    // Replaces the file with `contents`; may be called again to replace it
    // once more.
    bool write(const QByteArray &contents);
    bool isOpen() const { return m_opened; }
    // "cannot write FILE: REASON", with the system's reason.
    const QString &error() const { return m_error; }
    const QString &path() const { return m_path; }

    // Whether two paths lead to one file (through ".", "..", symbolic links
    // or hard links), so that one output would silently replace the other.
    static bool sameTarget(const QString &first, const QString &second);

private:
    bool succeeded(bool ok);

    QString m_path;
    WholeFile m_file;
    bool m_opened = false;
    QString m_error;
};

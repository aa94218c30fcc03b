#pragma once

#include <QByteArray>
#include <QString>

// Puts `contents` in the file at `path` all at once (see WholeFile): written
// to a temporary file beside it, flushed to the disk and renamed over it only
// when every byte is there. On failure the file that was there stays as it
// was and `reason` (when given) says why, in the system's words ("No space
// left on device"). Something at `path` that is not a regular file (a
// folder, a device, a FIFO) is left alone and refused. A symbolic link is
// followed.
bool writeFileAtomically(
    const QString &path, const QByteArray &contents, QString *reason = nullptr);

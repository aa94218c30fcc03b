#include "OutputFile.h"

#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The system's own words for a failure, where Qt has only "Unknown error"
// for some of them.
QString systemReason(const QSaveFile &file, int error)
{
    if (error != 0)
        return QString::fromLocal8Bit(std::strerror(error));
    return file.errorString();
}

// Where a path leads: the file itself when it exists, else the canonical
// folder and the name.
QString resolved(const QString &path, int depth = 0)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    if (info.isSymLink() && depth < 40) // a link to a file not made yet
        return resolved(info.symLinkTarget(), depth + 1);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + '/' + info.fileName();
}

} // namespace

bool OutputFile::sameTarget(const QString &first, const QString &second)
{
    if (first.isEmpty() || second.isEmpty() || first == QLatin1String("-")
        || second == QLatin1String("-"))
        return false;
    struct stat a
    {
    }, b {};
    if (::stat(QFile::encodeName(first).constData(), &a) == 0
        && ::stat(QFile::encodeName(second).constData(), &b) == 0)
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    return resolved(first) == resolved(second);
}

bool OutputFile::failWith(const QString &reason)
{
    m_error = QStringLiteral("cannot write %1: %2").arg(m_path, reason);
    return false;
}

bool OutputFile::open(const QString &path)
{
    m_path = path;
    if (path.isEmpty())
        return true;
    if (path == QLatin1String("-")) {
        m_toStandardOutput = true;
        return true;
    }
    struct stat target
    { };
    if (::stat(QFile::encodeName(path).constData(), &target) == 0 && !S_ISREG(target.st_mode)) {
        return failWith(
            QStringLiteral("it is not a regular file (a device, FIFO or directory is never "
                           "replaced; - writes to standard output)"));
    }
    // A temporary file made and dropped again: the folder takes new files.
    QSaveFile trial(path);
    errno = 0;
    if (!trial.open(QIODevice::WriteOnly)) {
        const QString reason = systemReason(trial, errno);
        // A folder that exists but takes no new files (/proc, /sys) fails
        // with a reason that would otherwise read as if it were missing.
        const QString folder = QFileInfo(path).absolutePath();
        if (QFileInfo(folder).isDir())
            return failWith(
                QStringLiteral("no new file can be made in %1 (%2)").arg(folder, reason));
        return failWith(reason);
    }
    trial.cancelWriting();
    return true;
}

bool OutputFile::write(const QByteArray &contents)
{
    if (m_toStandardOutput) {
        const bool written = std::fwrite(contents.constData(), 1, contents.size(), stdout)
                == std::size_t(contents.size())
            && std::fflush(stdout) == 0;
        return written || failWith(QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (m_path.isEmpty())
        return true;
    QString reason;
    return writeFileAtomically(m_path, contents, &reason) || failWith(reason);
}

#include "AtomicFile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// What stands at `path` when it is not a regular file; empty when it is one
// or nothing is there yet.
QString notAFile(const QString &path)
{
    struct stat status
    { };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || S_ISREG(status.st_mode))
        return {};
    if (S_ISDIR(status.st_mode))
        return QStringLiteral("it is a folder, not a file");
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode))
        return QStringLiteral("it is a device, not a file");
    if (S_ISFIFO(status.st_mode))
        return QStringLiteral("it is a FIFO, not a file");
    if (S_ISSOCK(status.st_mode))
        return QStringLiteral("it is a socket, not a file");
    return QStringLiteral("it is not a regular file");
}

// The system's reason for a write or flush that just failed: Qt keeps none
// for a write that stopped short. Qt's own text when the call left no error
// number.
QString failure(int error, const QFileDevice &file)
{
    if (error != 0)
        return QString::fromLocal8Bit(std::strerror(error));
    return file.errorString();
}

} // namespace

bool writeFileAtomically(const QString &path, const QByteArray &contents, QString *reason)
{
    const auto fail = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (const QString what = notAFile(path); !what.isEmpty())
        return fail(what);

    // Unbuffered, so that each write reaches the system at once and its error
    // number is the one that stopped it.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    // A write may stop short (the disk filled, the size limit reached) without
    // an error; writing the rest then reports why.
    for (qsizetype written = 0; written < contents.size();) {
        errno = 0;
        const qint64 count = file.write(contents.constData() + written, contents.size() - written);
        if (count <= 0) {
            const QString why = failure(errno, file);
            file.cancelWriting();
            return fail(why);
        }
        written += count;
    }
    // The file system may only find out at the flush that the data has no
    // room; QSaveFile's commit would not say so.
    errno = 0;
    if (::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS) {
        const QString why = failure(errno, file);
        file.cancelWriting();
        return fail(why);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

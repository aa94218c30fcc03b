#include "RawLog.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

QString reason(int error, const QFileDevice &file)
{
    return error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : file.errorString();
}

} // namespace

bool RawLog::failWith(const QString &why)
{
    m_error = QStringLiteral("cannot write %1: %2").arg(m_path, why);
    return false;
}

bool RawLog::open(const QString &path)
{
    m_path = path;
    if (path.isEmpty())
        return true;
    struct stat target
    { };
    if (::stat(QFile::encodeName(path).constData(), &target) == 0 && !S_ISREG(target.st_mode))
        return failWith(QStringLiteral("it is not a regular file (a device, FIFO or directory is "
                                       "never replaced)"));
    m_file = std::make_unique<QSaveFile>(path);
    errno = 0;
    if (!m_file->open(QIODevice::WriteOnly)) {
        const QString why = reason(errno, *m_file);
        m_file.reset();
        return failWith(why);
    }
    return true;
}

void RawLog::append(const char *bytes, std::size_t count)
{
    if (!m_file || !m_firstFailure.isEmpty())
        return;
    errno = 0;
    if (m_file->write(bytes, qint64(count)) != qint64(count))
        m_firstFailure = reason(errno, *m_file);
}

bool RawLog::finish()
{
    if (!m_file)
        return true;
    if (!m_firstFailure.isEmpty()) {
        m_file->cancelWriting();
        m_file->commit();
        m_file.reset();
        return failWith(m_firstFailure);
    }
    errno = 0;
    const bool committed = m_file->commit();
    const QString why = committed ? QString() : reason(errno, *m_file);
    m_file.reset();
    return committed || failWith(why);
}

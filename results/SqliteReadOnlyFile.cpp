#include "SqliteReadOnlyFile.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The bytes SQLite locks in a database file, the same in every version: a
// writer about to commit holds the pending byte, each reader a read lock on
// the shared range, and a writer that commits or removes the -wal file a
// write lock on all of it.
constexpr off_t pendingByte = 0x40000000;
constexpr off_t sharedFirst = pendingByte + 2;
constexpr off_t sharedSize = 510;

#ifdef F_OFD_SETLK
// A lock of the open file itself, not of the process: closing it leaves the
// locks of the library's own descriptor of the same file as they are.
bool lockRange(int fd, short type, off_t start, off_t length)
{
    struct flock range
    { };
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = start;
    range.l_len = length;
    return ::fcntl(fd, F_OFD_SETLK, &range) == 0;
}

// As a reader of SQLite takes it: through the pending byte, so that a writer
// waiting to commit goes first. False only while a writer holds the file.
bool takeSharedLock(int fd)
{
    if (!lockRange(fd, F_RDLCK, pendingByte, 1))
        return errno != EAGAIN && errno != EACCES;
    const bool shared = lockRange(fd, F_RDLCK, sharedFirst, sharedSize);
    const bool busy = !shared && (errno == EAGAIN || errno == EACCES);
    lockRange(fd, F_UNLCK, pendingByte, 1);
    return !busy;
}
#endif

// Whether the database file says it is in WAL mode: its header's read and
// write versions are 2.
bool walMode(int fd)
{
    unsigned char versions[2] {};
    return ::pread(fd, versions, sizeof versions, 18) == 2 && versions[0] == 2 && versions[1] == 2;
}

} // namespace

int SqliteReadOnlyFile::openRegular(const QString &path, int flags, QString &why)
{
    const int fd
        = ::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        why = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    struct stat status
    { };
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode))
        return fd;
    ::close(fd);
    why = QStringLiteral("not a regular file");
    return -1;
}

QString SqliteReadOnlyFile::open(const QString &path, int waitMs)
{
    close();
    QString why;
    m_fd = openRegular(path, O_RDONLY, why);
    if (m_fd < 0)
        return why;
#ifdef F_OFD_SETLK
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!takeSharedLock(m_fd)) {
        if (std::chrono::steady_clock::now() > deadline) {
            close();
            return QStringLiteral("database is locked");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
#endif
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const bool wal = walMode(m_fd);
    m_immutable = wal && !QFileInfo::exists(absolute + QStringLiteral("-wal"));
    m_uri = QStringLiteral("file:%1?mode=ro&%2")
                .arg(QString::fromLatin1(QUrl::toPercentEncoding(absolute, "/")),
                    m_immutable ? QStringLiteral("immutable=1") : QStringLiteral("readonly_shm=1"));
#ifdef F_OFD_SETLK
    // A writer of a rollback-journal database waits for its readers while it
    // holds the pending byte, which the library's reader waits for: holding
    // this lock then would keep both waiting until one gives up.
    if (!wal)
        close();
#else
    // Without a lock of its own, the descriptor must not outlive the
    // library's opening: closing it would drop the library's locks.
    close();
#endif
    return {};
}

void SqliteReadOnlyFile::libraryHasRead()
{
    if (!m_immutable && m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void SqliteReadOnlyFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

#pragma once

#include <QString>

// An SQLite file opened for reading only: reading never writes to it nor
// leaves a file beside it, and works in a folder the reader may not write.
//
// SQLite's read-only mode alone does not do that for a database in WAL mode:
// the library creates the missing -wal and -shm files, owned by the reader,
// and a writer of another user is refused from then on; in a folder the
// reader may not write, it cannot read at all. So the reader takes a shared
// lock as SQLite's own readers do, then chooses how the library opens it:
//  - a rollback-journal database: read-only; the library never makes a file
//    for a reader of one, and locks it itself;
//  - a WAL database with its -wal file (a writer has it open, or one stopped
//    without closing it): read-only, the -shm file used read-only, never
//    made; the lock keeps the -wal file there until the library holds its
//    own lock, which it then keeps until it closes;
//  - a WAL database without its -wal file: immutable. No writer has it open,
//    as each keeps the -wal file while it does, so every record is in the
//    database file; the lock, held until close(), keeps a writer from
//    changing that file meanwhile (a WAL writer then leaves its -wal file).
class SqliteReadOnlyFile
{
public:
    SqliteReadOnlyFile() = default;
    ~SqliteReadOnlyFile() { close(); }
    SqliteReadOnlyFile(const SqliteReadOnlyFile &) = delete;
    SqliteReadOnlyFile &operator=(const SqliteReadOnlyFile &) = delete;

    // Opens the file, takes the lock (waiting while a writer commits) and
    // chooses the URI, waiting at most waitMs for the lock. Returns an
    // error, empty on success.
    QString open(const QString &path, int waitMs);
    // The file's URI for the library's QSQLITE_OPEN_URI option.
    const QString &uri() const { return m_uri; }
    // Once the library has read the file, its own lock takes over, except
    // for an immutable file: the lock is then kept.
    void libraryHasRead();
    void close();

    // Opens `path` with `flags` if it is a regular file, without waiting for
    // a FIFO or device, and returns the descriptor; -1 with `why`, the
    // system's reason ("Permission denied", "not a regular file"), if not.
    static int openRegular(const QString &path, int flags, QString &why);

private:
    int m_fd = -1;
    bool m_immutable = false;
    QString m_uri;
};

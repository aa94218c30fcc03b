#pragma once

#include "DatabaseUrl.h"

#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <memory>

class QSqlError;

// How long a writer waits for the results database while it is in the way
// of another or busy: a statement that failed is run again only while
// another writer is in the way (SQLite busy or locked, a PostgreSQL
// serialization failure or deadlock), and a connection only while the server
// says it is busy (too many clients, starting up, shutting down), each until
// a bound in time. The first time it waits it says so, once, through
// `waiting`, so that a long wait is never silent.
class RetryPolicy
{
public:
    using Notice = std::function<void(const QString &why)>;
    static constexpr int defaultWaitMs = 30000;

    RetryPolicy() = default;
    explicit RetryPolicy(int waitMs, Notice waiting = {});

    static bool transient(const QSqlError &error, DatabaseUrl::Backend backend);
    // The database cannot be reached or is busy now: a later try may
    // succeed. Covers transient() and a connection the server dropped.
    static bool unavailable(const QSqlError &error, DatabaseUrl::Backend backend);
    // A reason libpq gave for a connection refused for now.
    static bool serverBusy(const QString &reason);

    int waitMs() const { return m_waitMs; }
    const Notice &waiting() const { return m_waiting; }
    // SQLite's own wait for its lock on each try: short, so that the wait is
    // spoken within a second or two and the bound holds.
    int sqliteBusyTimeoutMs() const;
    // libpq's connect_timeout: whole seconds, 2 at least (libpq's least).
    int connectTimeoutSeconds() const;

    // The tries of one operation, from its first.
    class Attempts
    {
    public:
        explicit Attempts(const RetryPolicy &policy);
        // After a try that failed for `why`, which another may cure: says
        // so the first time, waits a little longer before each new try, at
        // random so that writers that collided do not collide again, and
        // returns false once the bound has passed.
        bool again(const QString &why);

    private:
        const RetryPolicy &m_policy;
        QElapsedTimer m_clock;
        int m_attempt = 1;
    };

private:
    int m_waitMs = defaultWaitMs;
    Notice m_waiting;
    std::shared_ptr<bool> m_spoken = std::make_shared<bool>(false); // once for its copies
};

#pragma once

#include "DatabaseUrl.h"

class QSqlError;

// When a statement that failed is worth running again, and how often: only
// while another writer is in the way (SQLite busy or locked, a PostgreSQL
// serialization failure or deadlock), and a bounded number of times.
class RetryPolicy
{
public:
    static constexpr int attempts = 8; // tries in all, the first included
    static constexpr int sqliteBusyTimeoutMs = 10000; // SQLite's own wait for its lock, each try

    static bool transient(const QSqlError &error, DatabaseUrl::Backend backend);
    // Waits a little longer before each new attempt (2 for the first retry),
    // at random, so that writers that collided do not collide again.
    static void pauseBefore(int attempt);
};

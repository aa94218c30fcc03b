#pragma once

#include "DatabaseUrl.h"
#include "PasswordMask.h"
#include "RetryPolicy.h"
#include "SqliteReadOnlyFile.h"

#include <QSqlDatabase>
#include <QString>

// One Qt SQL connection to a results database. Every message it gives is
// one line, and never holds the password, not even where the driver's own
// text quotes it.
//
// A connection belongs to the thread that opened it.
class DatabaseConnection
{
public:
    DatabaseConnection() = default;
    ~DatabaseConnection();
    DatabaseConnection(const DatabaseConnection &) = delete;
    DatabaseConnection &operator=(const DatabaseConnection &) = delete;

    // How long to wait for a busy database, and who hears that it is
    // waited for: from the next open() on.
    void setRetryPolicy(RetryPolicy policy) { m_policy = std::move(policy); }
    // The policy in force, its notice naming this database.
    const RetryPolicy &retryPolicy() const { return m_retry; }

    // Connects; a read-only one neither creates an SQLite file nor writes
    // to it. Returns an error, empty on success. Closes any connection held.
    QString open(const DatabaseUrl &url, bool readOnly);
    void close();
    bool isOpen() const { return !m_name.isEmpty(); }
    // The last open() failed because the server cannot be reached or is
    // busy now, rather than for a fault of its URL.
    bool unreachable() const { return m_unreachable; }
    // A PostgreSQL server that dropped the connection (it was stopped, or
    // restarted) answers no statement at all, and libpq may give no reason.
    bool lost() const;

    QSqlDatabase database() const;
    DatabaseUrl::Backend backend() const { return m_url.backend; }

    // "<doing> the results database <where>: <why>", the password masked.
    QString failure(const QString &doing, const QString &why) const;
    QString masked(const QString &text) const { return m_mask.apply(text); }

private:
    QString driverMissing() const;
    QString connectFailure() const;

    QString m_name; // the QSqlDatabase connection name; empty when closed
    RetryPolicy m_policy;
    RetryPolicy m_retry;
    bool m_unreachable = false;
    DatabaseUrl m_url;
    PasswordMask m_mask;
    SqliteReadOnlyFile m_readOnlyFile; // held while a read-only SQLite connection is open
};

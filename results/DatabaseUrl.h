#pragma once

#include <QString>

#include <optional>

// Where the results database is: an SQLite file or a PostgreSQL database.
struct DatabaseUrl
{
    enum class Backend { Sqlite, Postgres };

    Backend backend = Backend::Sqlite;
    QString path; // SQLite: the file
    QString host; // PostgreSQL
    int port = 5432;
    QString user; // empty: libpq's default, the login name
    // Empty: libpq looks in PGPASSWORD, then in ~/.pgpass.
    QString password;
    QString database;

    // The place for messages, without the password: "sqlite:/var/x.sqlite",
    // "db.example:5432/results".
    QString where() const;
};

// Reads `sqlite:PATH` or `postgresql://[user[:password]@]host[:port]/dbname`
// (`postgres://` too; user, password and name may be percent-encoded). On
// failure returns nothing and `error` says what is wrong in one line.
std::optional<DatabaseUrl> parseDatabaseUrl(const QString &text, QString *error = nullptr);

// $XDG_DATA_HOME/adtest/results.sqlite, with ~/.local/share when
// XDG_DATA_HOME is unset, empty or not an absolute path.
QString defaultResultsDatabasePath();

#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

// A PostgreSQL server of a test's own: a new cluster in a temporary folder,
// listening on a free TCP port of 127.0.0.1 with password authentication
// for the user "adtest". Stopped and removed with the object. PostgreSQL
// will not run as root, so under root the server runs as nobody.
class PostgresServer
{
public:
    PostgresServer() = default;
    ~PostgresServer();
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    // The folder with initdb and pg_ctl, the newest installed under
    // /usr/lib/postgresql; empty when there is none.
    static QString binaries();

    // Creates the cluster and starts the server with the `settings` given
    // ("max_connections=5"); returns what went wrong, empty on success.
    QString start(const QStringList &settings = {});
    void stop();
    // Stops the server and starts it again on its port, the cluster kept.
    QString halt();
    QString resume();

    // Creates the database `name`; returns its URL, with the password when
    // `withPassword`, or empty and `error` set.
    QString createDatabase(const QString &name, QString *error, bool withPassword = true) const;

    int port() const { return m_port; }
    static QString user() { return QStringLiteral("adtest"); }
    static QString password() { return QStringLiteral("bench-secret"); }

private:
    QString run(const QString &program, const QStringList &arguments, bool asServer) const;
    QString launch();

    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_binaries;
    QStringList m_settings;
    int m_port = 0;
    bool m_running = false;
};

#include "PostgresServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QVersionNumber>

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr char serverUser[] = "nobody";

// A TCP port of 127.0.0.1 nothing listens on now: the one the system gives
// for port 0.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

} // namespace

PostgresServer::~PostgresServer()
{
    stop();
}

QString PostgresServer::binaries()
{
    QString best;
    QVersionNumber newest;
    const QDir root(QStringLiteral("/usr/lib/postgresql"));
    for (const QString &version : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString bin = root.filePath(version + QStringLiteral("/bin"));
        const QVersionNumber number = QVersionNumber::fromString(version);
        if (QFile::exists(bin + QStringLiteral("/initdb"))
            && QFile::exists(bin + QStringLiteral("/pg_ctl")) && number > newest) {
            newest = number;
            best = bin;
        }
    }
    return best;
}

QString PostgresServer::run(
    const QString &program, const QStringList &arguments, bool asServer) const
{
    QProcess process;
    process.setWorkingDirectory(m_folder->path()); // root's home is closed to nobody
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGPASSWORD"), password());
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(environment);
    const QString path = m_binaries + u'/' + program;
    if (asServer && ::geteuid() == 0) {
        const QString runuser = QStandardPaths::findExecutable(QStringLiteral("runuser"),
            {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin")});
        if (runuser.isEmpty())
            return QStringLiteral("runuser (util-linux) is needed to run PostgreSQL as root");
        process.start(runuser, QStringList {"-u", serverUser, "--", path} + arguments);
    } else {
        process.start(path, arguments);
    }
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return program + QStringLiteral(" did not finish: ") + process.errorString();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("%1 failed: %2")
            .arg(program,
                QString::fromLocal8Bit(
                    process.readAllStandardError() + process.readAllStandardOutput())
                    .trimmed());
    return {};
}

QString PostgresServer::start(const QStringList &settings)
{
    m_settings = settings;
    m_binaries = binaries();
    if (m_binaries.isEmpty())
        return QStringLiteral("no PostgreSQL server under /usr/lib/postgresql "
                              "(Debian package postgresql)");
    // Under /tmp, which nobody may traverse whatever TMPDIR says.
    m_folder = std::make_unique<QTemporaryDir>(
        (::geteuid() == 0 ? QStringLiteral("/tmp") : QDir::tempPath())
        + QStringLiteral("/adtest-pg-XXXXXX"));
    if (!m_folder->isValid())
        return QStringLiteral("no temporary folder: ") + m_folder->errorString();
    const QString pwfile = m_folder->filePath(QStringLiteral("pwfile"));
    QFile secret(pwfile);
    if (!secret.open(QIODevice::WriteOnly) || secret.write(password().toUtf8() + '\n') < 0)
        return QStringLiteral("cannot write ") + pwfile;
    secret.close();
    if (::geteuid() == 0) {
        const passwd *account = ::getpwnam(serverUser);
        if (!account)
            return QStringLiteral("no user %1 to run PostgreSQL as").arg(serverUser);
        for (const QString &path : {m_folder->path(), pwfile})
            if (::chown(QFile::encodeName(path).constData(), account->pw_uid, account->pw_gid) != 0)
                return QStringLiteral("cannot hand %1 to %2").arg(path, serverUser);
    }

    const QString data = m_folder->filePath(QStringLiteral("data"));
    // No fsync: the cluster lives only as long as the test.
    if (QString why = run("initdb",
            {"-D", data, "-U", user(), "--auth=scram-sha-256", "--pwfile", pwfile, "-E", "UTF8",
                "--no-locale", "--no-sync"},
            true);
        !why.isEmpty())
        return why;
    // A port found free may be taken before the server binds it: try another.
    QString why;
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = freePort();
        why = launch();
        if (why.isEmpty())
            return {};
    }
    return why;
}

QString PostgresServer::launch()
{
    QString options
        = QStringLiteral("-c listen_addresses=127.0.0.1 -p %1 -c unix_socket_directories=%2 "
                         "-c fsync=off -c synchronous_commit=off -c full_page_writes=off")
              .arg(m_port)
              .arg(m_folder->path());
    for (const QString &setting : m_settings)
        options += QStringLiteral(" -c ") + setting;
    QString why = run("pg_ctl",
        {"-D", m_folder->filePath(QStringLiteral("data")), "-l",
            m_folder->filePath(QStringLiteral("log")), "-w", "-t", "30", "-o", options, "start"},
        true);
    m_running = why.isEmpty();
    if (m_running)
        return {};
    QFile log(m_folder->filePath(QStringLiteral("log")));
    if (log.open(QIODevice::ReadOnly))
        why += QStringLiteral("; the server's log: ") + QString::fromLocal8Bit(log.readAll());
    return why;
}

QString PostgresServer::halt()
{
    const QString why = run("pg_ctl",
        {"-D", m_folder->filePath(QStringLiteral("data")), "-m", "fast", "-w", "stop"}, true);
    m_running = !why.isEmpty();
    return why;
}

QString PostgresServer::resume()
{
    return launch();
}

void PostgresServer::stop()
{
    if (m_running)
        halt();
    m_running = false;
    m_folder.reset();
}

QString PostgresServer::createDatabase(const QString &name, QString *error, bool withPassword) const
{
    const QString why = run(
        "createdb", {"-h", "127.0.0.1", "-p", QString::number(m_port), "-U", user(), name}, false);
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return {};
    }
    return QStringLiteral("postgresql://%1%2@127.0.0.1:%3/%4")
        .arg(user(), withPassword ? u':' + password() : QString())
        .arg(m_port)
        .arg(name);
}

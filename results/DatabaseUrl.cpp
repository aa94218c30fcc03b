#include "DatabaseUrl.h"

#include "PasswordMask.h"

#include <QDir>
#include <QUrl>

namespace {

const QString usage
    = QStringLiteral("expected sqlite:PATH or postgresql://[user[:password]@]host[:port]/dbname");

std::optional<DatabaseUrl> parsePostgres(const QString &text, QString &why)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) {
        // Not what follows: QUrl quotes the URL there, and its parts.
        why = url.errorString().section(QLatin1String("; source was"), 0, 0);
        return {};
    }
    if (url.host().isEmpty()) {
        why = QStringLiteral("no host; ") + usage;
        return {};
    }
    if (url.hasQuery() || url.hasFragment()) {
        why = QStringLiteral("options after '?' or '#' are not supported");
        return {};
    }
    // QUrl takes a port only from 0 to 65535.
    if (url.port() == 0) {
        why = QStringLiteral("port 0 is not a port");
        return {};
    }
    const QString name = url.path(QUrl::FullyDecoded).mid(1);
    if (!url.path().startsWith(u'/') || name.isEmpty() || name.contains(u'/')) {
        why = QStringLiteral("no database name; ") + usage;
        return {};
    }
    DatabaseUrl result;
    result.backend = DatabaseUrl::Backend::Postgres;
    result.host = url.host();
    result.port = url.port(5432);
    result.user = url.userName(QUrl::FullyDecoded);
    result.password = url.password(QUrl::FullyDecoded);
    result.database = name;
    return result;
}

// SQLite would take these names for something else than a file to keep
// the results in: an empty name or ":memory:" for a database that is gone
// when the program ends, and options after '?' end up in the file's name.
QString sqliteFileProblem(const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("no file after 'sqlite:'");
    if (path == QLatin1String(":memory:"))
        return QStringLiteral("an in-memory database keeps nothing: name a file");
    if (path.contains(u'?'))
        return QStringLiteral(
            "options after '?' are not supported: sqlite:PATH names the file alone");
    return {};
}

} // namespace

QString DatabaseUrl::where() const
{
    if (backend == Backend::Sqlite)
        return QStringLiteral("sqlite:") + path;
    // An IPv6 address takes brackets, so that the port stands apart.
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    return QStringLiteral("%1:%2/%3").arg(shownHost).arg(port).arg(database);
}

std::optional<DatabaseUrl> parseDatabaseUrl(const QString &text, QString *error)
{
    QString why;
    std::optional<DatabaseUrl> result;
    if (text.startsWith(QLatin1String("sqlite:"))) {
        result.emplace();
        result->path = text.mid(7);
        why = sqliteFileProblem(result->path);
        if (!why.isEmpty())
            result.reset();
    } else if (text.startsWith(QLatin1String("postgresql://"))
        || text.startsWith(QLatin1String("postgres://"))) {
        result = parsePostgres(text, why);
    } else {
        why = usage;
    }
    if (!result && error)
        // QUrl's reason may quote the URL, and with it the password.
        *error = PasswordMask::ofUrlText(text).apply(
            QStringLiteral("results database '%1': %2").arg(text, why));
    return result;
}

QString defaultResultsDatabasePath()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QStringLiteral("/adtest/results.sqlite"));
}

#include "RecordSpool.h"

#include "ResultsDatabase.h"
#include "WholeFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <cctype>

namespace {

const QString suffix = QStringLiteral(".json");

// The file a record goes to: its uid (a UUID), or the uid's SHA-256 where
// the uid could lead out of the folder or is too long for a name.
QString fileName(const std::string &uid)
{
    const bool safe = uid.size() <= 100 && std::ranges::all_of(uid, [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '_';
    });
    const QByteArray bytes = QByteArray::fromStdString(uid);
    return QString::fromLatin1(
               safe ? bytes : QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex())
        + suffix;
}

} // namespace

RecordSpool::RecordSpool(const QString &folder)
    : m_folder(QDir(folder).absolutePath()) // the report names its file wherever it is read
{ }

QString RecordSpool::defaultFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(base + QStringLiteral("/adtest/spool"));
}

std::string RecordSpool::destination(const DatabaseUrl &url)
{
    if (url.backend == DatabaseUrl::Backend::Sqlite)
        return "sqlite:" + QFileInfo(url.path).absoluteFilePath().toStdString();
    return url.where().toStdString();
}

QString RecordSpool::put(const SpooledRecord &spooled, QString *error) const
{
    SpooledRecord kept = spooled;
    if (kept.record.uid.empty())
        kept.record.uid = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    const QString path = QDir(m_folder).filePath(fileName(kept.record.uid));
    QString why;
    if (!QDir().mkpath(m_folder))
        why = QStringLiteral("cannot make the spool folder %1").arg(m_folder);
    // Written beside, flushed to the disk, then renamed: a file in the spool
    // is always a whole record.
    WholeFile file;
    if (why.isEmpty()
        && !(file.open(QFile::encodeName(path).toStdString())
            && file.append(spooledRecordText(kept)) && file.commit()))
        why = QFile::decodeName(QByteArray::fromStdString(file.error()));
    if (error)
        *error = why;
    return why.isEmpty() ? path : QString();
}

QStringList RecordSpool::waiting() const
{
    const QDir folder(m_folder);
    QStringList paths;
    for (const QString &name :
        folder.entryList({u'*' + suffix}, QDir::Files, QDir::Time | QDir::Reversed))
        paths << folder.filePath(name);
    return paths;
}

RecordSpool::Sending RecordSpool::send(ResultsDatabase &database, const DatabaseUrl &url) const
{
    Sending sending;
    const std::string here = destination(url);
    QString unavailable; // once set, the rest stay untried
    for (const QString &path : waiting()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue; // another program sent it a moment ago
        const QByteArray text = file.readAll();
        file.close();
        const StationResult<SpooledRecord> spooled = readSpooledRecord(text.toStdString());
        if (!spooled) {
            const QString reason = QString::fromStdString(spooled.reason());
            if (QFile::rename(path, path + QStringLiteral(".bad")))
                sending.movedAside
                    << QStringLiteral("%1: %2; moved aside to %1.bad").arg(path, reason);
            else if (QFile::exists(path))
                sending.stays
                    << QStringLiteral("%1: %2, and it cannot be moved aside").arg(path, reason);
            continue;
        }
        if (spooled->database != here) {
            sending.stays << QStringLiteral("%1: it is meant for the results database %2")
                                 .arg(path, QString::fromStdString(spooled->database));
            continue;
        }
        if (!unavailable.isEmpty()) {
            sending.stays << QStringLiteral("%1: %2").arg(path, unavailable);
            continue;
        }
        const InsertResult stored = database.insert(spooled->record);
        if (!stored.error.isEmpty()) {
            sending.stays << QStringLiteral("%1: %2").arg(path, stored.error);
            if (stored.unavailable)
                unavailable = stored.error;
            continue;
        }
        // Committed: the file may go. Another program may have sent it too.
        if (!QFile::remove(path) && QFile::exists(path))
            sending.stays << QStringLiteral("%1: stored, but the file cannot be removed").arg(path);
        ++sending.sent;
    }
    return sending;
}

#pragma once

#include "SpooledRecord.h"

#include <QString>
#include <QStringList>

class ResultsDatabase;
struct DatabaseUrl;

// A folder on the station that keeps the test records a results database
// could not take when they were made, one file per record named by its uid,
// until a later run sends them. A file is written whole and on the disk
// before put() returns, and removed only after its record's insert
// committed; a record sent twice is stored once, by its uid, so that two
// programs sending one spool at once double nothing. A file that cannot be
// read as a record is moved aside (FILE.bad), never deleted.
class RecordSpool
{
public:
    explicit RecordSpool(const QString &folder);
    // $XDG_STATE_HOME/adtest/spool, with ~/.local/state when XDG_STATE_HOME
    // is unset, empty or not an absolute path.
    static QString defaultFolder();
    // The database a record is meant for, as the spool names it: the URL
    // without its user and password, an SQLite file by its absolute path.
    static std::string destination(const DatabaseUrl &url);

    const QString &folder() const { return m_folder; }

    // Keeps the record; returns its file, or empty and `error` set.
    QString put(const SpooledRecord &spooled, QString *error) const;

    // The files waiting, the oldest first.
    QStringList waiting() const;

    struct Sending
    {
        int sent = 0; // stored now, or found stored before
        QStringList stays; // "FILE: why", each record that stays
        QStringList movedAside; // "FILE: why; moved aside to FILE.bad"
    };
    // Sends the records meant for `url` to `database`, open on it. Once the
    // database is unavailable the records after stay untried, with its reason.
    Sending send(ResultsDatabase &database, const DatabaseUrl &url) const;

private:
    QString m_folder;
};

#pragma once

#include "TestRecord.h"

#include <QString>

#include <memory>

struct CaptureOptions;
struct DatabaseUrl;
class RecordSpool;

// Where adcapture's result goes: the results database, or, when the database
// cannot take it now (unreachable, too many clients, locked past the wait),
// the spool on the station, which the next run that reaches the database
// sends on. A wait for a busy database is said on standard error.
class ResultDelivery
{
public:
    ResultDelivery(const DatabaseUrl &url, const QString &spoolFolder, int waitMs);
    ~ResultDelivery();
    ResultDelivery(const ResultDelivery &) = delete;
    ResultDelivery &operator=(const ResultDelivery &) = delete;

    // The database the options name: --db, else the user's own file when a
    // board is named or `always`. Null when no result is kept, or when the
    // URL cannot be read (`error` says why).
    static std::unique_ptr<ResultDelivery> fromOptions(
        const CaptureOptions &options, bool always, QString *error);

    // Before the capture: empty when the run may go on. A fault of the
    // configuration (the password, the user, the database's name, a newer
    // schema, no right to insert, a path that cannot be a database) is an
    // error. A database that cannot be reached or is busy now is a notice on
    // standard error only: the result will be spooled if it still is.
    QString check() const;

    struct Outcome
    {
        QString spooledTo; // the spool file, when the database did not take it
        QString reason; // why the database did not
        QString error; // neither stored nor spooled: the result is lost
    };
    // Stores the record and then sends what the spool holds, or spools it.
    Outcome deliver(const TestRecord &record) const;

    // Sends the spool and says, on standard error, why each record that
    // stays does: returns 0 when none stays, else 2.
    int sendSpool() const;

private:
    std::unique_ptr<DatabaseUrl> m_url;
    std::unique_ptr<RecordSpool> m_spool;
    int m_waitMs;
};

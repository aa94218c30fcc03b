#include "ResultDelivery.h"

#include "CaptureOptions.h"
#include "ProblemMessage.h"

#include "RecordSpool.h"
#include "ResultsDatabase.h"

#include <QDir>

#include <algorithm>
#include <cstdio>

namespace {

// Before the capture the database is asked once, without a long wait: the
// board is waiting.
constexpr int checkWaitMs = 1000;

void reportLines(const QStringList &lines)
{
    for (const QString &line : lines)
        reportProblem(line);
}

} // namespace

ResultDelivery::ResultDelivery(const DatabaseUrl &url, const QString &spoolFolder, int waitMs)
    : m_url(std::make_unique<DatabaseUrl>(url))
    , m_spool(std::make_unique<RecordSpool>(
          spoolFolder.isEmpty() ? RecordSpool::defaultFolder() : spoolFolder))
    , m_waitMs(waitMs)
{ }

ResultDelivery::~ResultDelivery() = default;

std::unique_ptr<ResultDelivery> ResultDelivery::fromOptions(
    const CaptureOptions &options, bool always, QString *error)
{
    if (options.noDatabase || (options.databaseUrl.isEmpty() && !options.namesBoard() && !always))
        return nullptr;
    const std::optional<DatabaseUrl> url = parseDatabaseUrl(options.databaseUrl.isEmpty()
            ? QStringLiteral("sqlite:") + defaultResultsDatabasePath()
            : options.databaseUrl,
        error);
    if (!url) {
        if (error)
            *error = QStringLiteral("--db: %1").arg(*error);
        return nullptr;
    }
    return std::make_unique<ResultDelivery>(*url, options.spoolFolder, options.databaseWaitMs);
}

QString ResultDelivery::check() const
{
    ResultsDatabase database;
    database.setRetryPolicy(RetryPolicy(std::min(m_waitMs, checkWaitMs)));
    QString error = database.open(*m_url);
    bool unavailable = database.unavailable();
    if (error.isEmpty()) {
        const WriteCheck writable = database.checkWritable();
        error = writable.error;
        unavailable = writable.unavailable;
    }
    if (error.isEmpty() || !unavailable)
        return error;
    reportProblem(error
        + QStringLiteral("; the results database is unreachable now: the result will be "
                         "spooled if it still is at the end"));
    return {};
}

ResultDelivery::Outcome ResultDelivery::deliver(const TestRecord &record) const
{
    ResultsDatabase database;
    database.setRetryPolicy(RetryPolicy(m_waitMs, reportProblem));
    QString error = database.open(*m_url);
    if (error.isEmpty())
        error = database.insert(record).error;
    if (error.isEmpty()) {
        // The spool goes on behind this run's own result.
        const RecordSpool::Sending sending = m_spool->send(database, *m_url);
        if (sending.sent > 0)
            reportProblem(QStringLiteral("sent %1 spooled result(s) from %2 to the results "
                                         "database %3")
                              .arg(sending.sent)
                              .arg(m_spool->folder(), m_url->where()));
        reportLines(sending.movedAside);
        if (!sending.stays.isEmpty())
            reportProblem(QStringLiteral("%1 spooled result(s) stay in %2 (adcapture "
                                         "--send-spool says why): %3")
                              .arg(sending.stays.size())
                              .arg(m_spool->folder(), sending.stays.first()));
        return {};
    }
    // Any failure spools the record: kept on the station it is never lost,
    // and a fault of the configuration shows at the next run's check.
    QString spoolError;
    const QString path = m_spool->put(
        {record, RecordSpool::destination(*m_url), error.toStdString()}, &spoolError);
    if (path.isEmpty())
        return {{}, {}, QStringLiteral("%1; nor can it be spooled: %2").arg(error, spoolError)};
    return {path, error, {}};
}

int ResultDelivery::sendSpool() const
{
    const int waiting = int(m_spool->waiting().size());
    if (waiting == 0) {
        std::printf("%s\n",
            qPrintable(QStringLiteral("nothing waits in the spool %1").arg(m_spool->folder())));
        return 0;
    }
    ResultsDatabase database;
    database.setRetryPolicy(RetryPolicy(m_waitMs, reportProblem));
    RecordSpool::Sending sending;
    if (const QString error = database.open(*m_url); !error.isEmpty()) {
        for (const QString &path : m_spool->waiting())
            sending.stays << QStringLiteral("%1: %2").arg(path, error);
    } else {
        sending = m_spool->send(database, *m_url);
    }
    reportLines(sending.movedAside);
    reportLines(sending.stays);
    std::printf("%s\n",
        qPrintable(QStringLiteral("sent %1 of %2 spooled result(s) from %3 to the results "
                                  "database %4; %5 stay")
                       .arg(sending.sent)
                       .arg(waiting)
                       .arg(m_spool->folder(), m_url->where())
                       .arg(sending.stays.size())));
    return sending.stays.isEmpty() && sending.movedAside.isEmpty() ? 0 : 2;
}

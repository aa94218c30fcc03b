#include "DatabaseSummary.h"

#include "BoardLists.h"
#include "DatabaseConnection.h"
#include "LotAggregates.h"
#include "SummaryQuery.h"

#include <map>

DatabaseSummary summarizeDatabase(
    const DatabaseConnection &connection, const RecordFilter &filter, const ReportBounds &bounds)
{
    DatabaseSummary summary;
    summary.error = summarizeDatabase(connection, filter, bounds,
        [&summary](LotSummary &&lot) { summary.lots.push_back(std::move(lot)); });
    if (!summary.error.isEmpty())
        summary.lots.clear();
    return summary;
}

QString summarizeDatabase(const DatabaseConnection &connection, const RecordFilter &filter,
    const ReportBounds &bounds, const std::function<void(LotSummary &&)> &each)
{
    SummaryQuery query(connection, filter);
    if (!query.error().isEmpty())
        return query.error();
    // One snapshot on a server, so that the counts agree while stations
    // store more records. It may not be READ ONLY, as the ranked records go
    // to a temporary table of its own; it writes nothing to the database and
    // ends in ROLLBACK. SQLite ranks the records in one statement, which
    // gives the report one view of them; a read transaction would hold its
    // writers off for the whole report.
    const bool server = connection.backend() == DatabaseUrl::Backend::Postgres;
    QSqlQuery snapshot(connection.database());
    SqlOutcome failed = server
        ? run(
            snapshot, QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ"), connection.backend())
        : SqlOutcome();
    // A board's window sorts in memory rather than on disk where the
    // server's default allows less. The statements are few and each runs
    // once: compiling them to machine code would take longer than it saves.
    // Both hold for this transaction only.
    for (const char *setting : {"SET LOCAL work_mem = '64MB'", "SET LOCAL jit = off"}) {
        if (!failed && server)
            failed = run(snapshot, QString::fromLatin1(setting), connection.backend());
    }
    if (!failed)
        failed = query.rank();
    for (qlonglong k = 1; !failed && k <= query.lots(); ++k) {
        std::map<std::string, LotSummary> lot; // this one alone
        failed = query.restrictTo(k);
        if (!failed)
            failed = LotAggregates(query).collect(lot);
        if (!failed)
            failed = BoardLists(query, bounds).collect(lot);
        for (auto &[name, summary] : lot) {
            if (!failed)
                each(std::move(summary));
        }
    }
    if (server)
        run(snapshot, QStringLiteral("ROLLBACK"), connection.backend()); // it wrote nothing
    else
        query.release();
    return failed ? query.failure(*failed) : QString();
}

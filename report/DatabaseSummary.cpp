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
    SummaryQuery query(connection, filter);
    if (!query.error().isEmpty()) {
        summary.error = query.error();
        return summary;
    }
    // One snapshot on a server, so that the counts agree while stations
    // store more records. It may not be READ ONLY, as the ranked records go
    // to a temporary table of its own; it writes nothing to the database and
    // ends in ROLLBACK. SQLite ranks the records in one statement, which
    // gives the report one view of them; a read transaction would hold its
    // writers off for the whole report.
    const bool server = connection.backend() == DatabaseUrl::Backend::Postgres;
    QSqlQuery snapshot(connection.database());
    std::map<std::string, LotSummary> lots;
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
    if (!failed)
        failed = LotAggregates(query).collect(lots);
    if (!failed)
        failed = BoardLists(query, bounds).collect(lots);
    if (server)
        run(snapshot, QStringLiteral("ROLLBACK"), connection.backend()); // it wrote nothing
    else
        query.release();
    if (failed) {
        summary.error = query.failure(*failed);
        return summary;
    }
    for (auto &[name, lot] : lots)
        summary.lots.push_back(std::move(lot));
    return summary;
}

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
    const SummaryQuery query(connection, filter);
    if (!query.error().isEmpty()) {
        summary.error = query.error();
        return summary;
    }
    // One snapshot on a server, so that the counts agree while stations
    // store more records. SQLite reads each statement on its own: a read
    // transaction would hold its writers off for the whole report.
    const bool server = connection.backend() == DatabaseUrl::Backend::Postgres;
    QSqlQuery snapshot(connection.database());
    std::map<std::string, LotSummary> lots;
    SqlOutcome failed = server
        ? run(snapshot, QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"),
            connection.backend())
        : SqlOutcome();
    // The planner cannot tell how many rows pass a filter on a window
    // function and takes them for a handful: nested loops would look up
    // each board's rows one by one. Hash joins read each table once.
    // And a board's window sorts in memory rather than on disk where the
    // server's default allows less. Both hold for this transaction only.
    for (const char *setting : {"SET LOCAL enable_nestloop = off", "SET LOCAL work_mem = '64MB'"}) {
        if (!failed && server)
            failed = run(snapshot, QString::fromLatin1(setting), connection.backend());
    }
    if (!failed)
        failed = LotAggregates(query).collect(lots);
    if (!failed)
        failed = BoardLists(query, bounds).collect(lots);
    if (server)
        run(snapshot, QStringLiteral("ROLLBACK"), connection.backend()); // it wrote nothing
    if (failed) {
        summary.error = query.failure(*failed);
        return summary;
    }
    for (auto &[name, lot] : lots)
        summary.lots.push_back(std::move(lot));
    return summary;
}

#include "DatabaseSummary.h"

#include "BoardLists.h"
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
    std::map<std::string, LotSummary> lots;
    SqlOutcome failed = LotAggregates(query).collect(lots);
    if (!failed)
        failed = BoardLists(query, bounds).collect(lots);
    if (failed) {
        summary.error = query.failure(*failed);
        return summary;
    }
    for (auto &[name, lot] : lots)
        summary.lots.push_back(std::move(lot));
    return summary;
}

#pragma once

#include "LotSummary.h"
#include "SqlOutcome.h"

#include <map>
#include <string>

class SummaryQuery;

// The counts of each lot the database adds up: records, yields by each
// board's last and first result, the stations' yields, each figure's
// moments, limits and histogram, the verdicts within the uncertainty and the
// failures per limit. Nothing here grows with the records: a lot's figures,
// stations and limits are few.
class LotAggregates
{
public:
    explicit LotAggregates(const SummaryQuery &query)
        : m_query(query)
    { }

    // Adds every lot the filter finds to `lots`, by name.
    SqlOutcome collect(std::map<std::string, LotSummary> &lots) const;

private:
    SqlOutcome counts(std::map<std::string, LotSummary> &lots) const;
    SqlOutcome stations(std::map<std::string, LotSummary> &lots) const;
    SqlOutcome figures(std::map<std::string, LotSummary> &lots) const;
    SqlOutcome histograms(std::map<std::string, LotSummary> &lots) const;
    SqlOutcome verdicts(std::map<std::string, LotSummary> &lots) const;

    const SummaryQuery &m_query;
};

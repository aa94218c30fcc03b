#pragma once

#include "LotSummary.h"
#include "ReportBounds.h"
#include "SqlOutcome.h"

#include <map>
#include <string>

class SummaryQuery;

// The per-test parts of each lot, read bounded: the failed boards, the
// board histories and the retested boards, the analyses of files (each list
// its first boards), and the run charts (the last tests of each).
class BoardLists
{
public:
    BoardLists(const SummaryQuery &query, const ReportBounds &bounds)
        : m_query(query)
        , m_bounds(bounds)
    { }

    // Fills the lists of the lots LotAggregates found; the figures must be
    // there, since only a figure with a limit gets a run chart.
    SqlOutcome collect(std::map<std::string, LotSummary> &lots) const;

private:
    SqlOutcome failedBoards(std::map<std::string, LotSummary> &lots) const;
    SqlOutcome histories(std::map<std::string, LotSummary> &lots) const;
    SqlOutcome reanalyses(std::map<std::string, LotSummary> &lots) const;
    SqlOutcome runs(std::map<std::string, LotSummary> &lots) const;

    const SummaryQuery &m_query;
    ReportBounds m_bounds;
};

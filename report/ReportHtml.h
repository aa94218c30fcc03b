#pragma once

#include "LotSummary.h"
#include "ReportScope.h"
#include "ReportStream.h"

#include <string>
#include <vector>

// The report as one self-contained HTML page: the styles inline and the
// charts as inline SVG, nothing fetched from anywhere, so that it opens the
// same from a mail attachment or an offline test floor, and scales to a
// phone's width. Per lot: the final and first-pass yield, the yield of each
// station as bars, the figures with their capability, a histogram of each
// figure held to a limit stacked by the boards' verdicts, the verdicts within
// the uncertainty, run charts and a Pareto of the failures, the failed
// boards, each board's history and the analyses of files. Every text from
// the database is escaped.
std::string reportHtml(const std::vector<LotSummary> &lots, const ReportScope &scope);

// The same, lot by lot.
class HtmlReport : public ReportStream
{
public:
    HtmlReport(Sink out, ReportScope scope)
        : ReportStream(std::move(out))
        , m_scope(std::move(scope))
    { }

protected:
    void begin() override;
    void writeLot(const LotSummary &lot) override;
    void end() override;

private:
    ReportScope m_scope;
};

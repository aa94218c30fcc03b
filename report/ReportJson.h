#pragma once

#include "LotSummary.h"
#include "ReportScope.h"
#include "ReportStream.h"

#include <string>
#include <vector>

// The report as one JSON object: the scope, then each lot with its yield,
// stations, figures, failed and retested boards (adreport(1) shows the
// shape). A number that does not exist is null.
std::string reportJson(const std::vector<LotSummary> &lots, const ReportScope &scope);

// The same, lot by lot: the text around the lots' array is the one the
// whole object gives, each lot indented as an element of it.
class JsonReport : public ReportStream
{
public:
    JsonReport(Sink out, const ReportScope &scope);

protected:
    void begin() override;
    void writeLot(const LotSummary &lot) override;
    void end() override;

private:
    std::string m_opening; // up to and with the array's "["
    std::string m_closing; // after its "]"
};

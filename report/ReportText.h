#pragma once

#include "LotSummary.h"
#include "ReportStream.h"

#include <string>
#include <vector>

// The report as a person reads it on a terminal: per lot the yield, the
// stations, the figures, the failed and the retested boards. Text from the
// database is shown with its control characters replaced.
std::string reportText(const std::vector<LotSummary> &lots);

// The same, lot by lot.
class TextReport : public ReportStream
{
public:
    using ReportStream::ReportStream;

protected:
    void writeLot(const LotSummary &lot) override;
};

// Why a board failed, one line per broken limit, with the figure's decimals
// and unit: "max_dnl: 0.950 LSB > 0.900 LSB";
// "no data" or the exit status when no limit was broken. Raw text, to be
// escaped for each output.
std::vector<std::string> failureReasons(const FailedBoard &board);

// The share of a limit's verdicts within the uncertainty from which the
// report warns that the yield may turn on a retest.
inline constexpr double largeUncertainShare = 0.1;

// "20 of 21 verdicts within the uncertainty", and how many carried none.
std::string uncertaintyText(const UncertainVerdicts &limit);

// A warning naming each limit whose verdicts lay within the uncertainty in
// a large share; empty when none did.
std::string uncertaintyWarning(const LotSummary &lot);

// Why the stations' boards do not add up to the lot's; empty when they do.
std::string stationSumNote(const LotSummary &lot);

// What the report left out of a lot where it keeps the lists and charts
// bounded, one sentence each ("Run chart of INL at st1: the last 200 of 5000
// tests."); empty when it left nothing out.
std::vector<std::string> cutNotes(const LotSummary &lot);

#pragma once

#include "LotSummary.h"

#include <string>
#include <vector>

// The report as a person reads it on a terminal: per lot the yield, the
// stations, the figures, the failed and the retested boards. Text from the
// database is shown with its control characters replaced.
std::string reportText(const std::vector<LotSummary> &lots);

// Why a board failed, one line per broken limit, with the figure's decimals
// and unit: "max_dnl: 0.950 LSB > 0.900 LSB";
// "no data" or the exit status when no limit was broken. Raw text, to be
// escaped for each output.
std::vector<std::string> failureReasons(const FailedBoard &board);

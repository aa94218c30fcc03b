#pragma once

#include "LotSummary.h"
#include "ReportScope.h"

#include <string>
#include <vector>

// The report as one JSON object: the scope, then each lot with its yield,
// stations, figures, failed and retested boards (adreport(1) shows the
// shape). A number that does not exist is null.
std::string reportJson(const std::vector<LotSummary> &lots, const ReportScope &scope);

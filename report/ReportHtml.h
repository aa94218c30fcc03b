#pragma once

#include "LotSummary.h"
#include "ReportScope.h"

#include <string>
#include <vector>

// The report as one self-contained HTML page: the styles inline and the
// charts as inline SVG, nothing fetched from anywhere, so that it opens the
// same from a mail attachment or an offline test floor. Per lot: the yield
// of each station as bars, the figures with their capability, a histogram of
// each figure with its limits drawn as lines, and the failed and retested
// boards. Every text from the database is escaped.
std::string reportHtml(const std::vector<LotSummary> &lots, const ReportScope &scope);

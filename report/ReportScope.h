#pragma once

#include <string>

// What a report covers, as its outputs state it.
struct ReportScope
{
    std::string lot; // empty: every lot
    std::string since; // empty: from the first record
    std::string generatedAt; // ISO 8601, UTC
    std::string version; // of the program that made it
};

#pragma once

#include "ReportBounds.h"

#include <string>
#include <vector>

// adreport's command line.
struct ReportOptions
{
    enum class Mode { Report, Help, Version };

    Mode mode = Mode::Report;
    std::string databaseUrl;
    std::string lot; // empty: every lot
    std::string since; // ISO 8601 date or date and time; empty: from the first record
    std::string csvPath; // "-": standard output
    std::string jsonPath;
    std::string htmlPath;
    ReportBounds bounds; // --max-points, --max-results, --max-boards

    bool anyOutput() const { return !csvPath.empty() || !jsonPath.empty() || !htmlPath.empty(); }

    // Reads the arguments after the program name. Returns an empty string, or
    // a one-line message naming the offending option or value.
    std::string parse(const std::vector<std::string> &arguments);

    static std::string helpText();
};

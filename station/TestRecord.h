#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Which board was tested, where and by whom.
struct BoardIdentity
{
    std::string serial;
    std::string lot;
    std::string part;
    std::string operatorName;
    std::string station; // the host name unless given
};

// One figure the analysis gave, under its report key ("dnl_worst_lsb", "enob_bits", ...: a
// FigureCatalog key).
struct RecordedFigure
{
    std::string name;
    double value = 0;
};

// One limit with its verdict.
struct RecordedLimit
{
    std::string name; // "max_dnl", "min_enob", ...
    std::string figure; // the figure it holds, a RecordedFigure name
    double limit = 0;
    bool upper = true; // max_*: the figure must not exceed it; min_*: not fall below
    std::optional<double> value; // empty when the figure could not be measured
    bool pass = false;
    std::string source; // "file" or "command line"
    // The figure's 99 % uncertainty, where it has one.
    std::optional<double> uncertainty;
    // The limit lay within the uncertainty of the value: a retest may give
    // the other verdict.
    bool withinUncertainty = false;
};

// A file the test wrote, and what it held.
struct RecordedOutput
{
    std::string role; // "csv", "json", "samples", "raw", "junit"
    std::string path; // absolute
    std::string sha256; // hex
};

// One capture or analysis of one board, as the results database keeps it.
struct TestRecord
{
    std::int64_t id = 0; // given by the database
    // Names the record wherever it is sent: a database that holds it already
    // does not store it again. Empty: the database gives it one.
    std::string uid;
    BoardIdentity identity;
    std::string program; // "adcapture"
    std::string programVersion;
    std::string startTime; // ISO 8601, UTC, milliseconds
    std::string endTime;
    std::string port; // the device read, for a capture
    std::string inputFile; // the file read, for --analyze
    std::int64_t frames = 0;
    std::string kind; // "dc", "ramp" or "sine"
    std::string origin; // "capture" from a port, "analysis" of a file; empty: unknown
    // Every limit holds and there was data; empty when the verdict is unknown.
    std::optional<bool> pass;
    int exitStatus = 0;
    std::string limitsFile; // absolute path, empty without --limits
    std::string limitsSha256;
    std::string limitsName;
    std::string limitsRevision;
    std::vector<RecordedFigure> figures;
    std::vector<RecordedLimit> limits;
    std::vector<RecordedOutput> outputs;
};

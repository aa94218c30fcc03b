#pragma once

#include "DynamicResult.h"
#include "LimitSet.h"
#include "LimitsFile.h"
#include "TestRecord.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// adcapture's command line.
struct CaptureOptions
{
    enum class Mode { Capture, Analyze, ListPorts, SendSpool, Help, Version };

    Mode mode = Mode::Capture;
    std::optional<int> frames; // stop after this many complete frames
    std::optional<double> seconds; // stop after this long
    std::optional<TestKind> kind; // empty: read from the histogram's shape
    int bits = 12; // the converter's resolution: a saved histogram has 2^bits rows
    double inlResolution = 0.5; // LSB: the samples still needed are given for it
    QString csvPath;
    QString jsonPath;
    QString samplesPath; // the sample record: .npy, else CSV
    QString rawPath; // every byte of the line as it arrived
    std::size_t recordLength = 1 << 20; // samples the record keeps
    QString portPath; // empty: ADTEST_COM1, else port 1
    QString analyzePath;
    bool allPorts = false; // --list-ports: placeholders too
    LimitSet limits; // the file's, with the command line's over them
    QString junitPath;

    // The board and the station, for the report and the results database.
    BoardIdentity identity; // station: the host name unless given
    QString databaseUrl; // --db; empty: the default file when a board is named
    bool noDatabase = false;
    // Where a result the database cannot take now is kept until it can;
    // empty: RecordSpool::defaultFolder().
    QString spoolFolder;
    // How long to wait for a busy database (a lock held, too many clients)
    // before the result goes to the spool.
    int databaseWaitMs = 30000;

    // --limits: the file read, which of its limits the command line
    // replaced (key, the file's value, the value used), and which limits the
    // command line gave.
    std::optional<LimitsFile> limitsFile;
    std::vector<LimitOverride> limitOverrides;
    std::vector<std::string> commandLineLimits;
    // "command line" or "file": where a limit's value came from.
    std::string limitSource(const std::string &key) const;
    // A board is named: its result is kept in the results database.
    bool namesBoard() const { return !identity.serial.empty() || !identity.lot.empty(); }
    // The dynamic analysis of the sample record.
    std::optional<double> sampleRate; // Hz: frequencies in Hz, else in cycles per sample
    std::optional<SpectrumWindow> window; // empty: chosen by the record
    int harmonics = 5; // in THD, the fundamental the first
    int averages = 1; // records the sample record is cut into, their spectra averaged
    // The tone taken for the fundamental, in Hz of sampleRate; empty: the largest.
    std::optional<double> fundamentalHz;

    // Reads the arguments, the program name first. Returns an empty string,
    // or a one-line message naming the offending option or value.
    QString parse(const QStringList &arguments);

    static QString helpText();
};

#pragma once

#include "LimitCheck.h"
#include "LimitsFile.h"

#include "CodeDensityResult.h"
#include "DynamicResult.h"
#include "TestRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// How a capture ended.
enum class CaptureStop {
    Frames, // the frames asked for arrived
    Seconds, // the time asked for ran out
    Interrupted, // SIGINT or SIGTERM
    PortLost, // the device went away during the capture
};

// Everything a report says: where the histogram came from, what the
// analysis found and how the limits fared.
struct CaptureReport
{
    QString port; // the device read, for a capture
    QString inputFile; // the histogram read, for --analyze
    // Where the sample rate came from when a file gave it: "192 Hz from x.npy.json".
    QString sampleRateNote;
    QDateTime startTime;
    QDateTime endTime;
    std::optional<CaptureStop> stop; // empty for --analyze
    std::int64_t frames = 0; // counted at STX, as the window counts them
    double framesPerSecond = 0;
    CodeDensityResult result;
    std::uint64_t recordSamples = 0; // readings in the sample record
    DynamicResult dynamic; // the sample record's sine, after the capture
    std::vector<LimitOutcome> limits;

    BoardIdentity identity;
    std::optional<LimitsFile> limitsFile;
    std::vector<LimitOverride> limitOverrides;
    // The files written before the report, with their SHA-256.
    std::vector<RecordedOutput> outputs;

    // Outputs that could not be written at the end, each "FILE: reason".
    QStringList outputFailures;
    // The spool file that keeps the result the database could not take, and why.
    QString spooledTo;
    QString spoolReason;

    bool interrupted() const { return stop == CaptureStop::Interrupted; }
    // No sample to judge the board by: nothing arrived, or the histogram read
    // is empty. That is a failed test, never a pass.
    bool noData() const { return result.samples == 0; }
    bool limitsHold() const;
    // Without a limit the board is measured, never judged.
    bool hasLimits() const { return !limits.empty(); }
    // The board's own verdict: false without data or for a capture cut
    // short, empty when there was no limit to judge it by, else whether
    // every limit held. An output that could not be written is the
    // station's fault, not the board's.
    std::optional<bool> boardPass() const;
    // 0 every limit holds, 1 one fails or there is no data, 2 the port went
    // away or an output could not be written, 3 measured without a limit (no
    // verdict), 130 interrupted.
    int exitStatus() const;
    // The exit status as a word: "pass", "fail", "incomplete", "measured"
    // or "interrupted".
    const char *verdict() const;

    QByteArray toJson() const;
    // Lines for a person or a log: frames, the figures as the analysis window
    // shows them, the limits and the verdict.
    QString summary() const;
};

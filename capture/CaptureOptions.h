#pragma once

#include "CodeDensityResult.h"

#include <QString>
#include <QStringList>

#include <optional>

// The pass/fail limits a board is held to; an empty one is not checked.
struct CaptureLimits
{
    std::optional<double> maxDnl; // worst |DNL|, LSB
    std::optional<double> maxInl; // worst |end-point INL|, LSB
    std::optional<int> maxMissing; // missing codes
    std::optional<double> maxNoise; // DC noise, rms LSB

    bool needLinearity() const { return maxDnl || maxInl || maxMissing; }
};

// adcapture's command line.
struct CaptureOptions
{
    enum class Mode { Capture, Analyze, ListPorts, Help, Version };

    Mode mode = Mode::Capture;
    std::optional<int> frames; // stop after this many complete frames
    std::optional<double> seconds; // stop after this long
    std::optional<TestKind> kind; // empty: read from the histogram's shape
    QString csvPath;
    QString jsonPath;
    QString portPath; // empty: ADTEST_COM1, else port 1
    QString analyzePath;
    bool allPorts = false; // --list-ports: placeholders too
    CaptureLimits limits;

    // Reads the arguments, the program name first. Returns an empty string,
    // or a one-line message naming the offending option or value.
    QString parse(const QStringList &arguments);

    static QString helpText();
};

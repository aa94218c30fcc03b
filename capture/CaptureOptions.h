#pragma once

#include "CodeDensityResult.h"
#include "DynamicResult.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <optional>

// The pass/fail limits a board is held to; an empty one is not checked.
struct CaptureLimits
{
    std::optional<double> maxDnl; // worst |DNL|, LSB
    std::optional<double> maxInl; // worst |end-point INL|, LSB
    std::optional<int> maxMissing; // missing codes
    std::optional<double> maxNoise; // DC noise, rms LSB
    // A limit passes only when the figure plus its 99 % uncertainty is
    // within it, so that a repeat of the test cannot overturn the verdict.
    bool guardBand = false;
    // The dynamic figures of the sample record's sine.
    std::optional<double> minEnob; // bits, from SINAD
    std::optional<double> minSinad; // dB
    std::optional<double> maxThd; // dB, negative
    std::optional<double> minSfdr; // dB

    bool needLinearity() const { return maxDnl || maxInl || maxMissing; }
    bool needDynamic() const { return minEnob || minSinad || maxThd || minSfdr; }
};

// adcapture's command line.
struct CaptureOptions
{
    enum class Mode { Capture, Analyze, ListPorts, Help, Version };

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
    CaptureLimits limits;
    // The dynamic analysis of the sample record.
    std::optional<double> sampleRate; // Hz: frequencies in Hz, else in cycles per sample
    std::optional<SpectrumWindow> window; // empty: chosen by the record
    int harmonics = 5; // in THD, the fundamental the first

    // Reads the arguments, the program name first. Returns an empty string,
    // or a one-line message naming the offending option or value.
    QString parse(const QStringList &arguments);

    static QString helpText();
};

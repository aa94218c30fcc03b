#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Where a running capture stands.
struct CaptureProgress
{
    std::int64_t frames = 0;
    std::optional<int> targetFrames;
    double elapsedSeconds = 0;
    std::optional<double> targetSeconds;
    std::optional<double> dnlUncertainty; // 99 %, LSB, for a ramp or sine
    std::optional<double> noise; // rms LSB, for a DC input

    double framesPerSecond() const { return elapsedSeconds > 0 ? frames / elapsedSeconds : 0; }
    // Until the first stop condition is met; empty without one, or before
    // the rate is known.
    std::optional<double> secondsLeft() const;
};

// One line for a terminal: frames, rate, elapsed and remaining time, and the
// DNL uncertainty (or noise) reached so far.
QString progressLine(const CaptureProgress &progress);

// "1:02:03" or "2:03".
QString clockTime(double seconds);

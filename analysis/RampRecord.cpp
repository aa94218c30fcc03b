#include "RampRecord.h"

#include "FigureText.h"
#include "SineFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

using std::numbers::pi;

// A sine explaining more of the record's variance than this is a sine.
constexpr double sineShareSure = 0.99;
// A ramp explains the record when it leaves at most half what the sine
// leaves: noise alone makes either leave the same.
constexpr double rampBetterBy = 2;
// The fundamental's phase in each half of the record refines the frequency
// by this many steps; each takes the error to a small part of itself.
constexpr int refinements = 3;

// A phase into -pi..pi.
double wrapped(double phase)
{
    return phase - 2 * pi * std::floor((phase + pi) / (2 * pi));
}

enum class Shape { Triangle, RisingSawtooth, FallingSawtooth };

const char *shapeName(Shape shape)
{
    switch (shape) {
    case Shape::Triangle:
        return "a triangle";
    case Shape::RisingSawtooth:
        return "a rising sawtooth";
    case Shape::FallingSawtooth:
        return "a falling sawtooth";
    }
    return "";
}

// The shape, -1 to 1, whose fundamental is a positive multiple of cos(u).
double shapeAt(Shape shape, double u)
{
    switch (shape) {
    case Shape::Triangle:
        return 1 - 2 * std::abs(wrapped(u)) / pi;
    case Shape::RisingSawtooth:
        return wrapped(u + pi / 2) / pi;
    case Shape::FallingSawtooth:
        return -wrapped(u - pi / 2) / pi;
    }
    return 0;
}

// The mean square that offset + scale * shape(2 pi f n + phase), both
// fitted, leaves of the samples.
double shapeResidual(std::span<const double> x, Shape shape, double frequency, double phase)
{
    double sw = 0, sww = 0, sx = 0, sxw = 0, sxx = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        const double w = shapeAt(shape, 2 * pi * frequency * double(n) + phase);
        sw += w;
        sww += w * w;
        sx += x[n];
        sxw += x[n] * w;
        sxx += x[n] * x[n];
    }
    const double count = double(x.size());
    const double varW = sww - sw * sw / count;
    const double varX = sxx - sx * sx / count;
    const double covXW = sxw - sx * sw / count;
    return varW > 0 ? std::max(0.0, varX - covXW * covXW / varW) / count : varX / count;
}

// The frequency from the fundamental's phase in each half of the record,
// which advances by 2 pi f N/2 from one to the other. The sine fit of a
// ramp is pulled by its harmonics; its phase in each half much less.
double refinedFrequency(std::span<const double> x, double frequency)
{
    const std::size_t half = x.size() / 2;
    for (int step = 0; step < refinements; ++step) {
        const SineFitFigures first = fitSineAtFrequency(x.first(half), frequency);
        const SineFitFigures second = fitSineAtFrequency(x.subspan(half, half), frequency);
        if (!first.converged || !second.converged)
            break;
        const double advance = 2 * pi * frequency * double(half);
        frequency += wrapped(second.phase - first.phase - advance) / (2 * pi * double(half));
    }
    return frequency;
}

// The mean square about the mean, each sum in four running parts: one
// running sum waits on its last add at every sample, four keep the
// processor busy.
double varianceOf(std::span<const double> x)
{
    const auto sumOf = [&](auto term) {
        std::array<double, 4> parts {};
        std::size_t n = 0;
        for (; n + 4 <= x.size(); n += 4)
            for (std::size_t i = 0; i < 4; ++i)
                parts[i] += term(x[n + i]);
        for (; n < x.size(); ++n)
            parts[0] += term(x[n]);
        return (parts[0] + parts[1]) + (parts[2] + parts[3]);
    };
    const double mean = sumOf([](double v) { return v; }) / double(x.size());
    return sumOf([&](double v) { return (v - mean) * (v - mean); }) / double(x.size());
}

} // namespace

std::string rampInsteadOfSine(
    std::span<const double> x, const SineFitFigures &fit, std::optional<double> knownVariance)
{
    if (x.size() < 4 || !(fit.amplitude > 0) || !(fit.frequency > 0 && fit.frequency < 0.5))
        return {};
    const double variance = knownVariance ? *knownVariance : varianceOf(x);
    const double sineLeaves = fit.residualRms * fit.residualRms;
    if (!(variance > 0) || sineLeaves <= (1 - sineShareSure) * variance)
        return {};
    const double frequency = refinedFrequency(x, fit.frequency);
    const SineFitFigures sine = fitSineAtFrequency(x, frequency);
    if (!sine.converged || !(frequency > 0 && frequency < 0.5))
        return {};
    const double sineLeft = std::min(sineLeaves, sine.residualRms * sine.residualRms);
    Shape best = Shape::Triangle;
    double bestLeft = sineLeft;
    for (const Shape shape : {Shape::Triangle, Shape::RisingSawtooth, Shape::FallingSawtooth}) {
        const double left = shapeResidual(x, shape, frequency, sine.phase);
        if (left < bestLeft) {
            bestLeft = left;
            best = shape;
        }
    }
    if (!(bestLeft * rampBetterBy < sineLeft))
        return {};
    // A ramp the codes follow exactly leaves only rounding: say 120 dB at most.
    const double gain = 10 * std::log10(sineLeft / std::max(bestLeft, variance * 1e-12));
    return std::string("the record is a ramp, not a sine (") + shapeName(best)
        + " of the same period leaves " + fixedNumber(gain, 1) + " dB less of it than a sine does)";
}

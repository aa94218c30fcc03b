#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The input applied to the converter while the histogram was collected; it
// decides how the histogram is read.
enum class TestKind { Dc, Ramp, Sine };

// "DC noise", "Ramp/triangle" or "Sine", for menus and reports.
const char *testKindName(TestKind kind);
// "dc", "ramp" or "sine": the kind as command lines and reports spell it.
const char *testKindKey(TestKind kind);
// The kind a key names; empty for any other text.
std::optional<TestKind> testKindFromKey(std::string_view key);

// A figure together with the code where it occurs.
struct CodeExtreme
{
    double value = 0;
    int code = -1;
};

// Noise around one input level.
struct DcNoiseFigures
{
    int peakToPeakCodes = 0; // highest code hit - lowest code hit
    double shareWithin1Sigma = 0; // fraction of the samples, 0..1
    double shareWithin2Sigma = 0;
    double shareWithin3Sigma = 0;
    // Bits - log2(sigma) and bits - log2(6.6 sigma). Empty when sigma is 0:
    // the noise is then below what the histogram can resolve.
    std::optional<double> effectiveBits;
    std::optional<double> noiseFreeBits;
};

// Differential and integral non-linearity from a ramp or sine histogram, in
// LSB. The per-code vectors are indexed by code and hold 0 outside the
// analysed codes, which lie strictly between the lowest and highest code hit.
struct LinearityFigures
{
    int firstCode = 0;
    int lastCode = -1;
    std::vector<double> dnl;
    std::vector<double> inlEndPoint; // running sum of DNL, zero at both ends
    std::vector<double> inlBestFit; // running sum less its least-squares line
    CodeExtreme dnlMin, dnlMax;
    CodeExtreme inlEndPointMin, inlEndPointMax;
    CodeExtreme inlBestFitMin, inlBestFitMax;
    std::vector<int> missingCodes; // analysed codes without a hit

    // Statistical quality: the fewest hits among the analysed codes that were
    // hit, the DNL uncertainty this gives at 99 % confidence (2.576/sqrt(hits)),
    // and what it takes to bring that to 0.1 LSB. Empty when no analysed code
    // was hit, or (for the time) when no sample rate was given.
    std::uint64_t fewestHits = 0;
    int fewestHitsCode = -1;
    std::optional<double> dnlUncertainty99;
    std::optional<std::uint64_t> samplesNeededForTenthLsb; // beyond those taken
    std::optional<double> secondsNeededForTenthLsb;
    // The INL's counting noise at 99 % confidence, end-point and best fit, at
    // the code where it is largest (InlUncertainty.h), and what it takes to
    // bring the end-point figure to the resolution asked for.
    std::optional<double> inlEndPointUncertainty99;
    std::optional<double> inlBestFitUncertainty99;
    int inlEndPointUncertaintyCode = -1;
    int inlBestFitUncertaintyCode = -1;
    double inlResolution = 0; // LSB, as asked for
    std::optional<std::uint64_t> samplesNeededForInlResolution; // beyond those taken
    std::optional<double> secondsNeededForInlResolution;

    // Sine only: the fitted input, in codes, and how far it reaches beyond
    // the first and the last transition, in LSB: negative where it stops
    // short of them and the end codes are not overdriven.
    double sineCentre = 0;
    double sineAmplitude = 0;
    std::optional<double> overdriveLowLsb;
    std::optional<double> overdriveHighLsb;
    // What the figures cover when the sine does not reach the end codes;
    // empty when it does.
    std::string rangeWarning;

    // Ramp only: why the INL is withheld when the histogram shows two flat
    // plateaus with a step between them that no counting noise explains, as
    // a capture that stops part-way through a sweep leaves; empty otherwise.
    std::string partialSweep;
    // Ramp only, where a sample record held every sample counted: how many
    // whole sweeps the figures come from, and how many samples of partial
    // sweeps at the record's ends were left out. Empty when the histogram
    // alone was read.
    std::optional<int> wholeSweeps;
    std::uint64_t samplesLeftOut = 0;

    int analysedCodes() const { return lastCode - firstCode + 1; }
    bool analyses(int code) const { return code >= firstCode && code <= lastCode; }
};

struct CodeDensityResult
{
    TestKind kind = TestKind::Dc;
    bool kindDetected = false; // the kind came from the histogram's shape
    // The shape had too few samples to tell the kind (or none at all): `kind`
    // is only a guess and nothing is analysed until the kind is chosen.
    bool kindUndetermined = false;
    // False when the histogram cannot be read as this kind (or is empty);
    // misfitReason then says why and the kind's own figures stay empty.
    bool kindFits = false;
    std::string misfitReason;

    int bits = 0; // resolution of the converter: log2 of the number of codes
    std::uint64_t samples = 0; // saturates at the largest 64-bit count
    int lowestCode = -1; // -1 when nothing was hit
    int highestCode = -1;
    double meanCode = 0;
    double sigma = 0; // standard deviation in LSB

    DcNoiseFigures dc; // filled when kind is Dc and it fits
    LinearityFigures linearity; // filled when kind is Ramp or Sine and it fits

    bool hasLinearity() const { return kindFits && kind != TestKind::Dc; }
};

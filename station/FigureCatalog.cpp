#include "FigureCatalog.h"

#include "FigureKeys.h"
#include "FigureText.h"

#include <algorithm>
#include <cmath>

namespace {

using Value = std::optional<double>;

constexpr double confidence99 = 2.576;

double worstOf(const CodeExtreme &low, const CodeExtreme &high)
{
    return std::max(std::abs(low.value), std::abs(high.value));
}

const LinearityFigures &linearity(const FigureInputs &in)
{
    return in.codeDensity.linearity;
}

// The standard deviation of N samples is known to sigma / sqrt(2N).
Value noiseUncertainty(const FigureInputs &in)
{
    const CodeDensityResult &r = in.codeDensity;
    if (r.samples == 0)
        return std::nullopt;
    return confidence99 * r.sigma / std::sqrt(2.0 * double(r.samples));
}

// A measure the dynamic analysis holds as it is.
template<std::optional<double> DynamicResult::*figure>
constexpr FigureDefinition dynamicRow(
    std::string_view key, std::string_view label, std::string_view unit)
{
    return {key, label, unit, FigureNature::Measure, FigureSource::Dynamic,
        [](const FigureInputs &in) -> Value { return in.dynamic.*figure; }};
}

// A measure of the record's spectrum, which a record without a tone gives too.
template<std::optional<double> DynamicResult::*figure>
constexpr FigureDefinition spectrumRow(
    std::string_view key, std::string_view label, std::string_view unit)
{
    return {key, label, unit, FigureNature::Measure, FigureSource::Spectrum,
        [](const FigureInputs &in) -> Value { return in.dynamic.*figure; }};
}

// To add a figure: one row here, with the function that reads it from the
// results. Keys are what stations, scripts and the database already read;
// never rename one.
constexpr FigureDefinition catalog[] = {
    {FigureKey::samples, "Samples", "", FigureNature::Count, FigureSource::Histogram,
        [](const FigureInputs &in) -> Value { return double(in.codeDensity.samples); }},
    {FigureKey::meanCode, "Mean code", "codes", FigureNature::Measure, FigureSource::Histogram,
        [](const FigureInputs &in) -> Value { return in.codeDensity.meanCode; }},
    {FigureKey::sigmaLsb, "Sigma", "LSB", FigureNature::Measure, FigureSource::Histogram,
        [](const FigureInputs &in) -> Value { return in.codeDensity.sigma; }},
    {FigureKey::noiseLsb, "DC noise", "LSB rms", FigureNature::Measure, FigureSource::DcNoise,
        [](const FigureInputs &in) -> Value { return in.codeDensity.sigma; }, noiseUncertainty},
    {FigureKey::peakToPeakCodes, "Peak-to-peak", "codes", FigureNature::Count,
        FigureSource::DcNoise,
        [](const FigureInputs &in) -> Value { return in.codeDensity.dc.peakToPeakCodes; }},
    {FigureKey::effectiveResolutionBits, "Effective resolution", "bits", FigureNature::Measure,
        FigureSource::DcNoise,
        [](const FigureInputs &in) -> Value { return in.codeDensity.dc.effectiveBits; }},
    {FigureKey::noiseFreeResolutionBits, "Noise-free resolution", "bits", FigureNature::Measure,
        FigureSource::DcNoise,
        [](const FigureInputs &in) -> Value { return in.codeDensity.dc.noiseFreeBits; }},
    {FigureKey::dnlMinLsb, "DNL minimum", "LSB", FigureNature::Measure, FigureSource::Linearity,
        [](const FigureInputs &in) -> Value { return linearity(in).dnlMin.value; }},
    {FigureKey::dnlMaxLsb, "DNL maximum", "LSB", FigureNature::Measure, FigureSource::Linearity,
        [](const FigureInputs &in) -> Value { return linearity(in).dnlMax.value; }},
    {FigureKey::dnlWorstLsb, "Worst |DNL|", "LSB", FigureNature::Measure, FigureSource::Linearity,
        [](const FigureInputs &in) -> Value {
            return worstOf(linearity(in).dnlMin, linearity(in).dnlMax);
        },
        [](const FigureInputs &in) -> Value { return linearity(in).dnlUncertainty99; }},
    {FigureKey::inlEndPointWorstLsb, "Worst |INL| (end-point)", "LSB", FigureNature::Measure,
        FigureSource::Linearity,
        [](const FigureInputs &in) -> Value {
            return worstOf(linearity(in).inlEndPointMin, linearity(in).inlEndPointMax);
        },
        [](const FigureInputs &in) -> Value { return linearity(in).inlEndPointUncertainty99; }},
    {FigureKey::inlBestFitWorstLsb, "Worst |INL| (best fit)", "LSB", FigureNature::Measure,
        FigureSource::Linearity,
        [](const FigureInputs &in) -> Value {
            return worstOf(linearity(in).inlBestFitMin, linearity(in).inlBestFitMax);
        },
        [](const FigureInputs &in) -> Value { return linearity(in).inlBestFitUncertainty99; }},
    {FigureKey::missingCodeCount, "Missing codes", "", FigureNature::Count, FigureSource::Linearity,
        [](const FigureInputs &in) -> Value { return double(linearity(in).missingCodes.size()); }},
    {FigureKey::dnlUncertainty99Lsb, "DNL uncertainty (99 %)", "LSB", FigureNature::Measure,
        FigureSource::Linearity,
        [](const FigureInputs &in) -> Value { return linearity(in).dnlUncertainty99; }},
    {FigureKey::inlEndPointUncertainty99Lsb, "INL uncertainty (99 %, end-point)", "LSB",
        FigureNature::Measure, FigureSource::Linearity,
        [](const FigureInputs &in) -> Value { return linearity(in).inlEndPointUncertainty99; }},
    dynamicRow<&DynamicResult::snrDb>(FigureKey::snrDb, "SNR", "dB"),
    dynamicRow<&DynamicResult::sinadDb>(FigureKey::sinadDb, "SINAD", "dB"),
    dynamicRow<&DynamicResult::thdDb>(FigureKey::thdDb, "THD", "dB"),
    dynamicRow<&DynamicResult::sfdrDb>(FigureKey::sfdrDb, "SFDR", "dB"),
    dynamicRow<&DynamicResult::enobBits>(FigureKey::enobBits, "ENOB (SINAD)", "bits"),
    dynamicRow<&DynamicResult::enobFitBits>(FigureKey::enobFitBits, "ENOB (sine fit)", "bits"),
    // In Hz with a sample rate, else in cycles per sample (frequency_unit).
    {FigureKey::signalFrequency, "Signal frequency", "", FigureNature::Measure,
        FigureSource::Dynamic,
        [](const FigureInputs &in) -> Value {
            return in.dynamic.frequencyOf(in.dynamic.fundamental);
        }},
    spectrumRow<&DynamicResult::snrFsDb>(FigureKey::snrFsDb, "SNRFS", "dB"),
    spectrumRow<&DynamicResult::noiseFloorDbfs>(
        FigureKey::noiseFloorDbfs, "Noise floor per bin", "dBFS"),
    spectrumRow<&DynamicResult::noiseDensityDbfsPerHz>(
        FigureKey::noiseDensityDbfsPerHz, "Noise spectral density", "dBFS/Hz"),
    // The largest component but the fundamental, a harmonic or any other spur.
    {FigureKey::largestSpurDbfs, "Largest spur", "dBFS", FigureNature::Measure,
        FigureSource::Spectrum,
        [](const FigureInputs &in) -> Value {
            return in.dynamic.spurs.empty() ? Value() : in.dynamic.spurs.front().dbfs;
        }},
    // How many records' spectra the figures of the record were averaged from.
    {FigureKey::spectrumAverages, "Spectra averaged", "", FigureNature::Count,
        FigureSource::Spectrum,
        [](const FigureInputs &in) -> Value { return double(in.dynamic.averages); }},
    {FigureKey::spectrumRecordLength, "Spectrum record length", "samples", FigureNature::Count,
        FigureSource::Spectrum,
        [](const FigureInputs &in) -> Value { return double(in.dynamic.recordLength); }},
};

} // namespace

std::string FigureDefinition::title() const
{
    return unit.empty() ? std::string(label) : std::string(label) + " (" + std::string(unit) + ")";
}

std::string FigureDefinition::text(double value) const
{
    return fixedNumber(value, decimals());
}

std::span<const FigureDefinition> figureCatalog()
{
    return catalog;
}

const FigureDefinition *findFigure(std::string_view key)
{
    const auto found = std::ranges::find(catalog, key, &FigureDefinition::key);
    return found == std::end(catalog) ? nullptr : found;
}

std::string figureUnavailable(const FigureDefinition &figure, const FigureInputs &inputs)
{
    const CodeDensityResult &result = inputs.codeDensity;
    switch (figure.source) {
    case FigureSource::Histogram:
        if (result.samples == 0)
            return "no frames";
        break;
    case FigureSource::DcNoise:
    case FigureSource::Linearity:
        if (result.samples == 0)
            return "no frames";
        if (!result.kindFits)
            return result.misfitReason;
        if (figure.source == FigureSource::Linearity && !result.hasLinearity())
            return "a DC histogram has no DNL, INL or missing codes";
        if ((figure.key == FigureKey::inlEndPointWorstLsb
                || figure.key == FigureKey::inlBestFitWorstLsb)
            && !result.linearity.partialSweep.empty())
            return result.linearity.partialSweep;
        if (figure.source == FigureSource::DcNoise && result.kind != TestKind::Dc)
            return std::string("noise is measured on a DC histogram, this is ")
                + testKindName(result.kind);
        break;
    case FigureSource::Spectrum:
        if (!inputs.dynamic.hasSpectrum)
            return inputs.dynamic.reason.empty() ? "no sample record" : inputs.dynamic.reason;
        if (!figure.value(inputs))
            return figure.key == FigureKey::noiseDensityDbfsPerHz
                ? "no sample rate known: the density needs one"
                : "the record gives no such figure";
        return {};
    case FigureSource::Dynamic:
        if (!inputs.dynamic.toneUndetermined.empty())
            return "undetermined: " + inputs.dynamic.toneUndetermined;
        // A result never analysed has no reason of its own, and no figures.
        if (!inputs.dynamic.ok)
            return inputs.dynamic.reason.empty() ? "no sample record" : inputs.dynamic.reason;
        // The dynamic figures of a ramp or a DC input mean nothing.
        if (result.kind != TestKind::Sine)
            return std::string("dynamic figures are measured on a sine, this is ")
                + testKindName(result.kind);
        if (!figure.value(inputs)) {
            const DynamicResult &d = inputs.dynamic;
            const std::string_view key = figure.key;
            const std::string &why = key == FigureKey::thdDb              ? d.thdUndetermined
                : key == FigureKey::sfdrDb                                ? d.sfdrUndetermined
                : key == FigureKey::sinadDb || key == FigureKey::enobBits ? d.sinadUndetermined
                                                                          : d.reason;
            return why.empty() ? "the record gives no such figure: no noise or distortion left"
                               : "undetermined: " + why;
        }
        return {};
    }
    const std::optional<double> value = figure.value(inputs);
    if (!value || !std::isfinite(*value))
        return "the histogram gives no such figure";
    return {};
}

std::vector<RecordedFigure> measuredFigures(const FigureInputs &inputs)
{
    std::vector<RecordedFigure> figures;
    for (const FigureDefinition &figure : catalog) {
        if (!figureUnavailable(figure, inputs).empty())
            continue;
        if (const std::optional<double> value = figure.value(inputs);
            value && std::isfinite(*value))
            figures.push_back({std::string(figure.key), *value});
    }
    return figures;
}

#include "FigureText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

std::string atCode(const CodeExtreme &extreme)
{
    return fixedNumber(extreme.value) + " LSB at code " + std::to_string(extreme.code);
}

std::string minMax(const CodeExtreme &min, const CodeExtreme &max)
{
    return atCode(min) + " / " + atCode(max);
}

std::string percent(double share)
{
    return fixedNumber(100 * share, 1) + " %";
}

std::string duration(double seconds)
{
    if (seconds < 120)
        return fixedNumber(std::ceil(seconds), 0) + " s";
    if (seconds < 2 * 3600)
        return fixedNumber(std::ceil(seconds / 60), 0) + " min";
    return fixedNumber(seconds / 3600, 1) + " h";
}

std::string stillNeededText(std::uint64_t more, std::optional<double> seconds)
{
    if (more == 0)
        return "reached";
    std::string text = std::to_string(more) + " more samples";
    if (seconds)
        text += ", about " + duration(*seconds);
    else
        text += " (no samples arriving to time it)";
    return text;
}

} // namespace

std::string fixedNumber(double value, int decimals)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value > 0 ? "inf" : "-inf";
    // Room for the largest double: 309 digits, a sign, the point and the decimals.
    char buffer[400];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value,
        std::chars_format::fixed, std::clamp(decimals, 0, 17));
    std::string text(buffer, written.ptr);
    if (text.starts_with('-') && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return text;
}

std::string missingCodesText(const std::vector<int> &codes)
{
    std::string text = std::to_string(codes.size());
    const std::size_t listed = std::min(codes.size(), listedMissingCodes);
    for (std::size_t i = 0; i < listed; ++i)
        text += (i == 0 ? ": " : ", ") + std::to_string(codes[i]);
    if (codes.size() > listed)
        text += ", ... (" + std::to_string(codes.size() - listed) + " more)";
    return text;
}

std::vector<FigureRow> figureRows(const CodeDensityResult &r)
{
    std::vector<FigureRow> rows;
    const auto row = [&rows](std::string name, std::string value) {
        rows.push_back({std::move(name), std::move(value)});
    };
    if (r.kindUndetermined)
        row("Test kind", "not known");
    else
        row("Test kind", std::string(testKindName(r.kind)) + (r.kindDetected ? " (detected)" : ""));
    row("Samples", std::to_string(r.samples));
    if (r.samples > 0) {
        row("Lowest / highest code hit",
            std::to_string(r.lowestCode) + " / " + std::to_string(r.highestCode));
        row("Mean code", fixedNumber(r.meanCode));
        row("Standard deviation", fixedNumber(r.sigma) + " LSB");
    }
    if (!r.kindFits) {
        rows.push_back({"Does not fit", r.misfitReason, true});
    } else if (r.kind == TestKind::Dc) {
        const DcNoiseFigures &dc = r.dc;
        row("Peak-to-peak", std::to_string(dc.peakToPeakCodes) + " LSB");
        row("Within ±1σ / ±2σ / ±3σ",
            percent(dc.shareWithin1Sigma) + " / " + percent(dc.shareWithin2Sigma) + " / "
                + percent(dc.shareWithin3Sigma));
        if (dc.effectiveBits && dc.noiseFreeBits) {
            // Data sheets' effective resolution, N - log2(sigma); the ENOB of
            // a noise test, N - log2(sqrt(12) sigma), is 1.79 bits less.
            row("Effective resolution (N − log2 σ)", fixedNumber(*dc.effectiveBits, 2) + " bits");
            row("Noise-free resolution", fixedNumber(*dc.noiseFreeBits, 2) + " bits");
        } else {
            row("Resolution", "σ = 0: every sample on one code");
        }
    } else {
        const LinearityFigures &l = r.linearity;
        row("Analysed codes", std::to_string(l.firstCode) + " to " + std::to_string(l.lastCode));
        if (l.overdriveLowLsb && l.overdriveHighLsb)
            row("Overdrive low / high",
                fixedNumber(*l.overdriveLowLsb, 1) + " / " + fixedNumber(*l.overdriveHighLsb, 1)
                    + " LSB");
        if (!l.rangeWarning.empty())
            rows.push_back({"Sine amplitude", l.rangeWarning, true});
        if (l.wholeSweeps) {
            std::string sweeps
                = "linearity from " + std::to_string(*l.wholeSweeps) + " whole sweeps";
            if (l.samplesLeftOut > 0)
                sweeps += ", " + std::to_string(l.samplesLeftOut)
                    + " samples of partial sweeps left out";
            row("Sweeps", sweeps);
        }
        if (!l.partialSweep.empty())
            rows.push_back({"Partial sweep", l.partialSweep, true});
        row("DNL min / max", minMax(l.dnlMin, l.dnlMax));
        // A partial sweep's INL is a step of the capture, not of the converter.
        const std::string withheld = "not measured (a partial sweep)";
        row("INL end-point min / max",
            l.partialSweep.empty() ? minMax(l.inlEndPointMin, l.inlEndPointMax) : withheld);
        row("INL best-fit min / max",
            l.partialSweep.empty() ? minMax(l.inlBestFitMin, l.inlBestFitMax) : withheld);
        row("Missing codes", missingCodesText(l.missingCodes));
        if (l.dnlUncertainty99) {
            row("Fewest hits",
                std::to_string(l.fewestHits) + " at code " + std::to_string(l.fewestHitsCode));
            row("DNL uncertainty (99 %)", "±" + fixedNumber(*l.dnlUncertainty99) + " LSB");
            if (l.samplesNeededForTenthLsb)
                row("For ±0.1 LSB",
                    stillNeededText(*l.samplesNeededForTenthLsb, l.secondsNeededForTenthLsb));
        }
        if (l.inlEndPointUncertainty99 && l.inlBestFitUncertainty99) {
            row("INL uncertainty (99 %)",
                "±" + fixedNumber(*l.inlEndPointUncertainty99) + " LSB end-point, ±"
                    + fixedNumber(*l.inlBestFitUncertainty99) + " LSB best fit");
            if (l.samplesNeededForInlResolution)
                row("For ±" + fixedNumber(l.inlResolution, 2) + " LSB INL",
                    stillNeededText(
                        *l.samplesNeededForInlResolution, l.secondsNeededForInlResolution));
        }
    }
    return rows;
}

std::string ordinal(int order)
{
    const int lastTwo = order % 100;
    const char *suffix = lastTwo >= 11 && lastTwo <= 13 ? "th"
        : order % 10 == 1                               ? "st"
        : order % 10 == 2                               ? "nd"
        : order % 10 == 3                               ? "rd"
                                                        : "th";
    return std::to_string(order) + suffix;
}

namespace {

std::string decibels(const std::optional<double> &value, const char *unit = " dB")
{
    return value ? fixedNumber(*value, 2) + unit : "not measured";
}

// The noise floor, SNRFS without a tone, the density and the largest spurs:
// what any record's spectrum gives.
template<typename FrequencyText>
void appendNoiseRows(
    std::vector<FigureRow> &rows, const DynamicResult &r, const FrequencyText &frequency)
{
    std::string floor = decibels(r.noiseFloorDbfs, " dBFS per bin");
    if (r.averages > 1)
        floor += ", " + std::to_string(r.averages) + " spectra averaged";
    rows.push_back({"Noise floor", floor});
    if (!r.ok)
        rows.push_back({"SNRFS", decibels(r.snrFsDb) + " (to full scale)"});
    rows.push_back({"Noise density",
        r.noiseDensityDbfsPerHz ? fixedNumber(*r.noiseDensityDbfsPerHz, 2) + " dBFS/Hz"
                                : "not measured: no sample rate known"});
    for (std::size_t i = 0; i < r.spurs.size(); ++i) {
        const SpectrumTone &spur = r.spurs[i];
        std::string text = spur.order > 1 ? ordinal(spur.order) + " harmonic, " : std::string();
        text += frequency(spur.frequency) + ", " + fixedNumber(spur.dbfs, 2) + " dBFS";
        if (r.ok)
            text += ", " + fixedNumber(spur.dbc, 2) + " dBc";
        rows.push_back({"Spur " + std::to_string(i + 1), text});
    }
}

} // namespace

std::vector<FigureRow> dynamicFigureRows(const DynamicResult &r)
{
    std::vector<FigureRow> rows;
    const auto row = [&rows](std::string name, std::string value) {
        rows.push_back({std::move(name), std::move(value)});
    };
    if (!r.ok && !r.hasSpectrum) {
        rows.push_back({"Dynamic figures", r.reason, true});
        return rows;
    }
    // Hertz to the millihertz; cycles per sample to a millionth of a bin of
    // a 2^20 record.
    const auto frequency = [&r](double cyclesPerSample) {
        return r.sampleRate ? fixedNumber(cyclesPerSample * *r.sampleRate, 3) + " Hz"
                            : fixedNumber(cyclesPerSample, 9) + " cycles/sample";
    };
    row("Record",
        r.averages > 1 ? std::to_string(r.averages) + " × " + std::to_string(r.recordLength)
                + " samples, spectra averaged"
                       : std::to_string(r.samples) + " samples, 1 record");
    row("Window",
        std::string(spectrumWindowName(r.window)) + (r.coherent ? " (coherent record)" : ""));
    if (!r.ok) {
        // A record without a tone: its noise and spurs, and no tone figures.
        rows.push_back({"Tone figures", r.reason, true});
        appendNoiseRows(rows, r, frequency);
        return rows;
    }
    row("Fundamental",
        frequency(r.fundamental.frequency) + ", " + fixedNumber(r.fundamental.dbfs, 2) + " dBFS");
    if (!r.fundamentalChoice.empty())
        row("Fundamental taken", r.fundamentalChoice);
    // A figure the record cannot give reads as undetermined, with why.
    const auto figure = [&rows](std::string name, std::string value, const std::string &why) {
        if (why.empty())
            rows.push_back({std::move(name), std::move(value)});
        else
            rows.push_back({std::move(name), "undetermined: " + why, true});
    };
    row("SNR", decibels(r.snrDb));
    row("SNRFS", decibels(r.snrFsDb) + " (to full scale)");
    figure("SINAD", decibels(r.sinadDb), r.sinadUndetermined);
    std::string thd = decibels(r.thdDb);
    if (!r.harmonics.empty())
        thd += " (" + ordinal(r.harmonics.front().order) + " to "
            + ordinal(r.harmonics.back().order) + " harmonic)";
    figure("THD", thd, r.thdUndetermined);
    std::string sfdr = decibels(r.sfdrDb);
    if (r.sfdrDb)
        sfdr += r.spur.order > 1 ? " (" + ordinal(r.spur.order) + " harmonic)"
                                 : " (spur at " + frequency(r.spur.frequency) + ")";
    figure("SFDR", sfdr, r.sfdrUndetermined);
    figure("ENOB (SINAD)", decibels(r.enobBits, " bits"), r.sinadUndetermined);
    if (r.fit.converged)
        row("ENOB (sine fit)", decibels(r.enobFitBits, " bits"));
    else
        rows.push_back({"ENOB (sine fit)", "not measured: the sine fit did not settle", true});
    if (r.fit.converged)
        row("Sine fit",
            "amplitude " + fixedNumber(r.fit.amplitude) + ", offset " + fixedNumber(r.fit.offset)
                + " codes, " + frequency(r.fit.frequency) + ", residual "
                + fixedNumber(r.fit.residualRms) + " LSB rms");
    appendNoiseRows(rows, r, frequency);
    if (!r.coherenceNote.empty())
        rows.push_back({"Coherent record", r.coherenceNote, true});
    if (r.suggestion)
        rows.push_back({"Coherent input",
            std::to_string(r.suggestion->cycles) + " cycles in "
                + std::to_string(r.suggestion->samples)
                + " samples: " + frequency(r.suggestion->frequency),
            true});
    return rows;
}

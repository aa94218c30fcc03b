#include "DynamicCaptureOptions.h"

#include "DynamicAnalysis.h"
#include "OptionParser.h"

#include <QString>

void declareDynamicOptions(OptionParser &parser)
{
    for (const char *name :
        {"--sample-rate", "--window", "--harmonics", "--averages", "--fundamental"})
        parser.addValue({name});
}

bool readDynamicOptions(OptionParser &parser, CaptureOptions &options)
{
    std::optional<int> harmonics;
    std::optional<int> averages;
    if (!parser.realValue(
            "--sample-rate", 1e-3, 1e12, "a rate from 0.001 to 1e12 Hz", options.sampleRate)
        || !parser.intValue("--harmonics", 2, 100, "a count from 2 to 100", harmonics)
        || !parser.intValue("--averages", 1, 1024, "a count from 1 to 1024", averages)
        || !parser.realValue(
            "--fundamental", 0, 5e11, "a frequency from 0 to 5e11 Hz", options.fundamentalHz))
        return false;
    // A record read with --analyze may bring its rate in a sidecar: checked
    // once that is read.
    if (options.sampleRate || !parser.isSet("--analyze")) {
        if (const QString problem = namedFundamentalProblem(options); !problem.isEmpty())
            return parser.fail(problem.toStdString());
    }
    options.harmonics = harmonics.value_or(options.harmonics);
    options.averages = averages.value_or(options.averages);
    if (parser.isSet("--window")) {
        options.window = spectrumWindowFromKey(parser.value("--window"));
        if (!options.window)
            return parser.badValue(
                "--window", "one of rectangular, hann, blackman-harris-4, blackman-harris-7");
    }
    return true;
}

QString namedFundamentalProblem(const CaptureOptions &options)
{
    if (!options.fundamentalHz)
        return {};
    if (!options.sampleRate)
        return QStringLiteral("--fundamental: a frequency in Hz needs the sample rate "
                              "(--sample-rate, or the sidecar of a record read with --analyze)");
    const double nyquist = *options.sampleRate / 2;
    if (*options.fundamentalHz > 0 && *options.fundamentalHz < nyquist)
        return {};
    return QStringLiteral("--fundamental: %1 Hz does not lie between 0 and half the sample "
                          "rate, %2 Hz")
        .arg(*options.fundamentalHz, 0, 'g', 12)
        .arg(nyquist, 0, 'g', 12);
}

DynamicOptions dynamicOptionsOf(const CaptureOptions &options)
{
    DynamicOptions dynamic;
    dynamic.bits = options.bits;
    dynamic.window = options.window;
    dynamic.harmonics = options.harmonics;
    dynamic.averages = options.averages;
    dynamic.sampleRate = options.sampleRate;
    if (options.fundamentalHz && options.sampleRate)
        dynamic.fundamental = *options.fundamentalHz / *options.sampleRate;
    dynamic.keepSpectrum = false; // no output of adcapture shows it
    return dynamic;
}

DynamicResult analyseCapturedRecord(
    std::span<const std::uint16_t> record, const CaptureOptions &options, bool fromHistogram)
{
    if (fromHistogram) {
        DynamicResult result;
        result.bits = options.bits;
        result.sampleRate = options.sampleRate;
        result.reason = "a histogram holds no order of samples: analyse the sample record "
                        "(--samples) for the dynamic figures";
        return result;
    }
    return analyseDynamic(record, dynamicOptionsOf(options));
}

std::future<void> prepareCapturedAnalysis(
    std::size_t samples, const CaptureOptions &options, bool fromHistogram)
{
    return prepareDynamicAnalysis(fromHistogram ? 0 : samples, dynamicOptionsOf(options));
}

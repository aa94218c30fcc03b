#include "ResultRecord.h"

#include "CaptureReport.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace {

std::string isoUtc(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs).toStdString() : std::string();
}

double worstOf(const CodeExtreme &low, const CodeExtreme &high)
{
    return std::max(std::abs(low.value), std::abs(high.value));
}

// The figure each limit holds, and which side of it passes.
struct LimitFigure
{
    const char *limit;
    const char *figure;
    bool upper;
};

constexpr LimitFigure limitFigures[] = {
    {"max_dnl", "dnl_worst_lsb", true},
    {"max_inl", "inl_end_point_worst_lsb", true},
    {"max_missing", "missing_code_count", true},
    {"max_noise", "noise_lsb", true},
    {"min_enob", "enob_bits", false},
    {"min_sinad", "sinad_db", false},
    {"max_thd", "thd_db", true},
    {"min_sfdr", "sfdr_db", false},
};

std::vector<RecordedFigure> figuresOf(const CaptureReport &report)
{
    const CodeDensityResult &result = report.result;
    std::vector<RecordedFigure> figures;
    const auto add = [&figures](const char *name, std::optional<double> value) {
        if (value && std::isfinite(*value))
            figures.push_back({name, *value});
    };
    if (result.samples == 0)
        return figures;
    add("samples", double(result.samples));
    add("mean_code", result.meanCode);
    add("sigma_lsb", result.sigma);
    if (result.kindFits && result.kind == TestKind::Dc) {
        add("noise_lsb", result.sigma);
        add("peak_to_peak_codes", result.dc.peakToPeakCodes);
        add("effective_resolution_bits", result.dc.effectiveBits);
        add("noise_free_resolution_bits", result.dc.noiseFreeBits);
    }
    if (result.hasLinearity()) {
        const LinearityFigures &l = result.linearity;
        add("dnl_min_lsb", l.dnlMin.value);
        add("dnl_max_lsb", l.dnlMax.value);
        add("dnl_worst_lsb", worstOf(l.dnlMin, l.dnlMax));
        add("inl_end_point_worst_lsb", worstOf(l.inlEndPointMin, l.inlEndPointMax));
        add("inl_best_fit_worst_lsb", worstOf(l.inlBestFitMin, l.inlBestFitMax));
        add("missing_code_count", double(l.missingCodes.size()));
        add("dnl_uncertainty_99_lsb", l.dnlUncertainty99);
        add("inl_end_point_uncertainty_99_lsb", l.inlEndPointUncertainty99);
    }
    const DynamicResult &dynamic = report.dynamic;
    // A sine record only: the dynamic figures of a ramp or DC input mean nothing.
    if (dynamic.ok && result.kind == TestKind::Sine) {
        add("snr_db", dynamic.snrDb);
        add("sinad_db", dynamic.sinadDb);
        add("thd_db", dynamic.thdDb);
        add("sfdr_db", dynamic.sfdrDb);
        add("enob_bits", dynamic.enobBits);
        add("enob_fit_bits", dynamic.enobFitBits);
        add("signal_frequency", dynamic.frequencyOf(dynamic.fundamental));
    }
    return figures;
}

} // namespace

TestRecord resultRecord(const CaptureReport &report)
{
    TestRecord record;
    record.identity = report.identity;
    record.program = QCoreApplication::applicationName().toStdString();
    record.programVersion = QCoreApplication::applicationVersion().toStdString();
    record.startTime = isoUtc(report.startTime);
    record.endTime = isoUtc(report.endTime);
    record.port = report.port.toStdString();
    record.inputFile = report.inputFile.toStdString();
    record.frames = report.frames;
    record.kind = testKindKey(report.result.kind);
    record.exitStatus = report.exitStatus();
    // The board's verdict: data, every limit held, and a capture that ran
    // to its end. An output that could not be written is the station's
    // fault, not the board's.
    record.pass = !report.noData() && report.limitsHold() && !report.interrupted()
        && report.stop != CaptureStop::PortLost;
    if (report.limitsFile) {
        record.limitsFile = report.limitsFile->path.toStdString();
        record.limitsSha256 = report.limitsFile->sha256.toStdString();
        record.limitsName = report.limitsFile->name.toStdString();
        record.limitsRevision = report.limitsFile->revision.toStdString();
    }
    record.figures = figuresOf(report);
    for (const LimitOutcome &outcome : report.limits) {
        RecordedLimit limit;
        limit.name = outcome.name;
        const auto known = std::ranges::find_if(limitFigures,
            [&outcome](const LimitFigure &entry) { return outcome.name == entry.limit; });
        if (known != std::end(limitFigures)) {
            limit.figure = known->figure;
            limit.upper = known->upper;
        }
        limit.limit = outcome.limit;
        limit.value = outcome.value;
        limit.pass = outcome.pass;
        limit.source = outcome.source;
        record.limits.push_back(std::move(limit));
    }
    record.outputs = report.outputs;
    return record;
}

#include "DynamicReport.h"

#include "CaptureOptions.h"
#include "DynamicAnalysis.h"
#include "DynamicCaptureOptions.h"
#include "FigureText.h"

#include <QJsonArray>

#include <algorithm>

namespace {

QJsonValue optionalNumber(const std::optional<double> &value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

QJsonObject toneObject(const DynamicResult &result, const SpectrumTone &tone)
{
    return {
        {"order", tone.order},
        {"frequency", result.frequencyOf(tone)},
        {"bin", qint64(tone.bin)},
        {"dbfs", tone.dbfs},
        {"dbc", tone.dbc},
    };
}

QJsonObject details(const DynamicResult &r)
{
    QJsonObject object {
        {"ok", r.ok},
        {"reason", r.ok ? QJsonValue() : QString::fromStdString(r.reason)},
        {"samples", qint64(r.samples)},
        {"record_length", qint64(r.recordLength)},
        {"averages", r.averages},
        {"sample_rate", optionalNumber(r.sampleRate)},
    };
    if (!r.ok)
        return object;
    QJsonArray harmonics;
    for (const SpectrumTone &tone : r.harmonics)
        harmonics.append(toneObject(r, tone));
    object.insert("window", spectrumWindowKey(r.window));
    object.insert("coherent", r.coherent);
    object.insert("fundamental", toneObject(r, r.fundamental));
    object.insert("harmonics", harmonics);
    object.insert("largest_spur", toneObject(r, r.spur));
    object.insert("noise_floor_dbfs_per_bin", optionalNumber(r.noiseFloorDbfs));
    const SineFitFigures &fit = r.fit;
    object.insert("sine_fit",
        QJsonObject {
            {"converged", fit.converged},
            {"iterations", fit.iterations},
            {"amplitude_codes", fit.amplitude},
            {"offset_codes", fit.offset},
            {"frequency", r.sampleRate ? fit.frequency * *r.sampleRate : fit.frequency},
            {"phase_rad", fit.phase},
            {"residual_rms_lsb", fit.residualRms},
        });
    return object;
}

} // namespace

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

void insertDynamicFigures(QJsonObject &report, const DynamicResult &r)
{
    report.insert("snr_db", optionalNumber(r.snrDb));
    report.insert("sinad_db", optionalNumber(r.sinadDb));
    report.insert("thd_db", optionalNumber(r.thdDb));
    report.insert("sfdr_db", optionalNumber(r.sfdrDb));
    report.insert("enob_bits", optionalNumber(r.enobBits));
    report.insert("enob_fit_bits", optionalNumber(r.enobFitBits));
    report.insert(
        "signal_frequency", r.ok ? QJsonValue(r.frequencyOf(r.fundamental)) : QJsonValue());
    report.insert("frequency_unit", r.frequencyUnit());
    QJsonValue suggestion;
    if (r.ok && r.suggestion) {
        const double frequency
            = r.sampleRate ? r.suggestion->frequency * *r.sampleRate : r.suggestion->frequency;
        suggestion = QJsonObject {
            {"cycles", qint64(r.suggestion->cycles)},
            {"samples", qint64(r.suggestion->samples)},
            {"frequency", frequency},
        };
    }
    report.insert("coherent_suggestion", suggestion);
    report.insert("dynamic", details(r));
}

QStringList dynamicSummaryLines(const DynamicResult &result)
{
    const std::vector<FigureRow> rows = dynamicFigureRows(result);
    qsizetype width = 0;
    for (const FigureRow &row : rows)
        width = std::max(width, QString::fromStdString(row.name).size());
    QStringList lines;
    for (const FigureRow &row : rows)
        lines << QStringLiteral("  %1  %2")
                     .arg(QString::fromStdString(row.name).leftJustified(width),
                         QString::fromStdString(row.value));
    return lines;
}

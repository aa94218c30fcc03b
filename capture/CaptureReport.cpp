#include "CaptureReport.h"

#include "DynamicReport.h"
#include "FigureText.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const char *stopName(CaptureStop stop)
{
    switch (stop) {
    case CaptureStop::Frames:
        return "frames";
    case CaptureStop::Seconds:
        return "seconds";
    case CaptureStop::Interrupted:
        return "interrupted";
    case CaptureStop::PortLost:
        return "port_lost";
    }
    return "";
}

QJsonValue optionalNumber(const std::optional<double> &value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

// Counts go out as exact JSON integers. Qt keeps a qint64 exact; a count
// beyond it is held as a marked string and written as its digits by
// exactIntegers(). The mark begins with NUL, which no path or text of the
// report can hold.
const QString wideCountMark = QChar(0) + QStringLiteral("count:");

QJsonValue count(std::uint64_t value)
{
    if (value <= std::uint64_t(std::numeric_limits<qint64>::max()))
        return QJsonValue(qint64(value));
    return wideCountMark + QString::number(value);
}

QByteArray exactIntegers(QByteArray json)
{
    static const QRegularExpression marked(QStringLiteral("\"\\\\u0000count:([0-9]+)\""));
    return QString::fromUtf8(json).replace(marked, QStringLiteral("\\1")).toUtf8();
}

QJsonObject extreme(const CodeExtreme &at)
{
    return {{"value", at.value}, {"code", at.code}};
}

QJsonObject dcFigures(const DcNoiseFigures &dc)
{
    return {
        {"peak_to_peak_codes", dc.peakToPeakCodes},
        {"share_within_1_sigma", dc.shareWithin1Sigma},
        {"share_within_2_sigma", dc.shareWithin2Sigma},
        {"share_within_3_sigma", dc.shareWithin3Sigma},
        {"effective_resolution_bits", optionalNumber(dc.effectiveBits)},
        {"noise_free_resolution_bits", optionalNumber(dc.noiseFreeBits)},
    };
}

QJsonObject linearityFigures(const CodeDensityResult &result)
{
    const LinearityFigures &l = result.linearity;
    QJsonArray missing;
    for (int code : l.missingCodes)
        missing.append(code);
    QJsonObject figures {
        {"first_code", l.firstCode},
        {"last_code", l.lastCode},
        {"dnl_min_lsb", extreme(l.dnlMin)},
        {"dnl_max_lsb", extreme(l.dnlMax)},
        {"inl_end_point_min_lsb", extreme(l.inlEndPointMin)},
        {"inl_end_point_max_lsb", extreme(l.inlEndPointMax)},
        {"inl_best_fit_min_lsb", extreme(l.inlBestFitMin)},
        {"inl_best_fit_max_lsb", extreme(l.inlBestFitMax)},
        {"missing_code_count", int(l.missingCodes.size())},
        {"missing_codes", missing},
        {"fewest_hits", count(l.fewestHits)},
        {"fewest_hits_code", l.fewestHitsCode},
        {"dnl_uncertainty_99_lsb", optionalNumber(l.dnlUncertainty99)},
        {"samples_needed_for_tenth_lsb",
            l.samplesNeededForTenthLsb ? count(*l.samplesNeededForTenthLsb) : QJsonValue()},
        {"seconds_needed_for_tenth_lsb", optionalNumber(l.secondsNeededForTenthLsb)},
        {"inl_end_point_uncertainty_99_lsb", optionalNumber(l.inlEndPointUncertainty99)},
        {"inl_best_fit_uncertainty_99_lsb", optionalNumber(l.inlBestFitUncertainty99)},
        {"inl_resolution_lsb", l.inlResolution},
        {"samples_needed_for_inl_resolution",
            l.samplesNeededForInlResolution ? count(*l.samplesNeededForInlResolution)
                                            : QJsonValue()},
        {"seconds_needed_for_inl_resolution", optionalNumber(l.secondsNeededForInlResolution)},
    };
    if (result.kind == TestKind::Sine) {
        figures.insert("sine_centre_code", l.sineCentre);
        figures.insert("sine_amplitude_codes", l.sineAmplitude);
    }
    return figures;
}

QJsonObject analysisFigures(const CodeDensityResult &result)
{
    QJsonObject figures {
        {"kind", testKindKey(result.kind)},
        {"kind_name", testKindName(result.kind)},
        {"kind_detected", result.kindDetected},
        {"kind_undetermined", result.kindUndetermined},
        {"kind_fits", result.kindFits},
        {"misfit_reason",
            result.kindFits ? QJsonValue() : QString::fromStdString(result.misfitReason)},
        {"bits", result.bits},
        {"samples", count(result.samples)},
        {"lowest_code", result.lowestCode},
        {"highest_code", result.highestCode},
        {"mean_code", result.meanCode},
        {"sigma_lsb", result.sigma},
    };
    if (result.kindFits && result.kind == TestKind::Dc)
        figures.insert("dc", dcFigures(result.dc));
    if (result.hasLinearity())
        figures.insert("linearity", linearityFigures(result));
    return figures;
}

QString isoTime(const QDateTime &time)
{
    return time.isValid() ? time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs)
                          : QString();
}

QString number(double value, int decimals = 3)
{
    return QString::fromStdString(fixedNumber(value, decimals));
}

} // namespace

bool CaptureReport::limitsHold() const
{
    return std::ranges::all_of(limits, &LimitOutcome::pass);
}

int CaptureReport::exitStatus() const
{
    if (!outputFailures.isEmpty())
        return 2;
    if (stop == CaptureStop::Interrupted)
        return 130;
    if (stop == CaptureStop::PortLost)
        return 2;
    return limitsHold() && !noData() ? 0 : 1;
}

QByteArray CaptureReport::toJson() const
{
    QJsonArray limitArray;
    for (const LimitOutcome &outcome : limits) {
        limitArray.append(QJsonObject {
            {"name", QString::fromStdString(outcome.name)},
            {"figure",
                outcome.definition
                    ? QJsonValue(QString::fromStdString(std::string(outcome.definition->figureKey)))
                    : QJsonValue()},
            {"limit", outcome.limit},
            {"value", optionalNumber(outcome.value)},
            {"uncertainty_99", optionalNumber(outcome.uncertainty)},
            {"within_uncertainty", outcome.withinUncertainty},
            {"guard_band", outcome.guardBanded},
            {"pass", outcome.pass},
            {"note", outcome.note.empty() ? QJsonValue() : QString::fromStdString(outcome.note)},
            {"source",
                outcome.source.empty() ? QJsonValue() : QString::fromStdString(outcome.source)},
        });
    }
    const auto text = [](const std::string &value) {
        return value.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(value));
    };
    QJsonObject report {
        {"program", QCoreApplication::applicationName()},
        {"version", QCoreApplication::applicationVersion()},
        {"start_time", isoTime(startTime)},
        {"end_time", isoTime(endTime)},
        {"frames", qint64(frames)},
        {"frames_complete", count(result.samples)},
        {"record_samples", count(recordSamples)},
        {"no_data", noData()},
        {"test_kind", testKindKey(result.kind)},
        {"analysis", analysisFigures(result)},
        {"limits", limitArray},
        {"pass", exitStatus() == 0},
        {"exit_status", exitStatus()},
    };
    report.insert("board",
        QJsonObject {{"serial", text(identity.serial)}, {"lot", text(identity.lot)},
            {"part", text(identity.part)}, {"operator", text(identity.operatorName)},
            {"station", text(identity.station)}});
    if (limitsFile) {
        QJsonArray overridden;
        for (const LimitOverride &change : limitOverrides)
            overridden.append(QJsonObject {{"name", QString::fromStdString(change.key)},
                {"file_value", change.fileValue}, {"command_line_value", change.usedValue}});
        report.insert("limits_file",
            QJsonObject {{"path", QString::fromStdString(limitsFile->path)},
                {"sha256", QString::fromStdString(limitsFile->sha256)},
                {"name", QString::fromStdString(limitsFile->name)},
                {"revision", QString::fromStdString(limitsFile->revision)},
                {"overridden_by_command_line", overridden}});
    }
    QJsonArray written;
    for (const RecordedOutput &output : outputs)
        written.append(QJsonObject {{"role", QString::fromStdString(output.role)},
            {"path", QString::fromStdString(output.path)},
            {"sha256", QString::fromStdString(output.sha256)}});
    report.insert("outputs", written);
    insertDynamicFigures(report, dynamic);
    // Every catalog figure under the key the database and adreport use, null
    // where this test does not give it.
    const FigureInputs inputs {result, dynamic};
    QJsonObject catalogFigures;
    for (const FigureDefinition &figure : figureCatalog()) {
        const std::optional<double> value
            = figureUnavailable(figure, inputs).empty() ? figure.value(inputs) : std::nullopt;
        catalogFigures.insert(QLatin1String(figure.key.data(), qsizetype(figure.key.size())),
            optionalNumber(value && std::isfinite(*value) ? value : std::nullopt));
    }
    report.insert("figures", catalogFigures);
    if (!outputFailures.isEmpty())
        report.insert("output_failures", QJsonArray::fromStringList(outputFailures));
    if (stop) {
        report.insert("port", port);
        report.insert("stop_reason", stopName(*stop));
        report.insert("interrupted", interrupted());
        report.insert("frames_per_second", framesPerSecond);
    } else {
        report.insert("input_file", inputFile);
    }
    return exactIntegers(QJsonDocument(report).toJson(QJsonDocument::Indented));
}

QString CaptureReport::summary() const
{
    QStringList lines;
    // Frames are counted at STX; one cut short by the end of the capture is
    // not in the histogram.
    const bool allComplete = std::uint64_t(std::max<std::int64_t>(frames, 0)) == result.samples;
    const QString frameCount = allComplete
        ? QStringLiteral("%1 frames").arg(frames)
        : QStringLiteral("%1 frames (%2 complete)").arg(frames).arg(result.samples);
    QString head = stop ? QStringLiteral("%1 from %2").arg(frameCount, port)
                        : QStringLiteral("%1 samples from %2").arg(result.samples).arg(inputFile);
    if (stop) {
        const double seconds = startTime.msecsTo(endTime) / 1000.0;
        head += QStringLiteral(" in %1 s (%2 frames/s)")
                    .arg(number(seconds, 1), number(framesPerSecond, 0));
        if (stop == CaptureStop::Interrupted)
            head += QStringLiteral(", interrupted");
        else if (stop == CaptureStop::PortLost)
            head += QStringLiteral(", the port went away");
    }
    lines << head;
    if (!identity.serial.empty() || !identity.lot.empty()) {
        QStringList board;
        for (const auto &[label, value] :
            {std::pair {"board", identity.serial}, {"lot", identity.lot}, {"part", identity.part},
                {"operator", identity.operatorName}, {"station", identity.station}}) {
            if (!value.empty())
                board << QStringLiteral("%1 %2").arg(
                    QLatin1String(label), QString::fromStdString(value));
        }
        lines << QStringLiteral("  ") + board.join(QStringLiteral(", "));
    }
    if (limitsFile)
        lines << QStringLiteral("  limits %1 revision %2 (%3)")
                     .arg(QString::fromStdString(limitsFile->name),
                         QString::fromStdString(limitsFile->revision),
                         QString::fromStdString(limitsFile->path));
    // The analysis window's figures, their values in one column.
    QStringList names;
    QStringList values;
    for (const FigureRow &row : figureRows(result)) {
        names << QString::fromStdString(row.name);
        values << QString::fromStdString(row.value);
    }
    qsizetype width = 0;
    for (const QString &name : names)
        width = std::max(width, name.size());
    for (qsizetype i = 0; i < names.size(); ++i)
        lines << QStringLiteral("  %1  %2").arg(names[i].leftJustified(width), values[i]);
    // The sample record's sine, when there is a record.
    if (dynamic.ok || recordSamples > 0)
        lines << dynamicSummaryLines(dynamic);
    if (noData())
        lines << (stop ? QStringLiteral("  no data  nothing arrived: no complete frame")
                       : QStringLiteral("  no data  the histogram is empty"));
    for (const LimitOutcome &outcome : limits) {
        const auto number
            = [&outcome](double value) { return QString::fromStdString(outcome.text(value)); };
        QString value = outcome.value
            ? number(*outcome.value)
            : QStringLiteral("not measured (%1)").arg(QString::fromStdString(outcome.note));
        if (outcome.uncertainty)
            value += QStringLiteral(" ±%1").arg(number(*outcome.uncertainty));
        QString verdict = outcome.pass ? QStringLiteral("pass") : QStringLiteral("FAIL");
        if (outcome.guardBanded)
            verdict += QStringLiteral(" (guard-banded)");
        if (outcome.withinUncertainty)
            verdict += QStringLiteral(", within the uncertainty: a repeat may differ");
        for (const LimitOverride &change : limitOverrides) {
            if (change.key == outcome.name)
                verdict += QStringLiteral(" (command line; the file's is %1)")
                               .arg(number(change.fileValue));
        }
        lines << QStringLiteral("  %1 %2: %3 %4")
                     .arg(QString::fromStdString(limitDisplayName(outcome.name)),
                         number(outcome.limit), value, verdict);
    }
    for (const QString &failure : outputFailures)
        lines << QStringLiteral("  not written  %1").arg(failure);
    const int status = exitStatus();
    lines << QStringLiteral("  result   %1")
                 .arg(status == 0      ? QStringLiteral("PASS")
                         : status == 1 ? QStringLiteral("FAIL")
                                       : QStringLiteral("INCOMPLETE"));
    return lines.join('\n') + '\n';
}

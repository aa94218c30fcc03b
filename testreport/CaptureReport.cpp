#include "CaptureReport.h"

#include "DynamicReport.h"
#include "FigureKeys.h"
#include "FigureText.h"
#include "IsoTime.h"
#include "JsonText.h"

#include <QCoreApplication>

#include <algorithm>

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

using nlohmann::json;

json extreme(const CodeExtreme &at)
{
    return {{"value", at.value}, {"code", at.code}};
}

json dcFigures(const DcNoiseFigures &dc)
{
    return {
        {FigureKey::peakToPeakCodes, dc.peakToPeakCodes},
        {"share_within_1_sigma", dc.shareWithin1Sigma},
        {"share_within_2_sigma", dc.shareWithin2Sigma},
        {"share_within_3_sigma", dc.shareWithin3Sigma},
        {FigureKey::effectiveResolutionBits, jsonOrNull(dc.effectiveBits)},
        {FigureKey::noiseFreeResolutionBits, jsonOrNull(dc.noiseFreeBits)},
    };
}

json linearityFigures(const CodeDensityResult &result)
{
    const LinearityFigures &l = result.linearity;
    json figures {
        {"first_code", l.firstCode},
        {"last_code", l.lastCode},
        {FigureKey::dnlMinLsb, extreme(l.dnlMin)},
        {FigureKey::dnlMaxLsb, extreme(l.dnlMax)},
        {"inl_end_point_min_lsb", extreme(l.inlEndPointMin)},
        {"inl_end_point_max_lsb", extreme(l.inlEndPointMax)},
        {"inl_best_fit_min_lsb", extreme(l.inlBestFitMin)},
        {"inl_best_fit_max_lsb", extreme(l.inlBestFitMax)},
        {FigureKey::missingCodeCount, l.missingCodes.size()},
        {"missing_codes", l.missingCodes},
        {"fewest_hits", l.fewestHits},
        {"fewest_hits_code", l.fewestHitsCode},
        {FigureKey::dnlUncertainty99Lsb, jsonOrNull(l.dnlUncertainty99)},
        {"samples_needed_for_tenth_lsb", jsonOrNull(l.samplesNeededForTenthLsb)},
        {"seconds_needed_for_tenth_lsb", jsonOrNull(l.secondsNeededForTenthLsb)},
        {FigureKey::inlEndPointUncertainty99Lsb, jsonOrNull(l.inlEndPointUncertainty99)},
        {"inl_best_fit_uncertainty_99_lsb", jsonOrNull(l.inlBestFitUncertainty99)},
        {"inl_resolution_lsb", l.inlResolution},
        {"samples_needed_for_inl_resolution", jsonOrNull(l.samplesNeededForInlResolution)},
        {"seconds_needed_for_inl_resolution", jsonOrNull(l.secondsNeededForInlResolution)},
    };
    if (result.kind == TestKind::Sine) {
        figures["sine_centre_code"] = l.sineCentre;
        figures["sine_amplitude_codes"] = l.sineAmplitude;
        figures["overdrive_low_lsb"] = jsonOrNull(l.overdriveLowLsb);
        figures["overdrive_high_lsb"] = jsonOrNull(l.overdriveHighLsb);
        figures["range_warning"] = l.rangeWarning.empty() ? json() : json(l.rangeWarning);
    } else {
        figures["partial_sweep"] = l.partialSweep.empty() ? json() : json(l.partialSweep);
        figures["whole_sweeps"] = jsonOrNull(l.wholeSweeps);
        figures["samples_left_out"] = l.wholeSweeps ? json(l.samplesLeftOut) : json();
    }
    return figures;
}

json analysisFigures(const CodeDensityResult &result)
{
    json figures {
        {"kind", testKindKey(result.kind)},
        {"kind_name", testKindName(result.kind)},
        {"kind_detected", result.kindDetected},
        {"kind_undetermined", result.kindUndetermined},
        {"kind_fits", result.kindFits},
        {"misfit_reason", result.kindFits ? json() : json(result.misfitReason)},
        {"bits", result.bits},
        {FigureKey::samples, result.samples},
        {"lowest_code", result.lowestCode},
        {"highest_code", result.highestCode},
        {FigureKey::meanCode, result.meanCode},
        {FigureKey::sigmaLsb, result.sigma},
    };
    if (result.kindFits && result.kind == TestKind::Dc)
        figures["dc"] = dcFigures(result.dc);
    if (result.hasLinearity())
        figures["linearity"] = linearityFigures(result);
    return figures;
}

json limitObject(const LimitOutcome &outcome)
{
    return {
        {"name", outcome.name},
        {"figure", outcome.definition ? json(outcome.definition->figureKey) : json()},
        {"limit", outcome.limit},
        {"value", jsonOrNull(outcome.value)},
        {"uncertainty_99", jsonOrNull(outcome.uncertainty)},
        {"within_uncertainty", outcome.withinUncertainty},
        {"guard_band", outcome.guardBanded},
        {"pass", outcome.pass},
        {"note", jsonTextOrNull(outcome.note)},
        {"source", jsonTextOrNull(outcome.source)},
    };
}

json limitsFileObject(const LimitsFile &file, const std::vector<LimitOverride> &overrides)
{
    json overridden = json::array();
    for (const LimitOverride &change : overrides)
        overridden.push_back({{"name", change.key}, {"file_value", change.fileValue},
            {"command_line_value", change.usedValue}});
    return {{"path", file.path}, {"sha256", file.sha256}, {"name", file.name},
        {"revision", file.revision}, {"overridden_by_command_line", overridden}};
}

std::string localTime(const QDateTime &time)
{
    return isoTime(time, TimeZoneForm::LocalOffset);
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

std::optional<bool> CaptureReport::boardPass() const
{
    if (noData() || interrupted() || stop == CaptureStop::PortLost)
        return false;
    if (!hasLimits())
        return std::nullopt;
    return limitsHold();
}

int CaptureReport::exitStatus() const
{
    if (!outputFailures.isEmpty())
        return 2;
    if (stop == CaptureStop::Interrupted)
        return 130;
    if (stop == CaptureStop::PortLost)
        return 2;
    if (noData())
        return 1;
    // A status of its own, so that a script that reads only the status
    // cannot take a board measured against nothing for a pass.
    if (!hasLimits())
        return 3;
    return limitsHold() ? 0 : 1;
}

const char *CaptureReport::verdict() const
{
    switch (exitStatus()) {
    case 0:
        return "pass";
    case 1:
        return "fail";
    case 3:
        return "measured";
    case 130:
        return "interrupted";
    }
    return "incomplete";
}

QByteArray CaptureReport::toJson() const
{
    json limitArray = json::array();
    for (const LimitOutcome &outcome : limits)
        limitArray.push_back(limitObject(outcome));
    json report {
        {"program", QCoreApplication::applicationName().toStdString()},
        {"version", QCoreApplication::applicationVersion().toStdString()},
        {"start_time", localTime(startTime)},
        {"end_time", localTime(endTime)},
        {"frames", frames},
        {"frames_complete", result.samples},
        {"record_samples", recordSamples},
        {"no_data", noData()},
        {"test_kind", testKindKey(result.kind)},
        {"analysis", analysisFigures(result)},
        {"limits", limitArray},
        {"pass", boardPass() ? json(exitStatus() == 0) : json()},
        {"verdict", verdict()},
        {"exit_status", exitStatus()},
        {"board",
            {{"serial", jsonTextOrNull(identity.serial)}, {"lot", jsonTextOrNull(identity.lot)},
                {"part", jsonTextOrNull(identity.part)},
                {"operator", jsonTextOrNull(identity.operatorName)},
                {"station", jsonTextOrNull(identity.station)}}},
    };
    if (limitsFile)
        report["limits_file"] = limitsFileObject(*limitsFile, limitOverrides);
    json written = json::array();
    for (const RecordedOutput &output : outputs)
        written.push_back(
            {{"role", output.role}, {"path", output.path}, {"sha256", output.sha256}});
    report["outputs"] = written;
    insertDynamicFigures(report, dynamic);
    // Every catalog figure under the key the database and adreport use, null
    // where this test does not give it.
    const FigureInputs inputs {result, dynamic};
    json catalogFigures = json::object();
    for (const FigureDefinition &figure : figureCatalog()) {
        const std::optional<double> value
            = figureUnavailable(figure, inputs).empty() ? figure.value(inputs) : std::nullopt;
        catalogFigures[std::string(figure.key)] = jsonOrNull(value);
    }
    report["figures"] = catalogFigures;
    if (!outputFailures.isEmpty()) {
        json failures = json::array();
        for (const QString &failure : outputFailures)
            failures.push_back(failure.toStdString());
        report["output_failures"] = failures;
    }
    if (!spooledTo.isEmpty())
        report["spooled"] = spooledTo.toStdString();
    if (stop) {
        report["port"] = port.toStdString();
        report["stop_reason"] = stopName(*stop);
        report["interrupted"] = interrupted();
        report["frames_per_second"] = framesPerSecond;
    } else {
        report["input_file"] = inputFile.toStdString();
    }
    return QByteArray::fromStdString(jsonText(report, 4));
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
    if (!sampleRateNote.isEmpty())
        head += QStringLiteral(", sample rate %1").arg(sampleRateNote);
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
    lines << figureSummaryLines(figureRows(result));
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
    if (!spooledTo.isEmpty())
        lines << QStringLiteral("  spooled to %1: %2").arg(spooledTo, spoolReason);
    const int status = exitStatus();
    lines << QStringLiteral("  result   %1")
                 .arg(status == 0      ? QStringLiteral("PASS")
                         : status == 1 ? QStringLiteral("FAIL")
                         : status == 3 ? QStringLiteral("MEASURED (no limits)")
                                       : QStringLiteral("INCOMPLETE"));
    return lines.join('\n') + '\n';
}

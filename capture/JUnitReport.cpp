#include "JUnitReport.h"

#include "CaptureReport.h"
#include "FigureText.h"
#include "IsoTime.h"

#include <QCoreApplication>
#include <QXmlStreamWriter>

#include <algorithm>
#include <optional>

namespace {

QString text(const std::string &value)
{
    return QString::fromStdString(value);
}

QString figure(const LimitOutcome &outcome, double value)
{
    return QString::fromStdString(outcome.text(value));
}

// How the capture itself ended, when it did not end as asked.
std::optional<JUnitError> captureError(const CaptureReport &report)
{
    if (report.stop == CaptureStop::Interrupted)
        return JUnitError {QStringLiteral("interrupted"), QStringLiteral("capture"),
            QStringLiteral("the capture was interrupted after %1 frames").arg(report.frames)};
    if (report.stop == CaptureStop::PortLost)
        return JUnitError {QStringLiteral("port_lost"), QStringLiteral("capture"),
            QStringLiteral("%1 went away after %2 frames").arg(report.port).arg(report.frames)};
    return std::nullopt;
}

// Why a limit failed, as the check decided it: a value that holds on its
// own but not with its uncertainty added failed by the guard band.
QString failureMessage(const LimitOutcome &outcome, const QString &value, const QString &limit)
{
    const QString name = text(outcome.name);
    if (!outcome.value)
        return QStringLiteral("%1 not measured: %2").arg(name, text(outcome.note));
    const bool holdsAlone
        = outcome.definition && outcome.definition->holds(*outcome.value, outcome.limit);
    if (outcome.guardBanded && outcome.uncertainty && holdsAlone)
        return QStringLiteral("%1 is %2, within the 99 % uncertainty (\u00b1%3) of the limit %4: "
                              "failed by the guard band")
            .arg(name, value, figure(outcome, *outcome.uncertainty), limit);
    return QStringLiteral("%1 is %2, the limit %3").arg(name, value, limit);
}

} // namespace

QByteArray junitReport(const CaptureReport &report, std::vector<JUnitError> errors)
{
    if (const std::optional<JUnitError> error = captureError(report))
        errors.insert(errors.begin(), *error);
    const auto failed = std::ranges::count_if(report.limits, [](const auto &o) { return !o.pass; });
    // Without a limit there is no verdict: one skipped case says so, rather
    // than a suite of no cases that reads as all green.
    const bool unjudged = !report.hasLimits() && !report.noData();
    const qsizetype cases = qsizetype(report.limits.size() + errors.size())
        + (report.noData() ? 1 : 0) + (unjudged ? 1 : 0);
    const QString errorCount = QString::number(errors.size());
    const qsizetype failures = failed + (report.noData() ? 1 : 0);
    const QString seconds
        = QString::number(std::max<qint64>(report.startTime.msecsTo(report.endTime), 0) / 1000.0);
    const BoardIdentity &board = report.identity;
    const QString suiteName = board.serial.empty()
        ? QStringLiteral("adcapture")
        : QStringLiteral("adcapture %1").arg(text(board.serial));

    QByteArray xml;
    QXmlStreamWriter out(&xml);
    out.setAutoFormatting(true);
    out.writeStartDocument();
    out.writeStartElement("testsuites");
    out.writeAttribute("name", "adcapture");
    out.writeAttribute("tests", QString::number(cases));
    out.writeAttribute("failures", QString::number(failures));
    out.writeAttribute("errors", errorCount);
    out.writeAttribute("time", seconds);
    out.writeStartElement("testsuite");
    out.writeAttribute("name", suiteName);
    out.writeAttribute("tests", QString::number(cases));
    out.writeAttribute("failures", QString::number(failures));
    out.writeAttribute("errors", errorCount);
    out.writeAttribute("skipped", unjudged ? "1" : "0");
    out.writeAttribute("time", seconds);
    if (report.startTime.isValid())
        out.writeAttribute("timestamp",
            QString::fromStdString(
                isoTime(report.startTime, TimeZoneForm::Utc, TimePrecision::Seconds)));
    if (!board.station.empty())
        out.writeAttribute("hostname", text(board.station));

    out.writeStartElement("properties");
    const auto property = [&out](const char *name, const QString &value) {
        if (value.isEmpty())
            return;
        out.writeStartElement("property");
        out.writeAttribute("name", QLatin1String(name));
        out.writeAttribute("value", value);
        out.writeEndElement();
    };
    property("serial", text(board.serial));
    property("lot", text(board.lot));
    property("part", text(board.part));
    property("operator", text(board.operatorName));
    property("station", text(board.station));
    property("program_version", QCoreApplication::applicationVersion());
    property("port", report.port);
    property("input_file", report.inputFile);
    property("test_kind", QLatin1String(testKindKey(report.result.kind)));
    property("frames", QString::number(report.frames));
    property("spooled", report.spooledTo); // kept for the database: not an error
    if (report.limitsFile) {
        property("limits_file", text(report.limitsFile->path));
        property("limits_sha256", text(report.limitsFile->sha256));
        property("limits_name", text(report.limitsFile->name));
        property("limits_revision", text(report.limitsFile->revision));
    }
    out.writeEndElement();

    for (const JUnitError &error : errors) {
        out.writeStartElement("testcase");
        out.writeAttribute("name", error.name);
        out.writeAttribute("classname", "adcapture");
        out.writeStartElement("error");
        out.writeAttribute("type", error.type);
        out.writeAttribute("message", error.message);
        out.writeEndElement();
        out.writeEndElement();
    }
    if (report.noData()) {
        out.writeStartElement("testcase");
        out.writeAttribute("name", "data");
        out.writeAttribute("classname", "adcapture");
        out.writeStartElement("failure");
        out.writeAttribute("type", "no_data");
        out.writeAttribute("message",
            report.stop ? QStringLiteral("nothing arrived: no complete frame")
                        : QStringLiteral("the histogram is empty"));
        out.writeEndElement();
        out.writeEndElement();
    }
    if (unjudged) {
        out.writeStartElement("testcase");
        out.writeAttribute("name", "verdict");
        out.writeAttribute("classname", "adcapture");
        out.writeEmptyElement("skipped");
        out.writeAttribute("message", "measured, no limits: no verdict");
        out.writeEndElement();
    }
    for (const LimitOutcome &outcome : report.limits) {
        out.writeStartElement("testcase");
        out.writeAttribute("name", text(outcome.name));
        out.writeAttribute("classname", "adcapture.limits");
        const QString limit = figure(outcome, outcome.limit);
        const QString value
            = outcome.value ? figure(outcome, *outcome.value) : QStringLiteral("not measured");
        QString detail = QStringLiteral("value %1, limit %2").arg(value, limit);
        if (outcome.uncertainty)
            detail += QStringLiteral(", uncertainty (99 %) %1")
                          .arg(figure(outcome, *outcome.uncertainty));
        if (outcome.guardBanded)
            detail += QStringLiteral(", guard-banded");
        if (!outcome.source.empty())
            detail += QStringLiteral(", from the %1").arg(text(outcome.source));
        if (!outcome.pass) {
            out.writeStartElement("failure");
            out.writeAttribute("type", "limit");
            out.writeAttribute("message", failureMessage(outcome, value, limit));
            out.writeCharacters(detail);
            out.writeEndElement();
        }
        out.writeTextElement("system-out", detail);
        out.writeEndElement();
    }
    out.writeEndElement();
    out.writeEndElement();
    out.writeEndDocument();
    return xml;
}

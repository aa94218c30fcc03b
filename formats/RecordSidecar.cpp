#include "RecordSidecar.h"

#include "IsoTime.h"
#include "JsonText.h"

#include <QFile>

#include <cmath>

namespace {

using nlohmann::json;

constexpr const char *rateKey = "sample_rate_hz";
constexpr const char *firstSampleKey = "first_sample_time";
constexpr const char *samplesKey = "samples";
constexpr const char *programKey = "program";

// A sidecar is a few hundred bytes; anything far larger is no sidecar.
constexpr qint64 largestSidecar = 64 * 1024;

RecordSidecarReading refused(const QString &name, const QString &why)
{
    RecordSidecarReading reading;
    reading.error = QStringLiteral("%1: not a sample record's sidecar: %2").arg(name, why);
    return reading;
}

} // namespace

QString recordSidecarPath(const QString &recordPath)
{
    return recordPath + QStringLiteral(".json");
}

QByteArray recordSidecarJson(const RecordSidecar &sidecar)
{
    nlohmann::ordered_json document;
    document[programKey] = sidecar.program.toStdString();
    document[samplesKey] = sidecar.samples;
    document[rateKey] = jsonOrNull(sidecar.sampleRate);
    document[firstSampleKey] = sidecar.firstSample.isValid()
        ? json(isoTime(sidecar.firstSample, TimeZoneForm::LocalOffset))
        : json();
    return QByteArray::fromStdString(jsonText(document, 4));
}

RecordSidecarReading parseRecordSidecar(const QByteArray &text, const QString &name)
{
    const json document
        = json::parse(text.constData(), text.constData() + text.size(), nullptr, false);
    if (document.is_discarded())
        return refused(name, QStringLiteral("it is not JSON"));
    if (!document.is_object())
        return refused(name, QStringLiteral("it is not a JSON object"));
    RecordSidecar sidecar;
    if (const auto rate = document.find(rateKey); rate != document.end() && !rate->is_null()) {
        if (!rate->is_number() || !std::isfinite(rate->get<double>()) || rate->get<double>() <= 0)
            return refused(name, QStringLiteral("%1 is not a positive number").arg(rateKey));
        sidecar.sampleRate = rate->get<double>();
    }
    if (const auto first = document.find(firstSampleKey);
        first != document.end() && !first->is_null()) {
        if (first->is_string())
            sidecar.firstSample = QDateTime::fromString(
                QString::fromStdString(first->get<std::string>()), Qt::ISODateWithMs);
        if (!sidecar.firstSample.isValid())
            return refused(name, QStringLiteral("%1 is not an ISO 8601 time").arg(firstSampleKey));
    }
    if (const auto samples = document.find(samplesKey); samples != document.end()) {
        if (!samples->is_number_unsigned())
            return refused(name, QStringLiteral("%1 is not a count").arg(samplesKey));
        sidecar.samples = samples->get<std::uint64_t>();
    }
    if (const auto program = document.find(programKey);
        program != document.end() && program->is_string())
        sidecar.program = QString::fromStdString(program->get<std::string>());
    RecordSidecarReading reading;
    reading.sidecar = sidecar;
    return reading;
}

RecordSidecarReading readRecordSidecar(const QString &recordPath)
{
    const QString path = recordSidecarPath(recordPath);
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return refused(path, file.errorString());
    const QByteArray text = file.read(largestSidecar + 1);
    if (text.size() > largestSidecar)
        return refused(path, QStringLiteral("it is larger than %1 bytes").arg(largestSidecar));
    return parseRecordSidecar(text, path);
}

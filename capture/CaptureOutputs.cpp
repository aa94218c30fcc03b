#include "CaptureOutputs.h"

#include "AtomicFile.h"
#include "CaptureOptions.h"
#include "CaptureReport.h"
#include "OutputFile.h"
#include "ProblemMessage.h"
#include "RawLog.h"
#include "RecordSidecar.h"

#include "HistogramCsv.h"
#include "RecordFileReader.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

struct CaptureOutputs::Files
{
    explicit Files(const CaptureOptions &options)
        : options(options)
    { }

    const CaptureOptions &options;
    OutputFile csv;
    OutputFile json;
    OutputFile samples;
    OutputFile junit;
    RawLog raw;
};

namespace {

bool isFile(const QString &path)
{
    return !path.isEmpty() && path != QLatin1String("-");
}

// A file written, with the SHA-256 of what it holds now, read back from the
// disk; standard output and a file that was not written are not listed.
void noteOutput(CaptureReport &report, const char *role, const QString &path)
{
    if (!isFile(path))
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return;
    report.outputs.push_back({role, QFileInfo(file).absoluteFilePath().toStdString(),
        hash.result().toHex().toStdString()});
}

} // namespace

CaptureOutputs::CaptureOutputs(const CaptureOptions &options)
    : m_files(std::make_unique<Files>(options))
{ }

CaptureOutputs::~CaptureOutputs() = default;

QString CaptureOutputs::open()
{
    Files &f = *m_files;
    if (!f.csv.open(f.options.csvPath))
        return f.csv.error();
    if (!f.json.open(f.options.jsonPath))
        return f.json.error();
    if (!f.samples.open(f.options.samplesPath))
        return f.samples.error();
    if (!f.junit.open(f.options.junitPath))
        return f.junit.error();
    if (!f.raw.open(f.options.rawPath))
        return f.raw.error();
    return {};
}

CaptureLine::RawSink CaptureOutputs::rawSink()
{
    if (!m_files->raw.isOpen())
        return {};
    return
        [&raw = m_files->raw](const char *bytes, std::size_t count) { raw.append(bytes, count); };
}

void CaptureOutputs::written(
    CaptureReport &report, const char *role, const QString &path, bool ok, const QString &error)
{
    if (ok) {
        noteOutput(report, role, path);
        return;
    }
    reportProblem(error);
    report.outputFailures << error;
    m_failures.push_back({QStringLiteral("output"), QLatin1String(role), error});
}

void CaptureOutputs::writeData(CaptureReport &report, std::span<const std::uint64_t> counts,
    std::span<const std::uint16_t> record, const RecordSidecar &sidecar)
{
    Files &f = *m_files;
    // A file's text is built only when it has a path: the sample record's
    // runs to some 14 bytes a sample, near a gigabyte at 2^26.
    if (f.csv.isOpen())
        written(report, "csv", f.options.csvPath,
            f.csv.write(QByteArray::fromStdString(histogramCsv(counts, &report.result))),
            f.csv.error());
    if (f.samples.isOpen()) {
        const bool recordWritten = f.samples.write(QByteArray::fromStdString(
            recordFileContents(QFile::encodeName(f.options.samplesPath).toStdString(), record)));
        written(report, "samples", f.options.samplesPath, recordWritten, f.samples.error());
        // Beside a record file only; a failure here is said, the record stands.
        QString reason;
        const QString sidecarPath = recordSidecarPath(f.options.samplesPath);
        if (isFile(f.options.samplesPath) && recordWritten
            && !writeFileAtomically(sidecarPath, recordSidecarJson(sidecar), &reason))
            written(report, "samples_sidecar", sidecarPath, false,
                QStringLiteral("cannot write %1: %2").arg(sidecarPath, reason));
    }
    written(report, "raw", f.options.rawPath, f.raw.finish(), f.raw.error());
}

void CaptureOutputs::writeJson(CaptureReport &report)
{
    written(report, "json", m_files->options.jsonPath, m_files->json.write(report.toJson()),
        m_files->json.error());
}

void CaptureOutputs::rewriteJson(CaptureReport &report)
{
    report.outputs.erase(std::remove_if(report.outputs.begin(), report.outputs.end(),
                             [](const RecordedOutput &o) { return o.role == "json"; }),
        report.outputs.end());
    if (isFile(m_files->options.jsonPath) && !m_files->json.write(report.toJson()))
        reportProblem(m_files->json.error());
}

void CaptureOutputs::writeJUnit(CaptureReport &report, std::vector<JUnitError> errors)
{
    errors.insert(errors.begin(), m_failures.begin(), m_failures.end());
    const bool ok = m_files->junit.write(junitReport(report, std::move(errors)));
    // Written last, so no other file lists it.
    written(report, "junit", m_files->options.junitPath, ok, m_files->junit.error());
    if (!ok)
        rewriteJson(report);
}

bool CaptureOutputs::toStandardOutput() const
{
    const CaptureOptions &o = m_files->options;
    return o.csvPath == QLatin1String("-") || o.jsonPath == QLatin1String("-")
        || o.samplesPath == QLatin1String("-") || o.junitPath == QLatin1String("-")
        || o.rawPath == QLatin1String("-");
}

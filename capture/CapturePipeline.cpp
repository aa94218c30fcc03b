#include "CapturePipeline.h"

#include "CaptureOutputs.h"
#include "CaptureSession.h"
#include "DynamicCaptureOptions.h"
#include "DynamicReport.h"
#include "OutputTarget.h"
#include "ProblemMessage.h"
#include "ResultDelivery.h"
#include "ResultRecord.h"
#include "SerialPortLine.h"
#include "VectorState.h"

#include "CodeDensityAnalysis.h"
#include "RecordFileReader.h"
#include "RecordSidecar.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int usageError = 2;

} // namespace

CapturePipeline::CapturePipeline(CaptureOptions options)
    : m_options(std::move(options))
{ }

CapturePipeline::~CapturePipeline() = default;

bool CapturePipeline::fail(const QString &message)
{
    reportProblem(message);
    return false;
}

int CapturePipeline::run(const LineOpener &openLine)
{
    const bool analyze = m_options.mode == CaptureOptions::Mode::Analyze;
    if (!chooseInputs() || !openOutputs() || !(analyze ? readInputFile() : capture(openLine)))
        return usageError;
    analyse();
    decide();
    writeFiles();
    storeRecord();
    writeJUnit();
    return finish();
}

bool CapturePipeline::chooseInputs()
{
    // No two outputs, and no output and the input, may lead to one file.
    const CaptureOptions &o = m_options;
    const auto local = [](const QString &path) { return path.toLocal8Bit().toStdString(); };
    const NamedPath paths[] = {{"--csv", local(o.csvPath)}, {"--json", local(o.jsonPath)},
        {"--samples", local(o.samplesPath)}, {"--raw", local(o.rawPath)},
        {"--junit", local(o.junitPath)}, {"--analyze", local(o.analyzePath)},
        {"--limits", o.limitsFile ? o.limitsFile->path : std::string()}};
    if (const std::string clash = outputClash(paths); !clash.empty())
        return fail(QString::fromLocal8Bit(clash.c_str()));
    // Where the result is kept: --db, else the user's own file when a board
    // is named. A URL that cannot be read stops before the capture.
    QString error;
    m_database = ResultDelivery::fromOptions(o, false, &error);
    return error.isEmpty() || fail(error);
}

// The database with the outputs: one that could never take the result stops
// the run before the board is tested; one unreachable now does not.
bool CapturePipeline::openOutputs()
{
    m_outputs = std::make_unique<CaptureOutputs>(m_options);
    QString error = m_outputs->open();
    if (error.isEmpty() && m_database)
        error = m_database->check();
    return error.isEmpty() || fail(error);
}

bool CapturePipeline::capture(const LineOpener &openLine)
{
    const std::unique_ptr<CaptureLine> line
        = openLine ? openLine() : openSerialPortLine(m_options.portPath);
    if (CaptureLine::RawSink sink = m_outputs->rawSink())
        line->setRawSink(std::move(sink));
    CaptureSession session(line->link(),
        {m_options.frames, m_options.seconds, m_options.kind, bool(::isatty(STDERR_FILENO)),
            m_options.recordLength});
    const std::optional<CaptureStop> stop = session.run();
    if (!stop)
        return fail(QString::fromStdString(session.portError()));
    const std::span<const std::uint64_t> captured = session.counts();
    m_counts.assign(captured.begin(), captured.end());
    m_record = session.record().inOrder();
    m_report.port = line->device();
    if (stop == CaptureStop::PortLost)
        reportProblem(QStringLiteral("%1 went away after %2 frames")
                          .arg(m_report.port)
                          .arg(session.frames()));
    m_report.stop = stop;
    m_report.startTime = session.startTime();
    m_report.endTime = session.endTime();
    m_report.frames = session.frames();
    if (session.elapsedSeconds() > 0)
        m_report.framesPerSecond = session.frames() / session.elapsedSeconds();
    if (m_report.framesPerSecond > 0)
        m_sampleRate = m_report.framesPerSecond;
    // The ring keeps the newest readings: when it overflowed, the first one
    // held came that many samples before the end.
    m_firstSample = m_report.startTime;
    const std::optional<double> rate = m_options.sampleRate ? m_options.sampleRate : m_sampleRate;
    if (rate && m_record.size() < std::uint64_t(std::max<std::int64_t>(session.frames(), 0)))
        m_firstSample = m_report.endTime.addMSecs(-qint64(m_record.size() * 1000.0 / *rate));
    // The reading leaves the vector registers in a state that would slow
    // the analysis to come to half its speed.
    clearUpperVectorState();
    return true;
}

bool CapturePipeline::readInputFile()
{
    RecordFileReading reading
        = readRecordFile(QFile::encodeName(m_options.analyzePath).toStdString(), m_options.bits);
    if (!reading.ok())
        return fail(QFile::decodeName(QByteArray::fromStdString(reading.error)));
    m_counts = std::move(reading.counts);
    m_record = std::move(reading.record);
    m_fromHistogram = reading.fromHistogram;
    m_report.inputFile = m_options.analyzePath;
    if (!m_fromHistogram && !readSidecar())
        return false;
    // A fundamental named in Hz may have waited for the sidecar's rate.
    if (const QString problem = namedFundamentalProblem(m_options);
        !m_fromHistogram && !problem.isEmpty())
        return fail(problem);
    m_report.startTime = m_report.endTime = QDateTime::currentDateTime();
    return true;
}

// A record's rate and first time, written beside it when it was saved: the
// rate gives the frequencies in Hz unless --sample-rate names one.
bool CapturePipeline::readSidecar()
{
    const RecordSidecarReading reading = readRecordSidecar(m_options.analyzePath);
    if (!reading.ok())
        return fail(reading.error);
    if (!reading.sidecar)
        return true;
    m_firstSample = reading.sidecar->firstSample;
    if (reading.sidecar->sampleRate && !m_options.sampleRate) {
        m_options.sampleRate = m_sampleRate = reading.sidecar->sampleRate;
        m_report.sampleRateNote = QStringLiteral("%1 Hz from %2")
                                      .arg(*m_sampleRate)
                                      .arg(recordSidecarPath(m_options.analyzePath));
    }
    return true;
}

void CapturePipeline::analyse()
{
    // The dynamic analysis's transform is planned on another thread while
    // the code density is analysed.
    const std::future<void> prepared
        = prepareCapturedAnalysis(m_record.size(), m_options, m_fromHistogram);
    // A ramp's linearity from the record's whole sweeps, where it holds every frame counted.
    m_report.result = analyseCodeDensity(
        m_counts, m_record, {m_options.kind, m_sampleRate, m_options.inlResolution});
    // After the capture, never inside the loop: 2^20 samples take some 0.1 s.
    m_report.dynamic = analyseCapturedRecord(m_record, m_options, m_fromHistogram);
}

void CapturePipeline::decide()
{
    m_report.limits = checkLimits(m_options.limits, {m_report.result, m_report.dynamic});
    for (LimitOutcome &outcome : m_report.limits)
        outcome.source = m_options.limitSource(outcome.name);
    m_report.identity = m_options.identity;
    m_report.limitsFile = m_options.limitsFile;
    m_report.limitOverrides = m_options.limitOverrides;
    if (m_options.mode == CaptureOptions::Mode::Analyze) // a saved histogram holds complete frames
        m_report.frames = static_cast<std::int64_t>(
            std::min<std::uint64_t>(m_report.result.samples, INT64_MAX));
    if (m_report.noData() && m_report.stop && !m_report.interrupted())
        reportProblem(
            QStringLiteral("nothing arrived from %1: no complete frame").arg(m_report.port));
}

void CapturePipeline::writeFiles()
{
    RecordSidecar sidecar;
    sidecar.program = QCoreApplication::applicationName();
    sidecar.samples = m_record.size();
    sidecar.sampleRate = m_options.sampleRate ? m_options.sampleRate : m_sampleRate;
    sidecar.firstSample = m_firstSample;
    m_outputs->writeData(m_report, m_counts, m_record, sidecar);
    m_report.recordSamples = m_record.size();
    m_outputs->writeJson(m_report);
}

// The database comes after the files, so that its record lists each with its
// SHA-256. A result the database cannot take goes to the spool: it is kept,
// so the board's verdict stands as the exit status. Only a result that can
// be neither stored nor spooled is lost: the exit status is then 2. Either
// way the files stand and the report is written again to say where it went.
void CapturePipeline::storeRecord()
{
    if (!m_database)
        return;
    const ResultDelivery::Outcome outcome = m_database->deliver(resultRecord(m_report));
    m_databaseError = outcome.error;
    if (!outcome.spooledTo.isEmpty()) {
        m_report.spooledTo = outcome.spooledTo;
        m_report.spoolReason = outcome.reason;
        reportProblem(QStringLiteral("spooled to %1: %2").arg(outcome.spooledTo, outcome.reason));
    } else if (!m_databaseError.isEmpty()) {
        reportProblem(m_databaseError);
        m_report.outputFailures << m_databaseError;
    } else {
        return;
    }
    m_outputs->rewriteJson(m_report);
}

void CapturePipeline::writeJUnit()
{
    std::vector<JUnitError> errors;
    if (!m_databaseError.isEmpty())
        errors.push_back({QStringLiteral("database"), QStringLiteral("database"), m_databaseError});
    m_outputs->writeJUnit(m_report, std::move(errors));
}

int CapturePipeline::finish()
{
    // With an output on standard output, the summary goes beside the
    // messages on standard error.
    FILE *const stream = m_outputs->toStandardOutput() ? stderr : stdout;
    const QByteArray summary = m_report.summary().toLocal8Bit();
    std::fputs(summary.constData(), stream);
    if (std::fflush(stream) != 0)
        return usageError;
    return m_report.exitStatus();
}

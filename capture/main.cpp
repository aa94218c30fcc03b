// adcapture: the acquisition loop of adtest without its window, for test
// stations and scripts: capture a number of frames or seconds, analyse the
// histogram, write it and a report, and pass or fail the board.

#include "CaptureOptions.h"
#include "CaptureReport.h"
#include "CaptureSession.h"

#include "CodeDensityAnalysis.h"
#include "CommandLineError.h"
#include "DynamicReport.h"
#include "EventDispatch.h"
#include "HistogramCsv.h"
#include "JUnitReport.h"
#include "OutputFile.h"
#include "PortChoice.h"
#include "QtSerialLink.h"
#include "RawLog.h"
#include "ResultRecord.h"
#include "ResultsDatabase.h"
#include "SampleRecordFile.h"
#include "SerialPortList.h"
#include "Version.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <unistd.h>

namespace {

constexpr int usageError = 2;

void reportProblem(const QString &message)
{
    const QByteArray text = message.toLocal8Bit();
    reportError({text.constData(), std::size_t(text.size())});
}

int fail(const QString &message)
{
    reportProblem(message);
    return usageError;
}

// A saved histogram of a `bits`-bit converter: one row per code, no more and
// no fewer, so that a file cut short (by a full disk, say) is not read as a
// converter of fewer bits.
bool readHistogramFile(
    const QString &path, int bits, std::vector<std::uint64_t> &counts, QString &error)
{
    std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
    if (!in) {
        error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    HistogramCsvReading reading = readHistogramCsv(in);
    if (!reading.ok()) {
        error = QStringLiteral("%1: %2").arg(path, QString::fromStdString(reading.error));
        return false;
    }
    const std::size_t codes = std::size_t(1) << bits;
    if (reading.counts.size() != codes) {
        error = QStringLiteral("%1: %2 rows, but a %3-bit converter has %4 codes (--bits N for "
                               "another resolution)")
                    .arg(path)
                    .arg(reading.counts.size())
                    .arg(bits)
                    .arg(codes);
        return false;
    }
    counts = std::move(reading.counts);
    return true;
}

// A saved sample record, whose histogram the code-density test reads.
bool readRecordFile(
    const QString &path, int bits, std::vector<std::uint16_t> &codes, QString &error)
{
    std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
    SampleRecordReading reading = readSampleRecord(in, bits);
    if (!reading.ok()) {
        error = QStringLiteral("%1: %2").arg(path, QString::fromStdString(reading.error));
        return false;
    }
    codes = std::move(reading.codes);
    return true;
}

bool isSampleRecordFile(const QString &path)
{
    std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
    return in && looksLikeSampleRecord(in);
}

QByteArray recordFileContents(const QString &path, std::span<const std::uint16_t> codes)
{
    return QByteArray::fromStdString(path.endsWith(QLatin1String(".npy"), Qt::CaseInsensitive)
            ? sampleRecordNpy(codes)
            : sampleRecordCsv(codes));
}

// A file written, with the SHA-256 of what it holds now, read back from the
// disk; standard output and a file that was not written are not listed.
void noteOutput(CaptureReport &report, const char *role, const QString &path)
{
    if (path.isEmpty() || path == QLatin1String("-"))
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

// Keeps one result in the results database; an error in one line.
QString storeResult(const DatabaseUrl &url, const TestRecord &record)
{
    if (url.backend == DatabaseUrl::Backend::Sqlite)
        QDir().mkpath(QFileInfo(url.path).absolutePath());
    ResultsDatabase database;
    if (QString error = database.open(url); !error.isEmpty())
        return error;
    return database.insert(record).error;
}

} // namespace

int main(int argc, char *argv[])
{
    setProgramName("adcapture");
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CaptureOptions options;
    if (const QString error = options.parse(arguments); !error.isEmpty())
        return fail(error + QStringLiteral(" (see adcapture --help)"));
    switch (options.mode) {
    case CaptureOptions::Mode::Help:
        std::cout << CaptureOptions::helpText().toStdString();
        return 0;
    case CaptureOptions::Mode::Version:
        std::cout << "adcapture " << adtestVersion << "\n";
        return 0;
    case CaptureOptions::Mode::ListPorts:
        return printPortListing(options.allPorts)
            ? 0
            : fail(QStringLiteral("cannot write the port list"));
    case CaptureOptions::Mode::Capture:
    case CaptureOptions::Mode::Analyze:
        break;
    }

    selectEventDispatcher();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("adcapture"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(adtestVersion));

    // No two outputs, and no output and the input, may lead to one file.
    const std::pair<const char *, QString> paths[]
        = {{"--csv", options.csvPath}, {"--json", options.jsonPath},
            {"--samples", options.samplesPath}, {"--raw", options.rawPath},
            {"--junit", options.junitPath}, {"--analyze", options.analyzePath},
            {"--limits",
                options.limitsFile ? QString::fromStdString(options.limitsFile->path) : QString()}};
    for (std::size_t i = 0; i < std::size(paths); ++i) {
        for (std::size_t j = i + 1; j < std::size(paths); ++j) {
            if (OutputFile::sameTarget(paths[i].second, paths[j].second))
                return fail(QStringLiteral("%1 and %2: %3 and %4 lead to one file")
                                .arg(QLatin1String(paths[i].first), QLatin1String(paths[j].first),
                                    paths[i].second, paths[j].second));
        }
    }
    if (std::count_if(std::begin(paths), std::end(paths),
            [](const auto &path) { return path.second == QLatin1String("-"); })
        > 1)
        return fail(QStringLiteral("only one output can go to standard output (-)"));
    // Where the result is kept: --db, else the user's own file when a board
    // is named. A URL that cannot be read stops before the capture.
    std::optional<DatabaseUrl> database;
    if (!options.noDatabase && (!options.databaseUrl.isEmpty() || options.namesBoard())) {
        QString error;
        database = parseDatabaseUrl(options.databaseUrl.isEmpty()
                ? QStringLiteral("sqlite:") + defaultResultsDatabasePath()
                : options.databaseUrl,
            &error);
        if (!database)
            return fail(QStringLiteral("--db: %1").arg(error));
    }
    OutputFile csvFile;
    OutputFile jsonFile;
    OutputFile samplesFile;
    OutputFile junitFile;
    RawLog rawLog;
    if (!csvFile.open(options.csvPath))
        return fail(csvFile.error());
    if (!jsonFile.open(options.jsonPath))
        return fail(jsonFile.error());
    if (!samplesFile.open(options.samplesPath))
        return fail(samplesFile.error());
    if (!junitFile.open(options.junitPath))
        return fail(junitFile.error());
    if (!rawLog.open(options.rawPath))
        return fail(rawLog.error());

    CaptureReport report;
    std::vector<std::uint64_t> counts;
    std::vector<std::uint16_t> record;
    CodeDensityOptions analysisOptions {options.kind, {}, options.inlResolution};
    bool fromHistogram = false; // no record: no dynamic figures
    if (options.mode == CaptureOptions::Mode::Analyze) {
        QString error;
        fromHistogram = !isSampleRecordFile(options.analyzePath);
        if (!fromHistogram) {
            if (!readRecordFile(options.analyzePath, options.bits, record, error))
                return fail(error);
            counts.assign(std::size_t(1) << options.bits, 0);
            for (const std::uint16_t code : record)
                ++counts[code];
        } else if (!readHistogramFile(options.analyzePath, options.bits, counts, error)) {
            return fail(error);
        }
        report.inputFile = options.analyzePath;
        report.startTime = report.endTime = QDateTime::currentDateTime();
    } else {
        QtSerialLink link(choosePort1Device(options.portPath));
        if (rawLog.isOpen())
            link.setRawSink(
                [&rawLog](const char *bytes, std::size_t count) { rawLog.append(bytes, count); });
        CaptureSession session(link,
            {options.frames, options.seconds, options.kind, bool(::isatty(STDERR_FILENO)),
                options.recordLength});
        const std::optional<CaptureStop> stop = session.run();
        if (!stop)
            return fail(QString::fromStdString(session.portError()));
        const std::span<const std::uint64_t> captured = session.counts();
        counts.assign(captured.begin(), captured.end());
        record = session.record().inOrder();
        report.port = link.port1Device();
        if (stop == CaptureStop::PortLost)
            reportProblem(QStringLiteral("%1 went away after %2 frames")
                              .arg(report.port)
                              .arg(session.frames()));
        report.stop = stop;
        report.startTime = session.startTime();
        report.endTime = session.endTime();
        report.frames = session.frames();
        if (session.elapsedSeconds() > 0)
            report.framesPerSecond = session.frames() / session.elapsedSeconds();
        if (report.framesPerSecond > 0)
            analysisOptions.sampleRate = report.framesPerSecond;
    }
    report.result = analyseCodeDensity(counts, analysisOptions);
    // After the capture, never inside the loop: 2^20 samples take some 0.1 s.
    report.dynamic = analyseCapturedRecord(record, options, fromHistogram);
    report.limits = checkLimits(options.limits, {report.result, report.dynamic});
    for (LimitOutcome &outcome : report.limits)
        outcome.source = options.limitSource(outcome.name);
    report.identity = options.identity;
    report.limitsFile = options.limitsFile;
    report.limitOverrides = options.limitOverrides;
    if (options.mode == CaptureOptions::Mode::Analyze) // a saved histogram holds complete frames
        report.frames
            = static_cast<std::int64_t>(std::min<std::uint64_t>(report.result.samples, INT64_MAX));

    if (report.noData() && report.stop && !report.interrupted())
        reportProblem(
            QStringLiteral("nothing arrived from %1: no complete frame").arg(report.port));
    // Each output is whole or not written at all; what failed goes into the
    // outputs written after it and into the summary, and the exit status
    // says so.
    // Each output that was written goes into the report with its SHA-256.
    const auto written
        = [&report](const char *role, const QString &path, bool ok, const QString &error) {
              if (ok) {
                  noteOutput(report, role, path);
              } else {
                  reportProblem(error);
                  report.outputFailures << error;
              }
          };
    written("csv", options.csvPath,
        csvFile.write(QByteArray::fromStdString(histogramCsv(counts, &report.result))),
        csvFile.error());
    written("samples", options.samplesPath,
        samplesFile.write(recordFileContents(options.samplesPath, record)), samplesFile.error());
    written("raw", options.rawPath, rawLog.finish(), rawLog.error());
    report.recordSamples = record.size();
    written("junit", options.junitPath, junitFile.write(junitReport(report)), junitFile.error());
    written("json", options.jsonPath, jsonFile.write(report.toJson()), jsonFile.error());
    // The database comes last, so that its record lists every file with its
    // SHA-256. When it cannot be written the files stand; the report is
    // written again to say so, and the exit status is 2.
    if (database) {
        if (const QString error = storeResult(*database, resultRecord(report)); !error.isEmpty()) {
            reportProblem(error);
            report.outputFailures << error;
            report.outputs.erase(std::remove_if(report.outputs.begin(), report.outputs.end(),
                                     [](const RecordedOutput &o) { return o.role == "json"; }),
                report.outputs.end());
            if (!options.jsonPath.isEmpty() && options.jsonPath != QLatin1String("-")
                && !jsonFile.write(report.toJson()))
                reportProblem(jsonFile.error());
        }
    }
    // With an output on standard output, the summary goes beside the
    // messages on standard error.
    const bool outputOnStdout = options.csvPath == QLatin1String("-")
        || options.jsonPath == QLatin1String("-") || options.samplesPath == QLatin1String("-")
        || options.junitPath == QLatin1String("-") || options.rawPath == QLatin1String("-");
    const QByteArray summary = report.summary().toLocal8Bit();
    std::fputs(summary.constData(), outputOnStdout ? stderr : stdout);
    if (std::fflush(outputOnStdout ? stderr : stdout) != 0)
        return usageError;
    return report.exitStatus();
}

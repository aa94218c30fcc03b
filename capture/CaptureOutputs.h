#pragma once

#include "CaptureLine.h"
#include "JUnitReport.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct CaptureOptions;
struct CaptureReport;
struct RecordSidecar;

// adcapture's five outputs: the histogram (--csv), the report (--json), the
// sample record (--samples), the line's bytes (--raw) and the JUnit file
// (--junit). All are opened before the capture, so that a path that cannot be
// written shows at once rather than after a long run. Each is written whole
// or not at all; one that was written goes into the report with its SHA-256,
// one that was not into its failures and a message.
class CaptureOutputs
{
public:
    explicit CaptureOutputs(const CaptureOptions &options);
    ~CaptureOutputs();
    CaptureOutputs(const CaptureOutputs &) = delete;
    CaptureOutputs &operator=(const CaptureOutputs &) = delete;

    // Empty, or why one of them cannot be written.
    QString open();
    // Where the line's bytes go as they arrive; empty without --raw.
    CaptureLine::RawSink rawSink();

    // The histogram, the sample record (with `sidecar` beside a record
    // file) and the line's bytes.
    void writeData(CaptureReport &report, std::span<const std::uint64_t> counts,
        std::span<const std::uint16_t> record, const RecordSidecar &sidecar);
    void writeJson(CaptureReport &report);
    // The report written again after something it told changed: it cannot
    // list its own SHA-256, and a failure here is a message only.
    void rewriteJson(CaptureReport &report);
    // `errors` and every output that failed before are error cases of their
    // own. The report is written again when this file fails, so that it
    // tells the exit status.
    void writeJUnit(CaptureReport &report, std::vector<JUnitError> errors);

    // One of them goes to standard output: the summary goes to standard error.
    bool toStandardOutput() const;

private:
    void written(CaptureReport &report, const char *role, const QString &path, bool ok,
        const QString &error);

    struct Files;
    std::unique_ptr<Files> m_files;
    std::vector<JUnitError> m_failures;
};

#pragma once

#include "CaptureLine.h"
#include "CaptureOptions.h"
#include "CaptureReport.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CaptureOutputs;
class ResultDelivery;

// adcapture from the parsed command line to the exit status: choose the
// inputs, open the outputs, capture from the serial line or read a saved
// file, analyse, hold the figures to the limits, write the files, keep the
// result in the results database, and write the JUnit file last, so that it
// tells every failure the exit status tells. The report goes out before the
// database, which lists it with its SHA-256, and again when the database
// cannot take the result, to say where it went instead. The database is
// checked with the outputs, before the capture.
class CapturePipeline
{
public:
    using LineOpener = std::function<std::unique_ptr<CaptureLine>()>;

    explicit CapturePipeline(CaptureOptions options);
    ~CapturePipeline();
    CapturePipeline(const CapturePipeline &) = delete;
    CapturePipeline &operator=(const CapturePipeline &) = delete;

    // Every step in order; returns the exit status. Without `openLine` a
    // capture reads the serial port the options name.
    int run(const LineOpener &openLine = {});

    // The steps, in the order run() takes them. A step that returns false
    // has said why on standard error; the run ends there with status 2.
    bool chooseInputs();
    bool openOutputs();
    bool capture(const LineOpener &openLine);
    bool readInputFile();
    bool readSidecar();
    void analyse();
    void decide();
    void writeFiles();
    void storeRecord();
    void writeJUnit();
    // Prints the summary; returns the exit status.
    int finish();

    const CaptureReport &report() const { return m_report; }

private:
    bool fail(const QString &message);

    CaptureOptions m_options;
    std::unique_ptr<ResultDelivery> m_database; // empty: no result is kept
    std::unique_ptr<CaptureOutputs> m_outputs;
    CaptureReport m_report;
    std::vector<std::uint64_t> m_counts;
    std::vector<std::uint16_t> m_record;
    bool m_fromHistogram = false; // no record: no dynamic figures
    std::optional<double> m_sampleRate; // the frames' rate, for the analysis
    QDateTime m_firstSample; // when the record's first sample came; invalid if unknown
    QString m_databaseError;
};

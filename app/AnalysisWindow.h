#pragma once

#include "CodeDensityResult.h"
#include "DynamicAnalysisRunner.h"
#include "DynamicResult.h"
#include "ReferenceRecord.h"

#include <QWidget>

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

class CodeCurvePlot;
class FrequencyPlot;
class HistogramPage;
class LimitVerdictPanel;
class QTabWidget;
class SampleRateField;
class SampleRecord;
class SamplesPage;
class SampleTimePlot;
class SpectrumPage;

// The analysis of the measurement, in three tabs. Histogram: the code-density
// figures and the DNL and INL against code. Spectrum: the dynamic figures of
// the recent samples and their spectrum. Samples: the recent readings against
// time. It is fed once a second and never changes the measurement. A
// reference board's saved result may be compared with the live one: its
// curves and spectrum drawn under the live ones, its figures beside them.
class AnalysisWindow : public QWidget
{
    Q_OBJECT

public:
    // The spectrum is taken of at most this many of the newest samples, the
    // largest power of two the record holds: the GUI thread copies them on
    // each refresh (128 KB, tens of microseconds beside START's loop), the
    // FFT of a power of two is the fastest, and 32768 bins are finer than any
    // plot width while the analysis stays in milliseconds. At the line's 192
    // frames a second they span almost six minutes; a longer record would
    // mostly show the past.
    static constexpr std::size_t maxAnalysedSamples = std::size_t(1) << 16;

    // Without an analyser, analyseDynamic.
    explicit AnalysisWindow(
        QWidget *parent = nullptr, DynamicAnalysisRunner::Analyser analyser = {});

    // New counts (one per code). Unless the operator entered a sample rate,
    // it is taken from how much the total grew over the last half minute.
    void refresh(std::span<const std::uint64_t> counts, bool histogramSaturated);

    // The kind the operator chose; empty for automatic detection.
    std::optional<TestKind> chosenKind() const;
    // The histogram's analysis last shown; histogramAnalysing() while the
    // next one runs.
    const CodeDensityResult &result() const;
    bool histogramAnalysing() const;
    const CodeCurvePlot &dnlPlot() const;

    // New samples: the time view shows the newest, and their dynamic analysis
    // starts on a worker thread unless the previous one still runs (the next
    // refresh then takes it up). An unchanged record starts nothing.
    void refreshSamples(const SampleRecord &record);
    // The last analysis that ended; ok is false before the first.
    const DynamicResult &dynamicResult() const { return m_dynamicResult; }
    bool dynamicAnalysisRunning() const { return m_runner.busy(); }
    const FrequencyPlot &spectrumPlot() const;
    const SampleTimePlot &timePlot() const;
    LimitVerdictPanel &verdictPanel() { return *m_verdict; }
    SampleRateField &sampleRateField() { return *m_rate; }

    // Compares with `reference` (of the live converter's resolution) until
    // cleared or replaced: its record, if any, is analysed at once with the
    // options the live one has, at its own rate.
    void setReference(ReferenceRecord reference);
    void clearReference();
    const std::optional<ReferenceRecord> &reference() const { return m_reference; }
    // The reference's dynamic analysis; empty without a record to analyse.
    const std::optional<DynamicResult> &referenceDynamicResult() const
    {
        return m_referenceDynamic;
    }
    // The live converter's resolution in bits, as the histogram counts it.
    int bits() const;

signals:
    // A dynamic analysis ended and its result is shown.
    void dynamicResultShown();

private:
    void showDynamicResult(const DynamicResult &result);
    void showNoSpectrum(const QString &message);
    void applyLimits();
    void showVerdict();
    void showSpectrumComparison();
    DynamicOptions dynamicOptions(std::optional<double> sampleRate) const;

    LimitVerdictPanel *m_verdict = nullptr;
    QTabWidget *m_tabs = nullptr;
    HistogramPage *m_histogramPage = nullptr;
    SpectrumPage *m_spectrumPage = nullptr;
    SamplesPage *m_samplesPage = nullptr;

    SampleRateField *m_rate = nullptr;

    DynamicAnalysisRunner::Analyser m_analyser;
    DynamicAnalysisRunner m_runner;
    std::optional<ReferenceRecord> m_reference;
    std::optional<DynamicResult> m_referenceDynamic;
    DynamicResult m_dynamicResult;
    // The record as last seen and as last analysed, by its size and the
    // readings appended to it: an unchanged record is not copied again.
    std::optional<std::pair<std::size_t, std::uint64_t>> m_recordSeen;
    std::optional<std::pair<std::size_t, std::uint64_t>> m_recordAnalysed;
    // The record was emptied while an analysis ran: its result is stale.
    bool m_discardRunning = false;
};

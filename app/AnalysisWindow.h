#pragma once

#include "CodeDensityResult.h"
#include "DynamicAnalysisRunner.h"
#include "DynamicResult.h"

#include <QElapsedTimer>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

class CodeCurvePlot;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;
class QTabWidget;
class SampleRecord;
class SampleTimePlot;
class FrequencyPlot;

// The analysis of the measurement, in three tabs. Histogram: the code-density
// figures for the chosen test kind (detected from the histogram unless the
// operator picks one) and the DNL and INL against code, over a code window
// the operator can narrow. Spectrum: the dynamic figures of the recent
// samples and their spectrum, over a band the operator can narrow. Samples:
// the recent readings against time. It is fed once a second and never
// changes the measurement.
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

    // New counts (one per code). The sample rate is taken from how much the
    // total grew since the previous refresh.
    void refresh(std::span<const std::uint64_t> counts, bool histogramSaturated);

    // The kind the operator chose; empty for automatic detection.
    std::optional<TestKind> chosenKind() const;
    const CodeDensityResult &result() const { return m_result; }
    const CodeCurvePlot &dnlPlot() const { return *m_dnlPlot; }

    // New samples: the time view shows the newest, and their dynamic analysis
    // starts on a worker thread unless the previous one still runs (the next
    // refresh then takes it up). An unchanged record starts nothing.
    void refreshSamples(const SampleRecord &record);
    // The last analysis that ended; ok is false before the first.
    const DynamicResult &dynamicResult() const { return m_dynamicResult; }
    bool dynamicAnalysisRunning() const { return m_runner.busy(); }
    const FrequencyPlot &spectrumPlot() const { return *m_spectrumPlot; }
    const SampleTimePlot &timePlot() const { return *m_timePlot; }

signals:
    // A dynamic analysis ended and its result is shown.
    void dynamicResultShown();

private:
    void analyse();
    void showFigures();
    void applyCodeWindow();
    QWidget *makeHistogramPage();
    QWidget *makeSpectrumPage();
    QWidget *makeSamplesPage();
    void showDynamicResult(const DynamicResult &result);
    void showNoSpectrum(const QString &message);

    QComboBox *m_kindChoice = nullptr;
    QLabel *m_saturation = nullptr;
    QLabel *m_figures = nullptr;
    QSpinBox *m_fromCode = nullptr;
    QSpinBox *m_toCode = nullptr;
    CodeCurvePlot *m_dnlPlot = nullptr;
    CodeCurvePlot *m_inlPlot = nullptr;
    QWidget *m_linearityPart = nullptr; // the code window and the plots
    QTabWidget *m_tabs = nullptr;
    QDoubleSpinBox *m_fromFrequency = nullptr;
    QDoubleSpinBox *m_toFrequency = nullptr;
    FrequencyPlot *m_spectrumPlot = nullptr;
    QLabel *m_spectrumFigures = nullptr;
    QSpinBox *m_shownSamples = nullptr;
    SampleTimePlot *m_timePlot = nullptr;

    std::vector<std::uint64_t> m_counts;
    CodeDensityResult m_result;
    QElapsedTimer m_sinceRefresh;
    std::uint64_t m_samplesAtRefresh = 0;
    std::optional<double> m_sampleRate;

    DynamicAnalysisRunner m_runner;
    DynamicResult m_dynamicResult;
    // The record as last seen and as last analysed, by its size and the
    // readings appended to it: an unchanged record is not copied again.
    std::optional<std::pair<std::size_t, std::uint64_t>> m_recordSeen;
    std::optional<std::pair<std::size_t, std::uint64_t>> m_recordAnalysed;
    // The record was emptied while an analysis ran: its result is stale.
    bool m_discardRunning = false;
};

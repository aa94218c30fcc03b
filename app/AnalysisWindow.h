#pragma once

#include "CodeDensityResult.h"

#include <QElapsedTimer>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class CodeCurvePlot;
class QComboBox;
class QLabel;
class QSpinBox;

// The code-density analysis of the measurement: the figures for the chosen
// test kind (detected from the histogram unless the operator picks one) and
// the DNL and INL against code, over a code window the operator can narrow.
// It is fed once a second and never changes the measurement.
class AnalysisWindow : public QWidget
{
    Q_OBJECT

public:
    explicit AnalysisWindow(QWidget *parent = nullptr);

    // New counts (one per code). The sample rate is taken from how much the
    // total grew since the previous refresh.
    void refresh(std::span<const std::uint64_t> counts, bool histogramSaturated);

    // The kind the operator chose; empty for automatic detection.
    std::optional<TestKind> chosenKind() const;
    const CodeDensityResult &result() const { return m_result; }
    const CodeCurvePlot &dnlPlot() const { return *m_dnlPlot; }

private:
    void analyse();
    void showFigures();
    void applyCodeWindow();

    QComboBox *m_kindChoice = nullptr;
    QLabel *m_saturation = nullptr;
    QLabel *m_figures = nullptr;
    QSpinBox *m_fromCode = nullptr;
    QSpinBox *m_toCode = nullptr;
    CodeCurvePlot *m_dnlPlot = nullptr;
    CodeCurvePlot *m_inlPlot = nullptr;
    QWidget *m_linearityPart = nullptr; // the code window and the plots

    std::vector<std::uint64_t> m_counts;
    CodeDensityResult m_result;
    QElapsedTimer m_sinceRefresh;
    std::uint64_t m_samplesAtRefresh = 0;
    std::optional<double> m_sampleRate;
};

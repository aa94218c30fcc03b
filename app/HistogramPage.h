#pragma once

#include "CodeDensityAnalysis.h"
#include "CodeDensityResult.h"
#include "HistogramAnalysis.h"
#include "LatestInputRunner.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class CodeCurvePlot;
class NoiseHistogramPlot;
class QComboBox;
class QLabel;
class QSpinBox;

// The analysis window's histogram tab: the code-density figures for the
// chosen test kind (detected from the histogram unless the operator picks
// one) and the DNL and INL against code, over a code window the operator can
// narrow. A reference board's histogram may be analysed beside the live
// one: its curves drawn under the live ones, its figures beside them. The
// analysis runs on a worker thread: cutting a long record into its sweeps
// would stall the GUI thread at every refresh.
class HistogramPage : public QWidget
{
    Q_OBJECT

public:
    explicit HistogramPage(QWidget *parent = nullptr);

    // New counts (one per code), analysed on a worker; the rate, when known,
    // says how long more samples take. Each change is analysed afresh, a
    // change while an analysis runs once that ends.
    void showCounts(std::span<const std::uint64_t> counts, bool histogramSaturated,
        std::optional<double> sampleRate);

    // The samples the counts came from, oldest first: a ramp's DNL and INL
    // then come from their whole sweeps. A record that is not exactly the
    // counts' samples is not used; an empty one drops the last.
    void showRecord(std::vector<std::uint16_t> record);

    // Another rate, for how long more samples take.
    void setSampleRate(std::optional<double> sampleRate);
    // The limits drawn on the DNL and INL plots; empty: none.
    void setCurveLimits(std::optional<double> dnl, std::optional<double> inl);

    // A reference board's counts, analysed as the live ones are (the kind
    // the live histogram has or is given) until cleared.
    void setReference(std::vector<std::uint64_t> counts, const QString &name);
    void clearReference();
    // The reference's analysis; empty without a reference.
    const std::optional<CodeDensityResult> &referenceResult() const { return m_referenceResult; }

    // The kind the operator chose; empty for automatic detection.
    std::optional<TestKind> chosenKind() const;
    // The converter's resolution the counts give: 2^bits codes.
    int bits() const;
    // The analysis last shown.
    const CodeDensityResult &result() const { return m_result; }
    // An analysis is running or waits to.
    bool analysing() const { return m_analysis.busy(); }
    const CodeCurvePlot &dnlPlot() const { return *m_dnlPlot; }

signals:
    // The result was analysed afresh and is shown.
    void analysed();

private:
    void analyse();
    void showAnalysis(const HistogramAnalysis &analysis);
    void showReference();
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
    QWidget *m_noisePart = nullptr; // a DC test's histogram and how its figures come about
    NoiseHistogramPlot *m_noisePlot = nullptr;
    QLabel *m_resolutionNotes = nullptr;

    std::vector<std::uint64_t> m_counts;
    std::shared_ptr<const std::vector<std::uint16_t>> m_record; // null: none
    std::optional<double> m_sampleRate;
    std::optional<double> m_dnlLimit;
    std::optional<double> m_inlLimit;
    CodeDensityResult m_result;
    std::vector<std::uint64_t> m_referenceCounts;
    QString m_referenceName; // empty: no reference
    std::optional<CodeDensityResult> m_referenceResult;
    QString m_shownReferenceName; // of m_referenceResult
    LatestInputRunner<HistogramInput, HistogramAnalysis> m_analysis;
};

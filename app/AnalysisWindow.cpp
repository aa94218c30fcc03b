#include "AnalysisWindow.h"

#include "DynamicAnalysis.h"
#include "FigureKeys.h"
#include "FigureTable.h"
#include "HistogramPage.h"
#include "LimitVerdictPanel.h"
#include "SampleRateField.h"
#include "SampleRecord.h"
#include "SamplesPage.h"
#include "SpectrumPage.h"

#include <QTabWidget>
#include <QVBoxLayout>

#include <bit>
#include <memory>

AnalysisWindow::AnalysisWindow(QWidget *parent, DynamicAnalysisRunner::Analyser analyser)
    : QWidget(parent, Qt::Window)
    , m_analyser(analyser ? analyser : DynamicAnalysisRunner::Analyser(analyseDynamic))
    , m_runner(m_analyser)
{
    setObjectName(QStringLiteral("AnalysisWindow"));
    setWindowTitle(QStringLiteral("Analysis"));

    m_histogramPage = new HistogramPage;
    m_spectrumPage = new SpectrumPage;
    m_samplesPage = new SamplesPage(static_cast<int>(maxAnalysedSamples));
    m_tabs = new QTabWidget;
    m_tabs->addTab(m_histogramPage, QStringLiteral("Histogram"));
    m_tabs->addTab(m_spectrumPage, QStringLiteral("Spectrum"));
    m_tabs->addTab(m_samplesPage, QStringLiteral("Samples"));
    m_verdict = new LimitVerdictPanel;
    m_rate = new SampleRateField;
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_verdict);
    layout->addWidget(m_rate);
    layout->addWidget(m_tabs, 1);
    resize(780, 760);

    connect(m_histogramPage, &HistogramPage::analysed, this, &AnalysisWindow::showVerdict);
    connect(m_verdict, &LimitVerdictPanel::limitsChanged, this, &AnalysisWindow::applyLimits);
    connect(m_rate, &SampleRateField::rateChanged, this, [this] {
        m_histogramPage->setSampleRate(m_rate->rate());
        m_samplesPage->setSampleRate(m_rate->rate());
        m_recordAnalysed.reset(); // the next refresh gives the spectrum the new hertz
    });

    connect(&m_runner, &DynamicAnalysisRunner::finished, this, [this](const DynamicResult &result) {
        if (m_discardRunning)
            m_discardRunning = false;
        else
            showDynamicResult(result);
    });
    showNoSpectrum(QStringLiteral("No sine: no samples yet (press START)"));
    applyLimits();
}

std::optional<TestKind> AnalysisWindow::chosenKind() const
{
    return m_histogramPage->chosenKind();
}

const CodeDensityResult &AnalysisWindow::result() const
{
    return m_histogramPage->result();
}

bool AnalysisWindow::histogramAnalysing() const
{
    return m_histogramPage->analysing();
}

const CodeCurvePlot &AnalysisWindow::dnlPlot() const
{
    return m_histogramPage->dnlPlot();
}

const FrequencyPlot &AnalysisWindow::spectrumPlot() const
{
    return m_spectrumPage->plot();
}

const SampleTimePlot &AnalysisWindow::timePlot() const
{
    return m_samplesPage->plot();
}

void AnalysisWindow::refresh(std::span<const std::uint64_t> counts, bool histogramSaturated)
{
    std::uint64_t samples = 0;
    for (std::uint64_t count : counts)
        samples += count;
    m_rate->addTotal(samples);
    m_histogramPage->showCounts(counts, histogramSaturated, m_rate->rate());
}

void AnalysisWindow::refreshSamples(const SampleRecord &record)
{
    const std::pair<std::size_t, std::uint64_t> seen {record.size(), record.appended()};
    const bool changed = m_recordSeen != seen;
    if (!changed && (m_recordAnalysed == seen || record.size() == 0))
        return;
    m_recordSeen = seen;
    // While the record holds every reading since it began, a ramp's
    // linearity comes from its whole sweeps.
    if (changed)
        m_histogramPage->showRecord(
            record.size() == record.appended() ? record.inOrder() : std::vector<std::uint16_t>());
    if (record.size() == 0) {
        m_samplesPage->setSamples({});
        m_discardRunning = m_runner.busy();
        m_recordAnalysed.reset();
        showNoSpectrum(QStringLiteral("No sine: no samples yet (press START)"));
        return;
    }
    auto codes
        = std::make_shared<const std::vector<std::uint16_t>>(record.latest(maxAnalysedSamples));
    m_samplesPage->setSampleRate(m_rate->rate());
    if (changed)
        m_samplesPage->setSamples(*codes);
    const DynamicOptions options = dynamicOptions(m_rate->rate());
    // A refresh while the previous analysis runs is dropped; a later one
    // takes up the record, changed or not.
    if (m_runner.start(codes, std::bit_floor(codes->size()), options)) {
        m_recordAnalysed = seen;
        m_discardRunning = false;
    }
}

int AnalysisWindow::bits() const
{
    // From the counts given, not the analysis of them, which may still run.
    const int counted = m_histogramPage->bits();
    return counted > 0 ? counted : DynamicOptions().bits;
}

DynamicOptions AnalysisWindow::dynamicOptions(std::optional<double> sampleRate) const
{
    DynamicOptions options;
    // The converter's resolution is what the histogram counts: full scale
    // for dBFS and ENOB.
    options.bits = bits();
    options.sampleRate = sampleRate;
    return options;
}

void AnalysisWindow::setReference(ReferenceRecord reference)
{
    m_referenceDynamic.reset();
    if (!reference.record.empty()) {
        // As much of the record as the live analysis takes, its newest.
        const std::size_t taken
            = std::bit_floor(std::min(reference.record.size(), maxAnalysedSamples));
        m_referenceDynamic = m_analyser(
            std::span(reference.record).last(taken), dynamicOptions(reference.sampleRate));
    }
    m_reference = std::move(reference);
    m_spectrumPage->setReference(
        m_referenceDynamic ? &*m_referenceDynamic : nullptr, m_reference->name);
    // Analyses both afresh and so shows the verdict and the comparison.
    m_histogramPage->setReference(m_reference->counts, m_reference->name);
}

void AnalysisWindow::clearReference()
{
    m_reference.reset();
    m_referenceDynamic.reset();
    m_spectrumPage->setReference(nullptr, {});
    m_histogramPage->clearReference();
}

void AnalysisWindow::showDynamicResult(const DynamicResult &result)
{
    m_dynamicResult = result;
    m_spectrumPage->showResult(result);
    showVerdict();
    emit dynamicResultShown();
}

void AnalysisWindow::showNoSpectrum(const QString &message)
{
    m_dynamicResult = DynamicResult();
    m_spectrumPage->showNothing(message);
    showVerdict();
}

void AnalysisWindow::applyLimits()
{
    // The DNL and INL plots draw the limits that hold their worst values.
    std::optional<double> dnl, inl;
    if (const auto &file = m_verdict->limitsFile()) {
        for (const LimitDefinition &limit : limitCatalog()) {
            if (limit.figureKey == FigureKey::dnlWorstLsb)
                dnl = file->limits.value(limit);
            else if (limit.figureKey == FigureKey::inlEndPointWorstLsb)
                inl = file->limits.value(limit);
        }
    }
    m_histogramPage->setCurveLimits(dnl, inl); // analyses afresh, and so shows the verdict
}

void AnalysisWindow::showVerdict()
{
    m_verdict->showVerdict(result(), m_dynamicResult);
    showSpectrumComparison();
}

void AnalysisWindow::showSpectrumComparison()
{
    // A histogram alone has no spectrum to compare with.
    const std::optional<CodeDensityResult> &referenceHistogram = m_histogramPage->referenceResult();
    if (!m_reference || !m_referenceDynamic || !referenceHistogram) {
        m_spectrumPage->setComparison(std::nullopt);
        return;
    }
    const std::vector<ComparedFigure> compared
        = compareFigures({result(), m_dynamicResult}, {*referenceHistogram, *m_referenceDynamic},
            {FigureSource::Dynamic, FigureSource::Spectrum});
    m_spectrumPage->setComparison(
        figureComparisonTable(compared, m_reference->name, dynamicFigureRows(m_dynamicResult)));
}

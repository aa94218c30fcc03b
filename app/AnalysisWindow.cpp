#include "AnalysisWindow.h"

#include "FigureKeys.h"
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
    , m_runner(std::move(analyser))
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
    if (changed)
        m_samplesPage->setSamples(*codes);
    DynamicOptions options;
    // The converter's resolution is what the histogram counts: full scale
    // for dBFS and ENOB.
    if (result().bits > 0)
        options.bits = result().bits;
    options.sampleRate = m_rate->rate();
    // A refresh while the previous analysis runs is dropped; a later one
    // takes up the record, changed or not.
    if (m_runner.start(codes, std::bit_floor(codes->size()), options)) {
        m_recordAnalysed = seen;
        m_discardRunning = false;
    }
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
}

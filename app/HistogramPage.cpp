#include "HistogramPage.h"

#include "CodeCurvePlot.h"
#include "FigureTable.h"
#include "NoiseHistogramPlot.h"
#include "ResolutionNotes.h"
#include "SpanRow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QSplitter>
#include <QVBoxLayout>

#include <bit>

HistogramPage::HistogramPage(QWidget *parent)
    : QWidget(parent)
    , m_analysis(analyseHistogram, [this](const HistogramAnalysis &a) { showAnalysis(a); })
{
    m_kindChoice = new QComboBox;
    m_kindChoice->addItem(QStringLiteral("Automatic"));
    for (TestKind kind : {TestKind::Dc, TestKind::Ramp, TestKind::Sine})
        m_kindChoice->addItem(QString::fromLatin1(testKindName(kind)), static_cast<int>(kind));
    m_saturation = new QLabel(QStringLiteral("A bin of the window's histogram has saturated at "
                                             "32767; the analysis uses the full counts."));
    m_saturation->setStyleSheet(QStringLiteral("color: #b00000"));
    m_saturation->setObjectName(QStringLiteral("saturation"));
    m_saturation->setWordWrap(true);
    m_saturation->hide();
    m_figures = new QLabel;
    m_figures->setObjectName(QStringLiteral("histogramFigures"));
    // A long list of missing codes wraps instead of widening the window past
    // the screen.
    m_figures->setWordWrap(true);
    m_figures->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_figures->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    m_fromCode = new QSpinBox;
    m_toCode = new QSpinBox;
    for (QSpinBox *box : {m_fromCode, m_toCode})
        box->setRange(0, 4095);
    m_dnlPlot = new CodeCurvePlot(QStringLiteral("DNL"), QStringLiteral("DNL (LSB)"));
    m_inlPlot = new CodeCurvePlot(QStringLiteral("INL, end-point"), QStringLiteral("INL (LSB)"));

    auto *kindRow = new QHBoxLayout;
    kindRow->addWidget(new QLabel(QStringLiteral("Test kind:")));
    kindRow->addWidget(m_kindChoice);
    kindRow->addStretch();
    QHBoxLayout *codeRow = spanRow(this, QStringLiteral("Codes from"), m_fromCode, m_toCode, {},
        QStringLiteral("All codes"), [this] { applyCodeWindow(); });
    auto *plots = new QSplitter(Qt::Vertical);
    plots->addWidget(m_dnlPlot);
    plots->addWidget(m_inlPlot);
    // Shown only when the analysis gives DNL and INL.
    m_linearityPart = new QWidget;
    auto *linearityLayout = new QVBoxLayout(m_linearityPart);
    linearityLayout->setContentsMargins(0, 0, 0, 0);
    linearityLayout->addLayout(codeRow);
    linearityLayout->addWidget(plots, 1);
    // Shown only for a DC test that fits.
    m_noisePlot = new NoiseHistogramPlot;
    m_resolutionNotes = new QLabel;
    m_resolutionNotes->setObjectName(QStringLiteral("resolutionNotes"));
    m_resolutionNotes->setWordWrap(true);
    m_resolutionNotes->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_noisePart = new QWidget;
    auto *noiseLayout = new QVBoxLayout(m_noisePart);
    noiseLayout->setContentsMargins(0, 0, 0, 0);
    noiseLayout->addWidget(m_noisePlot, 1);
    noiseLayout->addWidget(m_resolutionNotes);
    m_noisePart->hide();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(kindRow);
    layout->addWidget(m_saturation);
    layout->addWidget(m_figures);
    layout->addWidget(m_linearityPart, 1);
    layout->addWidget(m_noisePart, 1);
    // Takes the spare height only while the plots are hidden.
    layout->addStretch(0);
    m_saturation->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    m_figures->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    connect(m_kindChoice, &QComboBox::currentIndexChanged, this, [this] { analyse(); });
    showFigures();
}

std::optional<TestKind> HistogramPage::chosenKind() const
{
    const QVariant kind = m_kindChoice->currentData();
    if (!kind.isValid())
        return std::nullopt;
    return static_cast<TestKind>(kind.toInt());
}

int HistogramPage::bits() const
{
    return m_counts.size() > 1 ? static_cast<int>(std::bit_width(m_counts.size() - 1)) : 0;
}

void HistogramPage::showCounts(std::span<const std::uint64_t> counts, bool histogramSaturated,
    std::optional<double> sampleRate)
{
    m_counts.assign(counts.begin(), counts.end());
    m_sampleRate = sampleRate;
    m_saturation->setVisible(histogramSaturated);
    analyse();
}

void HistogramPage::analyse()
{
    CodeDensityOptions options;
    options.kind = chosenKind();
    options.sampleRate = m_sampleRate;
    m_analysis.start({m_counts, m_record, options, m_referenceCounts, m_referenceName});
}

void HistogramPage::showAnalysis(const HistogramAnalysis &analysis)
{
    m_result = analysis.result;
    if (m_result.hasLinearity()) {
        const LinearityFigures &l = m_result.linearity;
        m_dnlPlot->setCurve(l.dnl, l.firstCode, l.lastCode);
        m_inlPlot->setCurve(l.inlEndPoint, l.firstCode, l.lastCode);
        m_dnlPlot->setLimit(m_dnlLimit, l.dnlUncertainty99);
        m_inlPlot->setLimit(m_inlLimit, l.inlEndPointUncertainty99);
        m_dnlPlot->setMissingCodes(l.missingCodes);
        m_inlPlot->setMissingCodes(l.missingCodes);
    } else {
        m_dnlPlot->clearCurve();
        m_inlPlot->clearCurve();
    }
    m_linearityPart->setVisible(m_result.hasLinearity());
    const QStringList notes = resolutionNotes(m_result);
    m_noisePart->setVisible(!notes.isEmpty());
    if (!notes.isEmpty()) {
        m_noisePlot->setHistogram(analysis.counts, m_result.meanCode, m_result.sigma);
        m_resolutionNotes->setText(notes.join(QLatin1Char('\n')));
    }
    m_referenceResult = analysis.referenceResult;
    m_shownReferenceName = analysis.referenceName;
    showReference();
    showFigures();
    emit analysed();
}

void HistogramPage::showReference()
{
    if (m_referenceResult && m_referenceResult->hasLinearity()) {
        const LinearityFigures &l = m_referenceResult->linearity;
        m_dnlPlot->setReference(l.dnl, l.firstCode, l.lastCode, m_shownReferenceName);
        m_inlPlot->setReference(l.inlEndPoint, l.firstCode, l.lastCode, m_shownReferenceName);
    } else {
        m_dnlPlot->clearReference();
        m_inlPlot->clearReference();
    }
}

void HistogramPage::showFigures()
{
    const std::vector<FigureRow> rows = figureRows(m_result);
    if (!m_referenceResult) {
        m_figures->setText(figureTable(rows));
        return;
    }
    const DynamicResult noRecord;
    const std::vector<ComparedFigure> compared
        = compareFigures({m_result, noRecord}, {*m_referenceResult, noRecord},
            {FigureSource::Histogram, FigureSource::DcNoise, FigureSource::Linearity});
    m_figures->setText(figureComparisonTable(compared, m_shownReferenceName, rows));
}

void HistogramPage::setReference(std::vector<std::uint64_t> counts, const QString &name)
{
    m_referenceCounts = std::move(counts);
    m_referenceName = name;
    analyse();
}

void HistogramPage::clearReference()
{
    m_referenceCounts.clear();
    m_referenceName.clear();
    analyse();
}

void HistogramPage::showRecord(std::vector<std::uint16_t> record)
{
    if (record.empty() && !m_record)
        return;
    m_record = record.empty()
        ? nullptr
        : std::make_shared<const std::vector<std::uint16_t>>(std::move(record));
    analyse();
}

void HistogramPage::setSampleRate(std::optional<double> sampleRate)
{
    m_sampleRate = sampleRate;
    analyse();
}

void HistogramPage::setCurveLimits(std::optional<double> dnl, std::optional<double> inl)
{
    m_dnlLimit = dnl;
    m_inlLimit = inl;
    analyse();
}

void HistogramPage::applyCodeWindow()
{
    m_dnlPlot->setCodeWindow(m_fromCode->value(), m_toCode->value());
    m_inlPlot->setCodeWindow(m_fromCode->value(), m_toCode->value());
}

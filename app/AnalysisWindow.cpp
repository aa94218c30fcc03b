#include "AnalysisWindow.h"

#include "CodeCurvePlot.h"
#include "CodeDensityAnalysis.h"
#include "FigureText.h"
#include "FrequencyPlot.h"
#include "SampleRecord.h"
#include "SampleTimePlot.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include <bit>
#include <memory>

namespace {

// Figure rows as the window's two-column table; a row worth a glance first
// has its name in bold.
QString figureTable(const std::vector<FigureRow> &figures)
{
    QString rows;
    for (const FigureRow &row : figures) {
        QString name = QString::fromStdString(row.name).toHtmlEscaped();
        if (row.warning)
            name = QStringLiteral("<b>%1</b>").arg(name);
        rows += QStringLiteral("<tr><td>%1</td><td>&nbsp;&nbsp;%2</td></tr>")
                    .arg(name, QString::fromStdString(row.value).toHtmlEscaped());
    }
    return QStringLiteral("<table>") + rows + QStringLiteral("</table>");
}

// "<lead> [from] to [to] <unit> [whole]": the part of an axis the plots
// show, `apply` called on each change. The button restores the whole range
// the boxes allow, where the `to` box starts.
template<typename Box, typename Apply>
QHBoxLayout *spanRow(QObject *receiver, const QString &lead, Box *from, Box *to,
    const QString &unit, const QString &whole, Apply apply)
{
    const auto low = from->minimum();
    const auto high = to->maximum();
    to->setValue(high);
    auto *wholeButton = new QPushButton(whole);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(lead));
    row->addWidget(from);
    row->addWidget(new QLabel(QStringLiteral("to")));
    row->addWidget(to);
    if (!unit.isEmpty())
        row->addWidget(new QLabel(unit));
    row->addWidget(wholeButton);
    row->addStretch();
    QObject::connect(from, &Box::valueChanged, receiver, apply);
    QObject::connect(to, &Box::valueChanged, receiver, apply);
    QObject::connect(wholeButton, &QPushButton::clicked, receiver, [from, to, low, high] {
        from->setValue(low);
        to->setValue(high);
    });
    return row;
}

} // namespace

AnalysisWindow::AnalysisWindow(QWidget *parent, DynamicAnalysisRunner::Analyser analyser)
    : QWidget(parent, Qt::Window)
    , m_runner(std::move(analyser))
{
    setObjectName(QStringLiteral("AnalysisWindow"));
    setWindowTitle(QStringLiteral("Analysis"));

    m_tabs = new QTabWidget;
    m_tabs->addTab(makeHistogramPage(), QStringLiteral("Histogram"));
    m_tabs->addTab(makeSpectrumPage(), QStringLiteral("Spectrum"));
    m_tabs->addTab(makeSamplesPage(), QStringLiteral("Samples"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    resize(760, 720);

    connect(&m_runner, &DynamicAnalysisRunner::finished, this, [this](const DynamicResult &result) {
        if (m_discardRunning)
            m_discardRunning = false;
        else
            showDynamicResult(result);
    });
    showFigures();
    showNoSpectrum(QStringLiteral("No sine: no samples yet (press START)"));
}

QWidget *AnalysisWindow::makeHistogramPage()
{
    auto *page = new QWidget;
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
    // A long list of missing codes wraps instead of widening the window past
    // the screen.
    m_figures->setWordWrap(true);
    m_figures->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_figures->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    m_fromCode = new QSpinBox;
    m_toCode = new QSpinBox;
    for (QSpinBox *box : {m_fromCode, m_toCode})
        box->setRange(0, 4095);
    m_dnlPlot = new CodeCurvePlot(QStringLiteral("DNL (LSB)"));
    m_inlPlot = new CodeCurvePlot(QStringLiteral("INL, end-point (LSB)"));

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
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(kindRow);
    layout->addWidget(m_saturation);
    layout->addWidget(m_figures);
    layout->addWidget(m_linearityPart, 1);
    // Takes the spare height only while the plots are hidden.
    layout->addStretch(0);
    m_saturation->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    m_figures->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    connect(m_kindChoice, &QComboBox::currentIndexChanged, this, [this] {
        analyse();
        showFigures();
    });
    return page;
}

QWidget *AnalysisWindow::makeSpectrumPage()
{
    auto *page = new QWidget;
    m_fromFrequency = new QDoubleSpinBox;
    m_toFrequency = new QDoubleSpinBox;
    for (QDoubleSpinBox *box : {m_fromFrequency, m_toFrequency}) {
        box->setRange(0, 0.5);
        box->setDecimals(4);
        box->setSingleStep(0.01);
    }
    m_spectrumPlot = new FrequencyPlot;
    m_spectrumFigures = new QLabel;
    m_spectrumFigures->setObjectName(QStringLiteral("spectrumFigures"));
    m_spectrumFigures->setWordWrap(true);
    m_spectrumFigures->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_spectrumFigures->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_spectrumFigures->setMinimumWidth(200);
    m_spectrumFigures->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);

    QHBoxLayout *bandRow = spanRow(this, QStringLiteral("Band from"), m_fromFrequency,
        m_toFrequency, QStringLiteral("cycles/sample"), QStringLiteral("Full band"), [this] {
            m_spectrumPlot->setFrequencyWindow(m_fromFrequency->value(), m_toFrequency->value());
        });
    auto *plotPart = new QVBoxLayout;
    plotPart->addLayout(bandRow);
    plotPart->addWidget(m_spectrumPlot, 1);
    auto *layout = new QHBoxLayout(page);
    layout->addLayout(plotPart, 1);
    layout->addWidget(m_spectrumFigures);
    return page;
}

QWidget *AnalysisWindow::makeSamplesPage()
{
    auto *page = new QWidget;
    m_shownSamples = new QSpinBox;
    m_shownSamples->setRange(16, static_cast<int>(maxAnalysedSamples));
    m_shownSamples->setValue(4096);
    m_timePlot = new SampleTimePlot;
    m_timePlot->setShownCount(m_shownSamples->value());
    auto *allSamples = new QPushButton(QStringLiteral("All samples"));

    auto *countRow = new QHBoxLayout;
    countRow->addWidget(new QLabel(QStringLiteral("The last")));
    countRow->addWidget(m_shownSamples);
    countRow->addWidget(new QLabel(QStringLiteral("samples")));
    countRow->addWidget(allSamples);
    countRow->addStretch();
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(countRow);
    layout->addWidget(m_timePlot, 1);

    connect(m_shownSamples, &QSpinBox::valueChanged, m_timePlot, &SampleTimePlot::setShownCount);
    connect(allSamples, &QPushButton::clicked, this,
        [this] { m_shownSamples->setValue(m_shownSamples->maximum()); });
    return page;
}

std::optional<TestKind> AnalysisWindow::chosenKind() const
{
    const QVariant kind = m_kindChoice->currentData();
    if (!kind.isValid())
        return std::nullopt;
    return static_cast<TestKind>(kind.toInt());
}

void AnalysisWindow::refresh(std::span<const std::uint64_t> counts, bool histogramSaturated)
{
    m_counts.assign(counts.begin(), counts.end());
    std::uint64_t samples = 0;
    for (std::uint64_t count : m_counts)
        samples += count;
    // RESET or a new run shrinks the total: the rate is measured afresh.
    if (m_sinceRefresh.isValid() && samples >= m_samplesAtRefresh && m_sinceRefresh.elapsed() > 0)
        m_sampleRate = (samples - m_samplesAtRefresh) * 1000.0 / m_sinceRefresh.elapsed();
    else
        m_sampleRate.reset();
    m_sinceRefresh.start();
    m_samplesAtRefresh = samples;
    m_saturation->setVisible(histogramSaturated);
    analyse();
    showFigures();
}

void AnalysisWindow::analyse()
{
    CodeDensityOptions options;
    options.kind = chosenKind();
    options.sampleRate = m_sampleRate;
    m_result = analyseCodeDensity(m_counts, options);
    if (m_result.hasLinearity()) {
        const LinearityFigures &l = m_result.linearity;
        m_dnlPlot->setCurve(l.dnl, l.firstCode, l.lastCode);
        m_inlPlot->setCurve(l.inlEndPoint, l.firstCode, l.lastCode);
    } else {
        m_dnlPlot->clearCurve();
        m_inlPlot->clearCurve();
    }
    m_linearityPart->setVisible(m_result.hasLinearity());
}

void AnalysisWindow::applyCodeWindow()
{
    m_dnlPlot->setCodeWindow(m_fromCode->value(), m_toCode->value());
    m_inlPlot->setCodeWindow(m_fromCode->value(), m_toCode->value());
}

void AnalysisWindow::showFigures()
{
    m_figures->setText(figureTable(figureRows(m_result)));
}

void AnalysisWindow::refreshSamples(const SampleRecord &record)
{
    const std::pair<std::size_t, std::uint64_t> seen {record.size(), record.appended()};
    const bool changed = m_recordSeen != seen;
    if (!changed && (m_recordAnalysed == seen || record.size() == 0))
        return;
    m_recordSeen = seen;
    if (record.size() == 0) {
        m_timePlot->setSamples({});
        m_discardRunning = m_runner.busy();
        m_recordAnalysed.reset();
        showNoSpectrum(QStringLiteral("No sine: no samples yet (press START)"));
        return;
    }
    auto codes
        = std::make_shared<const std::vector<std::uint16_t>>(record.latest(maxAnalysedSamples));
    if (changed)
        m_timePlot->setSamples(*codes);
    DynamicOptions options;
    // The converter's resolution is what the histogram counts: full scale
    // for dBFS and ENOB.
    if (m_result.bits > 0)
        options.bits = m_result.bits;
    if (m_sampleRate && *m_sampleRate > 0)
        options.sampleRate = m_sampleRate;
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
    m_spectrumPlot->setResult(result);
    // A record without a tone still shows its noise and spurs.
    if (result.ok || result.hasSpectrum)
        m_spectrumFigures->setText(figureTable(dynamicFigureRows(result)));
    else
        m_spectrumFigures->setText(m_spectrumPlot->message().toHtmlEscaped());
    emit dynamicResultShown();
}

void AnalysisWindow::showNoSpectrum(const QString &message)
{
    m_dynamicResult = DynamicResult();
    m_spectrumPlot->clearSpectrum(message);
    m_spectrumFigures->setText(message.toHtmlEscaped());
}

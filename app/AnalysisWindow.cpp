#include "AnalysisWindow.h"

#include "CodeCurvePlot.h"
#include "CodeDensityAnalysis.h"
#include "FigureText.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QVBoxLayout>

AnalysisWindow::AnalysisWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("AnalysisWindow"));
    setWindowTitle(QStringLiteral("Analysis"));

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
    m_toCode->setValue(4095);
    auto *fullRange = new QPushButton(QStringLiteral("All codes"));
    m_dnlPlot = new CodeCurvePlot(QStringLiteral("DNL (LSB)"));
    m_inlPlot = new CodeCurvePlot(QStringLiteral("INL, end-point (LSB)"));

    auto *kindRow = new QHBoxLayout;
    kindRow->addWidget(new QLabel(QStringLiteral("Test kind:")));
    kindRow->addWidget(m_kindChoice);
    kindRow->addStretch();
    auto *codeRow = new QHBoxLayout;
    codeRow->addWidget(new QLabel(QStringLiteral("Codes from")));
    codeRow->addWidget(m_fromCode);
    codeRow->addWidget(new QLabel(QStringLiteral("to")));
    codeRow->addWidget(m_toCode);
    codeRow->addWidget(fullRange);
    codeRow->addStretch();
    auto *plots = new QSplitter(Qt::Vertical);
    plots->addWidget(m_dnlPlot);
    plots->addWidget(m_inlPlot);
    // Shown only when the analysis gives DNL and INL.
    m_linearityPart = new QWidget;
    auto *linearityLayout = new QVBoxLayout(m_linearityPart);
    linearityLayout->setContentsMargins(0, 0, 0, 0);
    linearityLayout->addLayout(codeRow);
    linearityLayout->addWidget(plots, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(kindRow);
    layout->addWidget(m_saturation);
    layout->addWidget(m_figures);
    layout->addWidget(m_linearityPart, 1);
    // Takes the spare height only while the plots are hidden.
    layout->addStretch(0);
    m_saturation->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    m_figures->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    resize(640, 720);

    connect(m_kindChoice, &QComboBox::currentIndexChanged, this, [this] {
        analyse();
        showFigures();
    });
    connect(m_fromCode, &QSpinBox::valueChanged, this, &AnalysisWindow::applyCodeWindow);
    connect(m_toCode, &QSpinBox::valueChanged, this, &AnalysisWindow::applyCodeWindow);
    connect(fullRange, &QPushButton::clicked, this, [this] {
        m_fromCode->setValue(0);
        m_toCode->setValue(4095);
    });
    showFigures();
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
    QString rows;
    for (const FigureRow &row : figureRows(m_result)) {
        QString name = QString::fromStdString(row.name).toHtmlEscaped();
        if (row.warning)
            name = QStringLiteral("<b>%1</b>").arg(name);
        rows += QStringLiteral("<tr><td>%1</td><td>&nbsp;&nbsp;%2</td></tr>")
                    .arg(name, QString::fromStdString(row.value).toHtmlEscaped());
    }
    m_figures->setText(QStringLiteral("<table>") + rows + QStringLiteral("</table>"));
}

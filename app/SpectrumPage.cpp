#include "SpectrumPage.h"

#include "DynamicResult.h"
#include "FigureTable.h"
#include "FrequencyPlot.h"
#include "SpanRow.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

SpectrumPage::SpectrumPage(QWidget *parent)
    : QWidget(parent)
{
    m_fromFrequency = new QDoubleSpinBox;
    m_toFrequency = new QDoubleSpinBox;
    for (QDoubleSpinBox *box : {m_fromFrequency, m_toFrequency}) {
        box->setRange(0, 0.5);
        box->setDecimals(4);
        box->setSingleStep(0.01);
    }
    m_plot = new FrequencyPlot;
    m_figures = new QLabel;
    m_figures->setObjectName(QStringLiteral("spectrumFigures"));
    m_figures->setWordWrap(true);
    m_figures->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_figures->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_figures->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);

    QHBoxLayout *bandRow = spanRow(this, QStringLiteral("Band from"), m_fromFrequency,
        m_toFrequency, QStringLiteral("cycles/sample"), QStringLiteral("Full band"),
        [this] { m_plot->setFrequencyWindow(m_fromFrequency->value(), m_toFrequency->value()); });
    auto *plotPart = new QVBoxLayout;
    plotPart->addLayout(bandRow);
    plotPart->addWidget(m_plot, 1);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(plotPart, 1);
    // A record with a tone, its harmonics and five spurs gives more rows
    // than the page is high: they scroll rather than run off its foot.
    auto *figures = new QScrollArea;
    figures->setWidget(m_figures);
    figures->setWidgetResizable(true);
    figures->setFrameShape(QFrame::NoFrame);
    figures->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Wide enough for a row's longest word beside its scroll bar.
    figures->setMinimumWidth(
        240 + figures->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, figures));
    layout->addWidget(figures);
}

void SpectrumPage::showResult(const DynamicResult &result)
{
    m_plot->setResult(result);
    // A record without a tone still shows its noise and spurs.
    if (result.ok || result.hasSpectrum)
        m_liveFigures = figureTable(dynamicFigureRows(result));
    else
        m_liveFigures = m_plot->message().toHtmlEscaped();
    showFigures();
}

void SpectrumPage::showNothing(const QString &message)
{
    m_plot->clearSpectrum(message);
    m_liveFigures = message.toHtmlEscaped();
    showFigures();
}

void SpectrumPage::setReference(const DynamicResult *reference, const QString &name)
{
    if (reference)
        m_plot->setReference(*reference, name);
    else
        m_plot->clearReference();
}

void SpectrumPage::setComparison(std::optional<QString> table)
{
    m_comparison = std::move(table);
    showFigures();
}

void SpectrumPage::showFigures()
{
    // Four columns need the room to keep a figure's name on one or two lines.
    m_figures->setMinimumWidth(m_comparison ? 340 : 200);
    m_figures->setText(m_comparison.value_or(m_liveFigures));
}

#include "SamplesPage.h"

#include "SampleTimePlot.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

SamplesPage::SamplesPage(int mostSamples, QWidget *parent)
    : QWidget(parent)
{
    m_shownSamples = new QSpinBox;
    m_shownSamples->setRange(16, mostSamples);
    m_shownSamples->setValue(4096);
    m_plot = new SampleTimePlot;
    m_plot->setShownCount(m_shownSamples->value());
    auto *allSamples = new QPushButton(QStringLiteral("All samples"));

    auto *countRow = new QHBoxLayout;
    countRow->addWidget(new QLabel(QStringLiteral("The last")));
    countRow->addWidget(m_shownSamples);
    countRow->addWidget(new QLabel(QStringLiteral("samples")));
    countRow->addWidget(allSamples);
    countRow->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(countRow);
    layout->addWidget(m_plot, 1);

    connect(m_shownSamples, &QSpinBox::valueChanged, m_plot, &SampleTimePlot::setShownCount);
    connect(allSamples, &QPushButton::clicked, this,
        [this] { m_shownSamples->setValue(m_shownSamples->maximum()); });
}

void SamplesPage::setSamples(std::vector<std::uint16_t> codes)
{
    m_plot->setSamples(std::move(codes));
}

void SamplesPage::setSampleRate(std::optional<double> rate)
{
    m_plot->setSampleRate(rate);
}

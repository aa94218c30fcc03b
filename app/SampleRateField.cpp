#include "SampleRateField.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSettings>

SampleRateField::SampleRateField(QWidget *parent)
    : QWidget(parent)
{
    m_entered = new QDoubleSpinBox;
    m_entered->setObjectName(QStringLiteral("sampleRate"));
    m_entered->setRange(0, 1e9);
    m_entered->setDecimals(3);
    m_entered->setSuffix(QStringLiteral(" Hz"));
    // 0 reads as what it means.
    m_entered->setSpecialValueText(QStringLiteral("measured"));
    m_entered->setValue(QSettings().value(settingsKey, 0.0).toDouble());
    m_source = new QLabel;
    m_source->setObjectName(QStringLiteral("sampleRateSource"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Sample rate:")));
    layout->addWidget(m_entered);
    layout->addWidget(m_source, 1);
    m_clock.start();
    describe();
    connect(m_entered, &QDoubleSpinBox::valueChanged, this, [this](double hertz) {
        QSettings().setValue(settingsKey, hertz);
        describe();
        emit rateChanged();
    });
}

void SampleRateField::addTotal(std::uint64_t total)
{
    m_arrival.add(m_clock.nsecsElapsed() / 1e9, total);
    describe();
}

std::optional<double> SampleRateField::rate() const
{
    if (m_entered->value() > 0)
        return m_entered->value();
    const std::optional<double> measured = m_arrival.rate();
    return measured && *measured > 0 ? measured : std::nullopt;
}

void SampleRateField::setEnteredRate(double hertz)
{
    m_entered->setValue(hertz);
}

QString SampleRateField::description() const
{
    return m_source->text();
}

void SampleRateField::describe()
{
    const std::optional<double> measured = m_arrival.rate();
    const double over = m_arrival.measuredOver();
    const QString arrival = !measured ? QStringLiteral("the frames' arrival rate is not known yet")
        : over > 0 ? QStringLiteral("%1 Hz from the frames' arrival rate over %2 s")
                         .arg(QString::number(*measured, 'f', 1), QString::number(over, 'f', 0))
                   : QStringLiteral("%1 Hz from the frames' arrival rate while they arrived")
                         .arg(QString::number(*measured, 'f', 1));
    m_source->setText(
        m_entered->value() > 0 ? QStringLiteral("entered (measured: %1)").arg(arrival) : arrival);
}

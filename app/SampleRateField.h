#pragma once

#include "ArrivalRate.h"

#include <QElapsedTimer>
#include <QWidget>

#include <cstdint>
#include <optional>

class QDoubleSpinBox;
class QLabel;

// The sample rate the analysis window gives its hertz and its times in:
// the one the operator enters (remembered between sessions), else the
// frames' arrival rate measured over the last half minute. It says which.
class SampleRateField : public QWidget
{
    Q_OBJECT

public:
    static inline const QString settingsKey = QStringLiteral("analysis/sampleRate");

    explicit SampleRateField(QWidget *parent = nullptr);

    // The histogram's total at a refresh.
    void addTotal(std::uint64_t total);
    // The entered rate, else the measured one; empty when neither is known.
    std::optional<double> rate() const;
    // Sets the entered rate; 0 goes back to the measured one.
    void setEnteredRate(double hertz);
    QString description() const;

signals:
    // The operator entered another rate.
    void rateChanged();

private:
    void describe();

    QDoubleSpinBox *m_entered = nullptr;
    QLabel *m_source = nullptr;
    QElapsedTimer m_clock;
    ArrivalRate m_arrival;
};

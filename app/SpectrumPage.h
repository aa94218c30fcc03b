#pragma once

#include <QString>
#include <QWidget>

struct DynamicResult;
class FrequencyPlot;
class QDoubleSpinBox;
class QLabel;

// The analysis window's spectrum tab: the dynamic figures of the recent
// samples beside their spectrum, over a band the operator can narrow.
class SpectrumPage : public QWidget
{
    Q_OBJECT

public:
    explicit SpectrumPage(QWidget *parent = nullptr);

    void showResult(const DynamicResult &result);
    // No spectrum; `message` is shown in its place.
    void showNothing(const QString &message);

    const FrequencyPlot &plot() const { return *m_plot; }

private:
    QDoubleSpinBox *m_fromFrequency = nullptr;
    QDoubleSpinBox *m_toFrequency = nullptr;
    FrequencyPlot *m_plot = nullptr;
    QLabel *m_figures = nullptr;
};

#pragma once

#include <QString>
#include <QWidget>

#include <optional>

struct DynamicResult;
class FrequencyPlot;
class QDoubleSpinBox;
class QLabel;

// The analysis window's spectrum tab: the dynamic figures of the recent
// samples beside their spectrum, over a band the operator can narrow. A
// reference board's spectrum and figures may be shown beside the live ones.
class SpectrumPage : public QWidget
{
    Q_OBJECT

public:
    explicit SpectrumPage(QWidget *parent = nullptr);

    void showResult(const DynamicResult &result);
    // No spectrum; `message` is shown in its place.
    void showNothing(const QString &message);

    // A reference board's spectrum under the live one; nullptr clears it.
    void setReference(const DynamicResult *reference, const QString &name);
    // The figures as a comparison table (HTML) in place of the live ones;
    // empty: the live ones again.
    void setComparison(std::optional<QString> table);

    const FrequencyPlot &plot() const { return *m_plot; }

private:
    void showFigures();

    QString m_liveFigures; // the live figures' table, or why there are none
    std::optional<QString> m_comparison;
    QDoubleSpinBox *m_fromFrequency = nullptr;
    QDoubleSpinBox *m_toFrequency = nullptr;
    FrequencyPlot *m_plot = nullptr;
    QLabel *m_figures = nullptr;
};

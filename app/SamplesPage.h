#pragma once

#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class QSpinBox;
class SampleTimePlot;

// The analysis window's samples tab: the recent readings against time, over
// the last so many samples the operator chooses.
class SamplesPage : public QWidget
{
    Q_OBJECT

public:
    // The box offers up to `mostSamples`.
    explicit SamplesPage(int mostSamples, QWidget *parent = nullptr);

    void setSamples(std::vector<std::uint16_t> codes);
    // Samples per second, for the time axis; empty when not known.
    void setSampleRate(std::optional<double> rate);
    const SampleTimePlot &plot() const { return *m_plot; }

private:
    QSpinBox *m_shownSamples = nullptr;
    SampleTimePlot *m_plot = nullptr;
};

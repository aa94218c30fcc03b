#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

// The most recent readings against time, newest on the right, over the last
// so many samples the operator chooses. Each pixel column shows the lowest
// and highest code of the samples that fall on it, so drift over minutes and
// a spike of one sample both show however many samples share the width.
// Its axes have round ticks and a grid: codes up the side, and along the
// bottom the time before the newest sample in seconds when the rate is
// known, else the count of samples before it.
class SampleTimePlot : public QWidget
{
    Q_OBJECT

public:
    explicit SampleTimePlot(QWidget *parent = nullptr);

    // The readings, oldest first.
    void setSamples(std::vector<std::uint16_t> codes);
    // How many of the newest readings are shown.
    void setShownCount(int count);
    // Samples per second; empty when not known.
    void setSampleRate(std::optional<double> rate);

    std::size_t sampleCount() const { return m_codes.size(); }

    QSize minimumSizeHint() const override { return {240, 120}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<std::uint16_t> m_codes;
    int m_shown = 4096;
    std::optional<double> m_rate;
};

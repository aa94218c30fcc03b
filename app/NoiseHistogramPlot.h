#pragma once

#include <QColor>
#include <QWidget>

#include <cstdint>
#include <span>
#include <vector>

// The histogram of a DC noise test around its mean, one bar a code, with
// the Gaussian of the same mean and sigma over it: how far the noise is
// Gaussian, and so how far the figures from sigma hold.
class NoiseHistogramPlot : public QWidget
{
    Q_OBJECT

public:
    static inline const QColor barColour {150, 175, 215};
    static inline const QColor gaussianColour {200, 0, 0};

    explicit NoiseHistogramPlot(QWidget *parent = nullptr);

    // The counts (one per code) and their mean and standard deviation.
    void setHistogram(std::span<const std::uint64_t> counts, double mean, double sigma);

    // The codes shown: the mean +-5 sigma, and every code hit with one to
    // spare each side; at most 400 codes about the mean.
    static std::pair<int, int> shownCodes(
        std::span<const std::uint64_t> counts, double mean, double sigma);

    QSize minimumSizeHint() const override { return {240, 160}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<std::uint64_t> m_counts; // of the codes shown
    int m_firstCode = 0;
    std::uint64_t m_samples = 0;
    double m_mean = 0;
    double m_sigma = 0;
};

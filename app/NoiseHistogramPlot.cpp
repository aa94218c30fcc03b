#include "NoiseHistogramPlot.h"

#include "AxisScale.h"
#include "PlotFrame.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

NoiseHistogramPlot::NoiseHistogramPlot(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

std::pair<int, int> NoiseHistogramPlot::shownCodes(
    std::span<const std::uint64_t> counts, double mean, double sigma)
{
    const int codes = static_cast<int>(counts.size());
    if (codes == 0)
        return {0, -1};
    int low = static_cast<int>(std::floor(mean - 5 * sigma)) - 1;
    int high = static_cast<int>(std::ceil(mean + 5 * sigma)) + 1;
    for (int code = 0; code < codes; ++code) {
        if (counts[code] > 0) {
            low = std::min(low, code - 1);
            high = std::max(high, code + 1);
        }
    }
    // A stray code far out would shrink the bars to hairs.
    const int centre = static_cast<int>(std::lround(mean));
    low = std::clamp(std::max(low, centre - 200), 0, codes - 1);
    high = std::clamp(std::min(high, centre + 200), low, codes - 1);
    return {low, high};
}

void NoiseHistogramPlot::setHistogram(
    std::span<const std::uint64_t> counts, double mean, double sigma)
{
    const auto [low, high] = shownCodes(counts, mean, sigma);
    m_firstCode = low;
    m_counts.assign(counts.begin() + low, counts.begin() + high + 1);
    m_samples = 0;
    for (std::uint64_t count : counts)
        m_samples += count;
    m_mean = mean;
    m_sigma = sigma;
    update();
}

void NoiseHistogramPlot::paintEvent(QPaintEvent *)
{
    const auto gaussian = [&](double code) {
        if (m_sigma <= 0)
            return 0.0;
        const double z = (code - m_mean) / m_sigma;
        return double(m_samples) * std::exp(-z * z / 2)
            / (m_sigma * std::sqrt(2 * std::numbers::pi));
    };
    double most = 1;
    for (std::size_t i = 0; i < m_counts.size(); ++i)
        most = std::max({most, double(m_counts[i]), gaussian(m_firstCode + double(i))});
    const AxisScale axis = axisScale(0, most * 1.05, 1, 4);

    QPainter painter(this);
    const int margin
        = PlotFrame::leftMargin(*this, QString::number(axis.high, 'f', axis.decimals()), true);
    PlotFrame frame(
        painter, *this, PlotFrame::axesRect(*this, margin, fontMetrics().height() + 4, 2));
    frame.drawTitle(m_sigma > 0
            ? QStringLiteral("Noise: σ = %1 LSB about code %2, Gaussian of that σ in red")
                  .arg(QString::number(m_sigma, 'f', 3), QString::number(m_mean, 'f', 2))
            : QStringLiteral("Noise"));
    if (frame.tooSmall())
        return;
    const QRect &area = frame.axes();
    const double codes = std::max<double>(double(m_counts.size()), 1);
    const auto xOf = [&](double code) {
        return area.left() + (code - m_firstCode + 0.5) * area.width() / codes;
    };
    const auto yOf
        = [&](double count) { return area.top() + (1 - axis.place(count)) * area.height(); };

    frame.drawValueTicks(axis, yOf);
    if (!m_counts.empty())
        frame.drawPositionTicks(ticksWithin(m_firstCode, m_firstCode + codes - 1, 6).ticks, 0, xOf);
    frame.drawAxisTitles(QStringLiteral("Code"), QStringLiteral("Samples"));
    const double barWidth = std::max(area.width() / codes - 1, 1.0);
    for (std::size_t i = 0; i < m_counts.size(); ++i) {
        const double x = xOf(m_firstCode + double(i));
        painter.fillRect(QRectF(QPointF(x - barWidth / 2, yOf(double(m_counts[i]))),
                             QPointF(x + barWidth / 2, area.bottom())),
            barColour);
    }
    if (m_sigma > 0 && !m_counts.empty()) {
        QPainterPath curve;
        const int steps = std::max(area.width(), 2);
        for (int step = 0; step <= steps; ++step) {
            const double code = m_firstCode - 0.5 + codes * step / steps;
            const QPointF point(xOf(code), yOf(gaussian(code)));
            if (step == 0)
                curve.moveTo(point);
            else
                curve.lineTo(point);
        }
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(gaussianColour, 1.5));
        painter.drawPath(curve);
    }
    frame.drawBorder();
}

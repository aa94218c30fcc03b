#include "SampleTimePlot.h"

#include "AxisScale.h"
#include "ColumnTrace.h"
#include "PlotFrame.h"

#include <QPainter>

#include <algorithm>

SampleTimePlot::SampleTimePlot(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void SampleTimePlot::setSamples(std::vector<std::uint16_t> codes)
{
    m_codes = std::move(codes);
    update();
}

void SampleTimePlot::setShownCount(int count)
{
    m_shown = std::max(count, 2);
    update();
}

void SampleTimePlot::setSampleRate(std::optional<double> rate)
{
    m_rate = rate && *rate > 0 ? rate : std::nullopt;
    update();
}

void SampleTimePlot::paintEvent(QPaintEvent *)
{
    const std::size_t shown = std::min<std::size_t>(m_shown, m_codes.size());
    const auto begin = m_codes.end() - static_cast<std::ptrdiff_t>(shown);
    // The vertical scale: the codes shown, with a code to spare each side,
    // out to round ticks.
    double low = 0, high = 4095;
    if (shown > 0) {
        const auto [lowest, highest] = std::minmax_element(begin, m_codes.end());
        low = std::max(*lowest - 1, 0);
        high = *highest + 1;
    }
    AxisScale codes = axisScale(low, high, 2, 6);
    // Round ends past the codes a reading can have would only waste height.
    codes.low = std::max(codes.low, 0.0);
    codes.high = std::min(codes.high, 4095.0);
    std::erase_if(codes.ticks, [&](double tick) { return tick < codes.low || tick > codes.high; });

    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    PlotFrame frame(painter, *this,
        PlotFrame::axesRect(*this,
            PlotFrame::leftMargin(*this, PlotFrame::widestLabel(codes), true), metrics.height() + 4,
            2));
    frame.drawTitle(QStringLiteral("Recent samples"));
    if (frame.tooSmall())
        return;
    const QRect &area = frame.axes();
    const auto yOf
        = [&](double code) { return area.top() + (1 - codes.place(code)) * area.height(); };
    // Along the bottom: how long before the newest sample, which sits at 0
    // on the right; in seconds when the rate is known.
    const double perSample = double(area.width()) / m_shown;
    const double samplesPerUnit = m_rate.value_or(1);
    const auto xOf = [&](double before) {
        return area.left() + (m_shown - 0.5 + before * samplesPerUnit) * perSample;
    };
    const AxisScale times = ticksWithin(-(m_shown - 1) / samplesPerUnit, 0, 6);

    frame.drawValueTicks(codes, yOf);
    frame.drawPositionTicks(times.ticks, times.decimals(), xOf);
    frame.drawAxisTitles(m_rate ? QStringLiteral("Time before the newest sample (s)")
                                : QStringLiteral("Samples before the newest"),
        QStringLiteral("Code"));
    frame.drawBorder();
    if (shown == 0) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(area, Qt::AlignCenter, QStringLiteral("No samples yet: press START"));
        return;
    }

    // When fewer samples than asked for are held, the plot starts part way
    // across.
    const std::size_t offset = m_shown - shown;
    painter.setPen(QColor(0, 70, 160));
    ColumnTrace trace(painter);
    for (std::size_t i = 0; i < shown; ++i) {
        const int x = std::min(
            area.left() + static_cast<int>((offset + i + 0.5) * perSample), area.right());
        trace.add(x, yOf(begin[static_cast<std::ptrdiff_t>(i)]));
    }
    trace.finish();
}

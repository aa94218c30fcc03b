#include "SampleTimePlot.h"

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

void SampleTimePlot::paintEvent(QPaintEvent *)
{
    const std::size_t shown = std::min<std::size_t>(m_shown, m_codes.size());
    const auto begin = m_codes.end() - static_cast<std::ptrdiff_t>(shown);
    // The vertical scale: the codes shown, with a code to spare each side.
    int low = 0, high = 4095;
    if (shown > 0) {
        const auto [lowest, highest] = std::minmax_element(begin, m_codes.end());
        low = std::max(*lowest - 1, 0);
        high = std::max(*highest + 1, low + 2);
    }

    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int margin = metrics.horizontalAdvance(QStringLiteral("4096")) + 8;
    PlotFrame frame(painter, *this, PlotFrame::axesRect(*this, margin, metrics.height() + 4));
    frame.drawTitle(QStringLiteral("Recent samples (code)"));
    if (frame.tooSmall())
        return;
    const QRect &area = frame.axes();
    const auto yOf = [&](double code) {
        return area.top() + (high - code) / double(high - low) * area.height();
    };

    frame.drawBorder();
    frame.drawScaleLabel(area.top(), QString::number(high));
    frame.drawScaleLabel(area.bottom(), QString::number(low));
    frame.drawAxisLabel(Qt::AlignLeft, QStringLiteral("-%1").arg(m_shown));
    frame.drawAxisLabel(Qt::AlignRight, QStringLiteral("newest"));
    if (shown == 0) {
        painter.drawText(area, Qt::AlignCenter, QStringLiteral("No samples yet: press START"));
        return;
    }

    // The newest sample sits at the right edge; when fewer than asked for
    // are held, the plot starts part way across.
    const double perSample = double(area.width()) / m_shown;
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

#include "SampleTimePlot.h"

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
    const QRect area(
        margin, metrics.height() + 4, width() - margin - 6, height() - 2 * metrics.height() - 10);
    painter.drawText(QRect(0, 0, width(), metrics.height() + 2), Qt::AlignCenter,
        QStringLiteral("Recent samples (code)"));
    if (area.width() < 2 || area.height() < 2)
        return;
    const auto yOf = [&](double code) {
        return area.top() + (high - code) / double(high - low) * area.height();
    };

    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(area);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRect(0, area.top() - metrics.height() / 2, margin - 4, metrics.height()),
        Qt::AlignRight, QString::number(high));
    painter.drawText(QRect(0, area.bottom() - metrics.height() / 2, margin - 4, metrics.height()),
        Qt::AlignRight, QString::number(low));
    const QRect sampleRow(area.left(), area.bottom() + 2, area.width(), metrics.height());
    painter.drawText(sampleRow, Qt::AlignLeft, QStringLiteral("-%1").arg(m_shown));
    painter.drawText(sampleRow, Qt::AlignRight, QStringLiteral("newest"));
    if (shown == 0) {
        painter.drawText(area, Qt::AlignCenter, QStringLiteral("No samples yet: press START"));
        return;
    }

    // The newest sample sits at the right edge; when fewer than asked for
    // are held, the plot starts part way across.
    const double perSample = double(area.width()) / m_shown;
    const std::size_t offset = m_shown - shown;
    painter.setPen(QColor(0, 70, 160));
    int column = -1;
    int columnLow = 0, columnHigh = 0;
    QPointF previous;
    bool hasPrevious = false;
    const auto flush = [&] {
        const QPointF a(column, yOf(columnHigh));
        const QPointF b(column, yOf(columnLow));
        if (hasPrevious)
            painter.drawLine(previous, a);
        painter.drawLine(a, b);
        previous = b;
        hasPrevious = true;
    };
    for (std::size_t i = 0; i < shown; ++i) {
        const int x = std::min(
            area.left() + static_cast<int>((offset + i + 0.5) * perSample), area.right());
        const int code = begin[static_cast<std::ptrdiff_t>(i)];
        if (x != column) {
            if (column >= 0)
                flush();
            column = x;
            columnLow = columnHigh = code;
        } else {
            columnLow = std::min(columnLow, code);
            columnHigh = std::max(columnHigh, code);
        }
    }
    flush();
}

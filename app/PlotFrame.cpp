#include "PlotFrame.h"

#include <QPainter>
#include <QWidget>

QRect PlotFrame::axesRect(const QWidget &widget, int margin, int top)
{
    return {margin, top, widget.width() - margin - 6,
        widget.height() - top - widget.fontMetrics().height() - 6};
}

PlotFrame::PlotFrame(QPainter &painter, const QWidget &widget, const QRect &axes)
    : m_painter(painter)
    , m_widget(widget)
    , m_axes(axes)
{ }

// With the painter's pen as the widget set it up: its foreground colour.
void PlotFrame::drawTitle(const QString &title)
{
    m_painter.drawText(
        QRect(0, 0, m_widget.width(), m_widget.fontMetrics().height() + 2), Qt::AlignCenter, title);
}

void PlotFrame::drawBorder()
{
    m_painter.setPen(m_widget.palette().color(QPalette::Mid));
    m_painter.drawRect(m_axes);
}

void PlotFrame::drawScaleLabel(double y, const QString &text)
{
    const int lineHeight = m_widget.fontMetrics().height();
    m_painter.setPen(m_widget.palette().color(QPalette::Text));
    m_painter.drawText(
        QRectF(0, y - lineHeight / 2.0, m_axes.left() - 4, lineHeight), Qt::AlignRight, text);
}

void PlotFrame::drawAxisLabel(Qt::Alignment alignment, const QString &text)
{
    m_painter.setPen(m_widget.palette().color(QPalette::Text));
    m_painter.drawText(
        QRect(m_axes.left(), m_axes.bottom() + 2, m_axes.width(), m_widget.fontMetrics().height()),
        alignment, text);
}

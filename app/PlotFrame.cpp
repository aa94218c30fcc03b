#include "PlotFrame.h"

#include "AxisScale.h"

#include <QPainter>
#include <QWidget>

#include <algorithm>

QRect PlotFrame::axesRect(const QWidget &widget, int margin, int top, int rows)
{
    return {margin, top, widget.width() - margin - 6,
        widget.height() - top - rows * widget.fontMetrics().height() - 6};
}

int PlotFrame::leftMargin(const QWidget &widget, const QString &widestLabel, bool titled)
{
    const QFontMetrics metrics = widget.fontMetrics();
    return metrics.horizontalAdvance(widestLabel) + 8 + (titled ? metrics.height() + 2 : 0);
}

QString PlotFrame::widestLabel(const AxisScale &axis)
{
    QString widest;
    for (double tick : axis.ticks) {
        const QString label = QString::number(tick, 'f', axis.decimals());
        if (label.size() > widest.size())
            widest = label;
    }
    return widest;
}

PlotFrame::PlotFrame(QPainter &painter, const QWidget &widget, const QRect &axes)
    : m_painter(painter)
    , m_widget(widget)
    , m_axes(axes)
{ }

// With the painter's pen as the widget set it up: its foreground colour.
// A title wider than the plot loses its end, not both of its ends.
void PlotFrame::drawTitle(const QString &title)
{
    const QFontMetrics metrics = m_widget.fontMetrics();
    m_painter.drawText(QRect(0, 0, m_widget.width(), metrics.height() + 2), Qt::AlignCenter,
        metrics.elidedText(title, Qt::ElideRight, m_widget.width() - 4));
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

void PlotFrame::drawValueTicks(const AxisScale &axis, const std::function<double(double)> &yOf)
{
    for (double tick : axis.ticks) {
        const double y = yOf(tick);
        m_painter.setPen(gridColour);
        m_painter.drawLine(QPointF(m_axes.left() + 1, y), QPointF(m_axes.right() - 1, y));
        drawScaleLabel(y, QString::number(tick, 'f', axis.decimals()));
    }
}

void PlotFrame::drawPositionTicks(
    const std::vector<double> &ticks, int decimals, const std::function<double(double)> &xOf)
{
    const QFontMetrics metrics = m_widget.fontMetrics();
    for (double tick : ticks) {
        const double x = xOf(tick);
        m_painter.setPen(gridColour);
        m_painter.drawLine(QPointF(x, m_axes.top() + 1), QPointF(x, m_axes.bottom() - 1));
        const QString text = QString::number(tick, 'f', decimals);
        const int width = metrics.horizontalAdvance(text) + 4;
        // Centred under its tick, but never cut off at the widget's edges.
        const double left = std::clamp(x - width / 2.0, 0.0, double(m_widget.width() - width));
        m_painter.setPen(m_widget.palette().color(QPalette::Text));
        m_painter.drawText(
            QRectF(left, m_axes.bottom() + 2, width, metrics.height()), Qt::AlignHCenter, text);
    }
}

void PlotFrame::drawAxisTitles(const QString &horizontal, const QString &vertical)
{
    const int lineHeight = m_widget.fontMetrics().height();
    m_painter.setPen(m_widget.palette().color(QPalette::Text));
    m_painter.drawText(
        QRect(m_axes.left(), m_axes.bottom() + 2 + lineHeight, m_axes.width(), lineHeight),
        Qt::AlignHCenter, horizontal);
    if (vertical.isEmpty())
        return;
    m_painter.save();
    m_painter.translate(2, m_axes.center().y());
    m_painter.rotate(-90);
    m_painter.drawText(
        QRect(-m_axes.height() / 2, 0, m_axes.height(), lineHeight), Qt::AlignHCenter, vertical);
    m_painter.restore();
}

void PlotFrame::drawLegend(const std::vector<std::pair<QString, QColor>> &traces)
{
    const QFontMetrics metrics = m_widget.fontMetrics();
    const int stroke = 18;
    int width = 0;
    for (const auto &trace : traces)
        width = std::max(width, metrics.horizontalAdvance(trace.first));
    // A long file name is cut in the middle rather than running off the axes.
    width = std::min(width, std::max(m_axes.width() - stroke - 24, 0));
    const int lineHeight = metrics.height();
    const QRect box(m_axes.right() - width - stroke - 14, m_axes.top() + 4, width + stroke + 10,
        int(traces.size()) * lineHeight + 4);
    m_painter.save();
    m_painter.setPen(m_widget.palette().color(QPalette::Mid));
    m_painter.setBrush(m_widget.palette().color(QPalette::Base));
    m_painter.drawRect(box);
    int y = box.top() + 2;
    for (const auto &[name, colour] : traces) {
        m_painter.setPen(QPen(colour, 2));
        m_painter.drawLine(
            box.left() + 4, y + lineHeight / 2, box.left() + 4 + stroke, y + lineHeight / 2);
        m_painter.setPen(m_widget.palette().color(QPalette::Text));
        m_painter.drawText(QRect(box.left() + stroke + 8, y, width, lineHeight), Qt::AlignLeft,
            metrics.elidedText(name, Qt::ElideMiddle, width));
        y += lineHeight;
    }
    m_painter.restore();
}

#pragma once

#include <QRect>
#include <QString>

class QPainter;
class QWidget;

// The frame the analysis window's plots share: the title centred at the top,
// the axes' border, the vertical scale's labels right-aligned in the margin
// left of it and a row of labels under it.
class PlotFrame
{
public:
    // Where the axes lie in `widget`: `margin` pixels in for the scale's
    // labels, `top` pixels down for the title and what stands over the
    // axes, one text line and a little room below them.
    static QRect axesRect(const QWidget &widget, int margin, int top);

    PlotFrame(QPainter &painter, const QWidget &widget, const QRect &axes);

    const QRect &axes() const { return m_axes; }
    // Too small to draw anything in.
    bool tooSmall() const { return m_axes.width() < 2 || m_axes.height() < 2; }

    void drawTitle(const QString &title);
    // The border, leaving the pen in the palette's mid colour for the lines
    // drawn inside it.
    void drawBorder();
    // A label of the vertical scale, centred on height `y`.
    void drawScaleLabel(double y, const QString &text);
    // A label of the row under the axes: at the left, middle or right.
    void drawAxisLabel(Qt::Alignment alignment, const QString &text);

private:
    QPainter &m_painter;
    const QWidget &m_widget;
    QRect m_axes;
};

#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

struct AxisScale;
class QPainter;
class QWidget;

// The frame the analysis window's plots share: the title centred at the top,
// the axes' border, the vertical scale's ticks and labels right-aligned in
// the margin left of it with its title turned along it, and under it a row
// of labels and the horizontal axis' title.
class PlotFrame
{
public:
    static inline const QColor gridColour {222, 222, 222};

    // Where the axes lie in `widget`: `margin` pixels in for the scale's
    // labels and title, `top` pixels down for the title and what stands over
    // the axes, `rows` text lines and a little room below them.
    static QRect axesRect(const QWidget &widget, int margin, int top, int rows = 1);
    // The left margin for labels as wide as `widestLabel` and, when
    // `titled`, the vertical scale's title beside them.
    static int leftMargin(const QWidget &widget, const QString &widestLabel, bool titled);
    // The longest of the vertical scale's labels, for leftMargin.
    static QString widestLabel(const AxisScale &axis);

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

    // A grid line and a label at each tick of the vertical scale; `yOf`
    // gives a value's height.
    void drawValueTicks(const AxisScale &axis, const std::function<double(double)> &yOf);
    // A grid line and a label centred under each of `ticks` along the
    // horizontal axis, with `decimals`; `xOf` gives a value's column.
    void drawPositionTicks(
        const std::vector<double> &ticks, int decimals, const std::function<double(double)> &xOf);
    // The horizontal axis' title in the second row under the axes, the
    // vertical one turned up along the left edge.
    void drawAxisTitles(const QString &horizontal, const QString &vertical);
    // A boxed key in the axes' top right corner: a short line in each
    // trace's colour and what it shows.
    void drawLegend(const std::vector<std::pair<QString, QColor>> &traces);

private:
    QPainter &m_painter;
    const QWidget &m_widget;
    QRect m_axes;
};

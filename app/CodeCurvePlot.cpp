#include "CodeCurvePlot.h"

#include "ColumnTrace.h"
#include "PlotFrame.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

CodeCurvePlot::CodeCurvePlot(const QString &title, QWidget *parent)
    : QWidget(parent)
    , m_title(title)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void CodeCurvePlot::setCurve(const std::vector<double> &values, int first, int last)
{
    m_values = values;
    m_first = std::max(first, 0);
    m_last = std::min(last, static_cast<int>(m_values.size()) - 1);
    update();
}

void CodeCurvePlot::clearCurve()
{
    m_values.clear();
    m_last = m_first - 1;
    update();
}

void CodeCurvePlot::setCodeWindow(int from, int to)
{
    m_from = std::min(from, to);
    m_to = std::max(from, to);
    update();
}

void CodeCurvePlot::paintEvent(QPaintEvent *)
{
    const int from = std::max(m_from, m_first);
    const int to = std::min(m_to, m_last);
    // The vertical scale: symmetric about 0, at least +-0.5 LSB.
    double extent = 0.5;
    for (int code = from; code <= to; ++code)
        extent = std::max(extent, std::abs(m_values[code]));
    extent *= 1.1;
    const QString top = QString::number(extent, 'f', 3);
    const QString bottom = QLatin1Char('-') + top;

    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int margin = metrics.horizontalAdvance(bottom) + 8;
    PlotFrame frame(painter, *this, PlotFrame::axesRect(*this, margin, metrics.height() + 4));
    frame.drawTitle(m_title);
    if (frame.tooSmall())
        return;
    const QRect &area = frame.axes();
    const auto yOf = [&](double value) {
        return area.top() + (1 - (value + extent) / (2 * extent)) * area.height();
    };
    const double codes = m_to - m_from + 1;
    const auto xOf = [&](int code) { return area.left() + (code - m_from) * area.width() / codes; };

    frame.drawBorder();
    painter.drawLine(QPointF(area.left(), yOf(0)), QPointF(area.right(), yOf(0)));
    frame.drawScaleLabel(area.top(), top);
    frame.drawScaleLabel(area.bottom(), bottom);
    frame.drawAxisLabel(Qt::AlignLeft, QString::number(m_from));
    frame.drawAxisLabel(Qt::AlignRight, QString::number(m_to));
    if (from > to)
        return;

    painter.setPen(QColor(0, 70, 160));
    ColumnTrace trace(painter);
    for (int code = from; code <= to; ++code)
        trace.add(static_cast<int>(xOf(code) + 0.5 * area.width() / codes), yOf(m_values[code]));
    trace.finish();
}

#include "CodeCurvePlot.h"

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
    const QRect area(
        margin, metrics.height() + 4, width() - margin - 6, height() - 2 * metrics.height() - 10);
    painter.drawText(QRect(0, 0, width(), metrics.height() + 2), Qt::AlignCenter, m_title);
    if (area.width() < 2 || area.height() < 2)
        return;
    const auto yOf = [&](double value) {
        return area.top() + (1 - (value + extent) / (2 * extent)) * area.height();
    };
    const double codes = m_to - m_from + 1;
    const auto xOf = [&](int code) { return area.left() + (code - m_from) * area.width() / codes; };

    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(area);
    painter.drawLine(QPointF(area.left(), yOf(0)), QPointF(area.right(), yOf(0)));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRect(0, area.top() - metrics.height() / 2, margin - 4, metrics.height()),
        Qt::AlignRight, top);
    painter.drawText(QRect(0, area.bottom() - metrics.height() / 2, margin - 4, metrics.height()),
        Qt::AlignRight, bottom);
    const QRect codeRow(area.left(), area.bottom() + 2, area.width(), metrics.height());
    painter.drawText(codeRow, Qt::AlignLeft, QString::number(m_from));
    painter.drawText(codeRow, Qt::AlignRight, QString::number(m_to));
    if (from > to)
        return;

    // One vertical stroke per pixel column from the lowest to the highest
    // value on it, joined to the next column.
    painter.setPen(QColor(0, 70, 160));
    int column = -1;
    double low = 0, high = 0;
    QPointF previous;
    bool hasPrevious = false;
    const auto flush = [&] {
        const QPointF a(column, yOf(high));
        const QPointF b(column, yOf(low));
        if (hasPrevious)
            painter.drawLine(previous, a);
        painter.drawLine(a, b);
        previous = b;
        hasPrevious = true;
    };
    for (int code = from; code <= to; ++code) {
        const int x = static_cast<int>(xOf(code) + 0.5 * area.width() / codes);
        const double value = m_values[code];
        if (x != column) {
            if (column >= 0)
                flush();
            column = x;
            low = high = value;
        } else {
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }
    flush();
}

#include "CodeCurvePlot.h"

#include "ColumnTrace.h"
#include "PlotFrame.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

CodeCurvePlot::CodeCurvePlot(const QString &title, const QString &valueTitle, QWidget *parent)
    : QWidget(parent)
    , m_title(title)
    , m_valueTitle(valueTitle)
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
    m_missingCodes.clear();
    update();
}

void CodeCurvePlot::setCodeWindow(int from, int to)
{
    m_from = std::min(from, to);
    m_to = std::max(from, to);
    update();
}

void CodeCurvePlot::setLimit(std::optional<double> limit, std::optional<double> uncertainty)
{
    m_limit = limit;
    m_uncertainty = uncertainty;
    update();
}

void CodeCurvePlot::setMissingCodes(std::vector<int> codes)
{
    m_missingCodes = std::move(codes);
    update();
}

AxisScale CodeCurvePlot::valueAxis(const std::vector<double> &values, int from, int to,
    std::optional<double> limit, std::optional<double> uncertainty)
{
    double extent = 0.5;
    for (int code = std::max(from, 0); code <= to && code < int(values.size()); ++code) {
        if (std::isfinite(values[code]))
            extent = std::max(extent, std::abs(values[code]));
    }
    // The band is drawn about the limit only: without one, the uncertainty
    // does not stretch the scale.
    if (limit)
        extent = std::max(extent, std::abs(*limit) + uncertainty.value_or(0));
    // A little room above the highest point, so that it does not sit on the
    // border.
    return axisScale(-extent * 1.05, extent * 1.05, 1, 6);
}

void CodeCurvePlot::paintEvent(QPaintEvent *)
{
    const int from = std::max(m_from, m_first);
    const int to = std::min(m_to, m_last);
    const AxisScale axis = valueAxis(m_values, from, to, m_limit, m_uncertainty);
    QString widest;
    for (double tick : axis.ticks) {
        const QString label = QString::number(tick, 'f', axis.decimals());
        if (label.size() > widest.size())
            widest = label;
    }

    QPainter painter(this);
    const int margin = PlotFrame::leftMargin(*this, widest, !m_valueTitle.isEmpty());
    PlotFrame frame(
        painter, *this, PlotFrame::axesRect(*this, margin, fontMetrics().height() + 4, 2));
    frame.drawTitle(m_title);
    if (frame.tooSmall())
        return;
    const QRect &area = frame.axes();
    const auto yOf
        = [&](double value) { return area.top() + (1 - axis.place(value)) * area.height(); };
    const double codes = m_to - m_from + 1;
    const auto xOf
        = [&](double code) { return area.left() + (code - m_from + 0.5) * area.width() / codes; };

    // The band where a verdict lies within the uncertainty, under the rest.
    if (m_limit && m_uncertainty && *m_uncertainty > 0) {
        for (double side : {-1.0, 1.0}) {
            const double centre = side * *m_limit;
            painter.fillRect(QRectF(QPointF(area.left() + 1, yOf(centre + *m_uncertainty)),
                                 QPointF(area.right(), yOf(centre - *m_uncertainty))),
                bandColour);
        }
    }
    frame.drawValueTicks(axis, yOf);
    frame.drawPositionTicks(ticksWithin(m_from, m_to, 6).ticks, 0, xOf);
    frame.drawAxisTitles(QStringLiteral("Code"), m_valueTitle);
    frame.drawBorder();
    painter.drawLine(QPointF(area.left(), yOf(0)), QPointF(area.right(), yOf(0)));
    if (m_limit) {
        painter.setPen(QPen(limitColour, 1, Qt::DashLine));
        for (double level : {-*m_limit, *m_limit})
            painter.drawLine(QPointF(area.left(), yOf(level)), QPointF(area.right(), yOf(level)));
    }
    // A short stroke up from the code axis at each missing code.
    painter.setPen(QPen(missingColour, 2));
    for (int code : m_missingCodes) {
        if (code >= m_from && code <= m_to)
            painter.drawLine(
                QPointF(xOf(code), area.bottom() - 1), QPointF(xOf(code), area.bottom() - 8));
    }
    if (from > to)
        return;

    painter.setPen(traceColour);
    ColumnTrace trace(painter);
    for (int code = from; code <= to; ++code)
        trace.add(static_cast<int>(xOf(code)), yOf(m_values[code]));
    trace.finish();
}

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

void CodeCurvePlot::setReference(
    const std::vector<double> &values, int first, int last, const QString &name)
{
    m_reference = values;
    m_referenceFirst = std::max(first, 0);
    m_referenceLast = std::min(last, static_cast<int>(m_reference.size()) - 1);
    m_referenceName = name;
    update();
}

void CodeCurvePlot::clearReference()
{
    m_reference.clear();
    m_referenceLast = m_referenceFirst - 1;
    m_referenceName.clear();
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
    const int referenceFrom = std::max(m_from, m_referenceFirst);
    const int referenceTo = std::min(m_to, m_referenceLast);
    AxisScale axis = valueAxis(m_values, from, to, m_limit, m_uncertainty);
    // The wider of the two scales, so that neither curve leaves the axes.
    if (hasReference()) {
        const AxisScale referenceAxis
            = valueAxis(m_reference, referenceFrom, referenceTo, m_limit, m_uncertainty);
        if (referenceAxis.high > axis.high)
            axis = referenceAxis;
    }

    QPainter painter(this);
    const int margin
        = PlotFrame::leftMargin(*this, PlotFrame::widestLabel(axis), !m_valueTitle.isEmpty());
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
    const auto drawCurve
        = [&](const std::vector<double> &values, int first, int last, const QColor &colour) {
              painter.setPen(colour);
              ColumnTrace trace(painter);
              for (int code = first; code <= last; ++code)
                  trace.add(static_cast<int>(xOf(code)), yOf(values[code]));
              trace.finish();
          };
    if (hasReference())
        drawCurve(m_reference, referenceFrom, referenceTo, referenceColour);
    if (from <= to)
        drawCurve(m_values, from, to, traceColour);
    if (hasReference())
        frame.drawLegend(
            {{QStringLiteral("live"), traceColour}, {m_referenceName, referenceColour}});
}

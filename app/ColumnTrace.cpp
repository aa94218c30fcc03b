#include "ColumnTrace.h"

#include <QPainter>

#include <algorithm>

ColumnTrace::ColumnTrace(QPainter &painter)
    : m_painter(painter)
{ }

void ColumnTrace::add(int column, double y)
{
    if (column == m_column) {
        m_top = std::min(m_top, y);
        m_bottom = std::max(m_bottom, y);
        return;
    }
    if (m_column >= 0)
        drawColumn();
    m_column = column;
    m_top = m_bottom = y;
}

void ColumnTrace::finish()
{
    if (m_column >= 0)
        drawColumn();
    m_column = -1;
}

void ColumnTrace::drawColumn()
{
    const QPointF top(m_column, m_top);
    const QPointF bottom(m_column, m_bottom);
    if (m_hasPrevious)
        m_painter.drawLine(m_previous, top);
    m_painter.drawLine(top, bottom);
    m_previous = bottom;
    m_hasPrevious = true;
}

#pragma once

#include <QPointF>

class QPainter;

// A curve of more points than pixel columns, drawn as one vertical stroke per
// column from its highest to its lowest point, each joined to the next
// column's: a spike of a single point is never lost however many points
// share a column.
class ColumnTrace
{
public:
    // Draws with the painter's pen as it is.
    explicit ColumnTrace(QPainter &painter);

    // A point at pixel `column`, height `y`; columns come in increasing order.
    void add(int column, double y);
    // Draws the last column.
    void finish();

private:
    void drawColumn();

    QPainter &m_painter;
    int m_column = -1; // none yet
    double m_top = 0;
    double m_bottom = 0;
    QPointF m_previous; // the bottom of the column drawn before
    bool m_hasPrevious = false;
};

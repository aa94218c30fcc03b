#pragma once

#include "Twips.h"

#include <QPoint>
#include <QRect>

class QWidget;

// A rectangle in twips as whole pixels. Each edge is rounded on its own, so
// neighbouring controls that share an edge in twips share it in pixels.
inline QRect twipsToPixelRect(int left, int top, int width, int height)
{
    const QPoint topLeft(twipsToPixels(left), twipsToPixels(top));
    const QPoint bottomRight(twipsToPixels(left + width), twipsToPixels(top + height));
    return QRect(topLeft, QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y()));
}

inline QPoint twipsToPixelPoint(int x, int y)
{
    return QPoint(twipsToPixels(x), twipsToPixels(y));
}

#include "LampShape.h"

#include <QPainter>

LampShape::LampShape(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LampShape::setFillColour(const QColor &colour)
{
    if (colour == m_fillColour)
        return;
    m_fillColour = colour;
    update();
}

void LampShape::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), m_fillColour);
}

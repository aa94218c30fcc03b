#include "PlotArea.h"

#include "TwipsGeometry.h"

#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Lines are filled as whole-pixel rectangles where they run straight, so they
// stay sharp at any display scale; anything else is an aliased pen stroke.
void paintPixelLine(QPainter &painter, QPoint a, QPoint b, int width, const QColor &colour)
{
    if (a.x() == b.x()) {
        painter.fillRect(a.x(), std::min(a.y(), b.y()), width, std::abs(b.y() - a.y()) + 1, colour);
    } else if (a.y() == b.y()) {
        painter.fillRect(std::min(a.x(), b.x()), a.y(), std::abs(b.x() - a.x()) + 1, width, colour);
    } else {
        painter.setPen(QPen(colour, width));
        painter.drawLine(a, b);
    }
}

QPoint toPixels(QPoint twips)
{
    return twipsToPixelPoint(twips.x(), twips.y());
}

} // namespace

PlotArea::PlotArea(QWidget *parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, background);
    setPalette(colours);
    setAutoFillBackground(true);
}

void PlotArea::setTwipsGeometry(int left, int top, int width, int height)
{
    m_outerWidthTwips = width;
    setGeometry(twipsToPixelRect(left, top, width, height));
}

void PlotArea::placeChild(QWidget *child, int left, int top, int width, int height)
{
    child->setParent(this);
    child->setGeometry(
        twipsToPixelRect(left, top, width, height).translated(contentsRect().topLeft()));
}

void PlotArea::addLineControl(const LineControl &line)
{
    m_lineControls.append(line);
    update();
}

void PlotArea::clearDrawing()
{
    m_canvas.fill(background);
    update();
}

void PlotArea::drawLine(QPoint fromTwips, QPoint toTwips, const QColor &colour)
{
    ensureCanvas();
    QPainter painter(&m_canvas);
    paintPixelLine(painter, toPixels(fromTwips), toPixels(toTwips), 1, colour);
    update(contentsRect());
}

void PlotArea::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    ensureCanvas();

    QPainter painter(this);
    painter.setClipRect(contentsRect());
    painter.translate(contentsRect().topLeft());
    painter.drawImage(0, 0, m_canvas);
    for (const LineControl &line : m_lineControls)
        paintPixelLine(
            painter, toPixels(line.from), toPixels(line.to), line.widthPixels, Qt::black);
}

// The canvas matches the inside of the border in device pixels. When the
// display scale changes it starts over empty; the plot redraws every second.
void PlotArea::ensureCanvas()
{
    const qreal scale = devicePixelRatioF();
    const QSize size(
        std::lround(contentsRect().width() * scale), std::lround(contentsRect().height() * scale));
    if (m_canvas.size() == size && m_canvas.devicePixelRatio() == scale)
        return;
    m_canvas = QImage(size, QImage::Format_RGB32);
    m_canvas.setDevicePixelRatio(scale);
    m_canvas.fill(background);
}

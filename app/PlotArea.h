#pragma once

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QString>

// The plot area: a sunken panel whose drawing persists between paints, as it
// lives in a backing image the widget paints from. Its line controls (the
// baseline and the centre tick) and its child controls are painted over the
// drawing. All coordinates the program gives are in twips relative to the
// inside of the border.
class PlotArea : public QFrame
{
    Q_OBJECT

public:
    struct LineControl
    {
        QString name;
        QPoint from; // twips
        QPoint to; // twips
        int widthPixels = 1;
    };

    static inline const QColor background {224, 224, 224};

    explicit PlotArea(QWidget *parent = nullptr);

    // Places the area in its parent and remembers its outer width in twips,
    // the width the plot is scaled to.
    void setTwipsGeometry(int left, int top, int width, int height);
    int outerWidthTwips() const { return m_outerWidthTwips; }

    // Places a child control at twips relative to the inside of the border.
    void placeChild(QWidget *child, int left, int top, int width, int height);

    void addLineControl(const LineControl &line);
    const QList<LineControl> &lineControls() const { return m_lineControls; }

    // Erases everything drawn to the background colour.
    void clearDrawing();
    // A straight line one pixel wide, clipped to the area.
    void drawLine(QPoint fromTwips, QPoint toTwips, const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void ensureCanvas();

    int m_outerWidthTwips = 0;
    QList<LineControl> m_lineControls;
    QImage m_canvas;
};

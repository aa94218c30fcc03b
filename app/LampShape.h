#pragma once

#include <QColor>
#include <QWidget>

// A solid rectangle without outline whose fill colour the program sets: the
// frame lamp.
class LampShape : public QWidget
{
    Q_OBJECT

public:
    explicit LampShape(QWidget *parent = nullptr);

    QColor fillColour() const { return m_fillColour; }
    void setFillColour(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fillColour = Qt::black;
};

#pragma once

#include <QLabel>

// A label that reports a click, as a button does: press and release of the
// left button over the label.
class ClickableLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

#pragma once

#include <QObject>

class QWidget;

// Lets Ctrl+C through to a window's own copy shortcut from its text fields
// while they have no text selected: a field would otherwise take the key and
// copy nothing. A field with a selection still copies it.
class CopyKeyFilter : public QObject
{
    Q_OBJECT

public:
    // Watches every line edit inside `window`, spin boxes' included.
    explicit CopyKeyFilter(QWidget &window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

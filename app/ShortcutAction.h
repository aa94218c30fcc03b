#pragma once

#include <QKeySequence>
#include <QString>

class QAction;
class QMenu;
class QWidget;

// An action of `window` whose `keys` work anywhere in it, listed in `menu`
// with the keys shown beside its text.
QAction *addShortcutAction(
    QWidget &window, QMenu &menu, const QString &text, const QKeySequence &keys);

#include "ShortcutAction.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

QAction *addShortcutAction(
    QWidget &window, QMenu &menu, const QString &text, const QKeySequence &keys)
{
    auto *action = new QAction(text, &window);
    action->setShortcut(keys);
    action->setShortcutVisibleInContextMenu(true);
    window.addAction(action);
    menu.addAction(action);
    return action;
}

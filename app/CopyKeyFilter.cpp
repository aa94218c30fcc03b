#include "CopyKeyFilter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

CopyKeyFilter::CopyKeyFilter(QWidget &window)
    : QObject(&window)
{
    for (QLineEdit *field : window.findChildren<QLineEdit *>())
        field->installEventFilter(this);
}

bool CopyKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    // Qt asks the focused widget first whether it takes a key that is also a
    // shortcut; left unaccepted, the key goes to the shortcut.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *field = qobject_cast<const QLineEdit *>(watched);
        if (field && !field->hasSelectedText()
            && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

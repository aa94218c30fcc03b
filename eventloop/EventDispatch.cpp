#include "EventDispatch.h"

#include <QByteArray>
#include <QtGlobal>

void selectEventDispatcher()
{
    qputenv("QT_NO_GLIB", QByteArray("1"));
}

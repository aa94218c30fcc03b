#include "app/Form1.h"
#include "platform/EventDispatch.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    selectEventDispatcher();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("adtest"));

    Form1 window;
    window.show();
    return application.exec();
}

#include "app/DisplayCheck.h"
#include "app/Form1.h"
#include "platform/EventDispatch.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (const auto message = missingDisplayMessage(
            DisplayEnvironment::fromProcess(), std::vector<std::string>(argv, argv + argc))) {
        std::fprintf(stderr, "%s\n", message->c_str());
        return 1;
    }

    selectEventDispatcher();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("adtest"));

    Form1 window;
    window.show();
    return application.exec();
}

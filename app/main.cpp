#include "DisplayCheck.h"
#include "Form1.h"
#include "StartupOptions.h"
#include "EventDispatch.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (const auto status = applyStartupOptions(argc, argv))
        return *status;
    if (const auto message = missingDisplayMessage(
            DisplayEnvironment::fromProcess(), std::vector<std::string>(argv, argv + argc))) {
        std::fprintf(stderr, "%s\n", message->c_str());
        return 1;
    }

    selectEventDispatcher();
    QApplication application(argc, argv);
    if (argc > 1) { // taken neither by adtest nor by Qt
        std::fprintf(stderr, "adtest: unknown option '%s' (see adtest --help)\n", argv[1]);
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("adtest"));

    Form1 window;
    window.show();
    return application.exec();
}

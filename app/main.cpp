#include "DisplayCheck.h"
#include "EventDispatch.h"
#include "Form1.h"
#include "PortChoice.h"
#include "StartupOptions.h"
#include "StopSignals.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    std::string portNamed;
    if (const auto status = applyStartupOptions(argc, argv, portNamed))
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

    Form1 window(nullptr, choosePort1Device(QString::fromLocal8Bit(portNamed)));
    window.show();
    // A signal ends the program as closing the window does.
    const StopSignals stopSignals([&window] { window.close(); });
    return application.exec();
}

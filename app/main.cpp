#include "CommandLineError.h"
#include "DisplayCheck.h"
#include "EventDispatch.h"
#include "Form1.h"
#include "PortChoice.h"
#include "StartupOptions.h"
#include "StopSignals.h"

#include <QApplication>

#include <string>

int main(int argc, char *argv[])
{
    setProgramName("adtest");
    std::string portNamed;
    if (const auto status = applyStartupOptions(argc, argv, portNamed))
        return *status;
    const std::vector<std::string> left(argv, argv + argc);
    if (const auto message = missingDisplayMessage(DisplayEnvironment::fromProcess(), left)) {
        // A typing error is told first: with a display it would end the
        // program with status 2 too.
        if (const auto unknown = unknownBeforeQt(left)) {
            reportError(*unknown + " (see adtest --help)");
            return 2;
        }
        reportError(*message);
        return 1;
    }

    selectEventDispatcher();
    QApplication application(argc, argv);
    if (argc > 1) { // taken neither by adtest nor by Qt
        const std::string argument = argv[1];
        reportError(
            (argument.starts_with('-') ? argument.substr(0, argument.find('=')) + ": unknown option"
                                       : "unexpected argument '" + argument + "'")
            + " (see adtest --help)");
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("adtest"));

    Form1 window(nullptr, choosePort1Device(QString::fromLocal8Bit(portNamed)));
    window.show();
    // A signal ends the program as closing the window does.
    const StopSignals stopSignals([&window] { window.close(); });
    return application.exec();
}

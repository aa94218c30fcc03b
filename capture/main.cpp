// adcapture: the acquisition loop of adtest without its window, for test
// stations and scripts: capture a number of frames or seconds, analyse the
// histogram, write it and a report, and pass or fail the board.

#include "CaptureOptions.h"
#include "CapturePipeline.h"
#include "ProblemMessage.h"
#include "ResultDelivery.h"

#include "CommandLineError.h"
#include "EventDispatch.h"
#include "SerialPortList.h"
#include "Version.h"

#include <QCoreApplication>

#include <exception>
#include <iostream>

static int refuse(const QString &message)
{
    reportProblem(message);
    return 2;
}

int main(int argc, char *argv[])
try {
    setProgramName("adcapture");
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CaptureOptions options;
    if (const QString error = options.parse(arguments); !error.isEmpty())
        return refuse(error.endsWith(QLatin1Char(')')) && error.contains(QLatin1String("(see "))
                ? error
                : error + QStringLiteral(" (see adcapture --help)"));
    switch (options.mode) {
    case CaptureOptions::Mode::Help:
        std::cout << CaptureOptions::helpText().toStdString();
        return 0;
    case CaptureOptions::Mode::Version:
        std::cout << "adcapture " << adtestVersion << "\n";
        return 0;
    case CaptureOptions::Mode::ListPorts:
        return printPortListing(options.allPorts)
            ? 0
            : refuse(QStringLiteral("cannot write the port list"));
    case CaptureOptions::Mode::SendSpool:
    case CaptureOptions::Mode::Capture:
    case CaptureOptions::Mode::Analyze:
        break;
    }
    selectEventDispatcher();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("adcapture"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(adtestVersion));
    if (options.mode == CaptureOptions::Mode::SendSpool) {
        QString error;
        const auto delivery = ResultDelivery::fromOptions(options, true, &error);
        return delivery ? delivery->sendSpool() : refuse(error);
    }
    return CapturePipeline(std::move(options)).run();
} catch (const std::exception &error) {
    reportError(error.what());
    return 2;
}

#include "PortChoice.h"

#include <QtGlobal>

QString choosePort1Device(const QString &named)
{
    if (!named.isEmpty())
        return named;
    const QString fromEnvironment = qEnvironmentVariable("ADTEST_COM1");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStringLiteral("/dev/ttyS0");
}

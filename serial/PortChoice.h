#pragma once

#include <QString>

// The device that stands for serial port 1, chosen once when a program
// starts: the one named on its command line, else the one named in the
// environment variable ADTEST_COM1, else the machine's first serial port.
QString choosePort1Device(const QString &named = {});

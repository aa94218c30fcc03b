#pragma once

#include "CaptureLine.h"

#include <QString>

#include <memory>

// The serial port `named` on the command line (--port), else the one
// choosePort1Device picks; opened when the capture starts.
std::unique_ptr<CaptureLine> openSerialPortLine(const QString &named);

#pragma once

#include "BenchSupport.h"
#include "ConverterEnd.h"
#include "LoopSession.h"

#include "QtSerialLink.h"

#include <QElapsedTimer>

namespace bench {

// CPU share of the whole process with START pressed in the shown window and
// no data arriving.
inline double measureIdleShare(int milliseconds)
{
    ConverterEnd converter;
    Form1 form;
    form.show();
    LoopSession session(form, 1000); // the session's own checks wake the loop once a second
    QElapsedTimer wall;
    double cpuStart = 0, share = 0;
    session.waitUntil(
        "the port", [&] { return form.serialLink().isOpen(); },
        [&] {
            cpuStart = cpuSeconds();
            wall.start();
        });
    session.waitUntil(
        "the idle time", [&] { return wall.isValid() && wall.elapsed() >= milliseconds; },
        [&] { share = (cpuSeconds() - cpuStart) / (wall.elapsed() / 1000.0); });
    session.run(milliseconds + 10000);
    return share;
}

} // namespace bench

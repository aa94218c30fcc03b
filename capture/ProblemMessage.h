#pragma once

#include <QString>

// One line on standard error, after the program's name: what went wrong,
// for the operator and the station's log.
void reportProblem(const QString &message);

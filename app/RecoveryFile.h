#pragma once

#include <QDateTime>
#include <QString>

class HistogramActions;

// Keeps what the measurement holds when the program must end on an error
// (START cannot open the port): the histogram as CSV and the sample record
// as .npy with its sidecar, dated, in the user's application data folder.
// Returns what to tell the operator: where the files went or why they could
// not be written; empty when there were no counts to keep.
QString saveRecoveryFiles(const HistogramActions &measurement, const QString &folder,
    const QDateTime &when = QDateTime::currentDateTime());
// The folder for them: QStandardPaths' application data location.
QString recoveryFolder();

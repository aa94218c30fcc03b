#include "RecoveryFile.h"

#include "ExportFile.h"
#include "HistogramActions.h"
#include "SampleRecord.h"

#include <QDir>
#include <QStandardPaths>

#include <numeric>

QString recoveryFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString saveRecoveryFiles(
    const HistogramActions &measurement, const QString &folder, const QDateTime &when)
{
    const auto counts = measurement.counts();
    const std::uint64_t readings = std::accumulate(counts.begin(), counts.end(), std::uint64_t(0));
    if (readings == 0)
        return {};
    const QDir dir(folder);
    QString error;
    if (!dir.mkpath(QStringLiteral("."))) {
        return QStringLiteral("The %1 readings could not be saved: cannot create the folder %2.")
            .arg(readings)
            .arg(folder);
    }
    const QString histogram = dir.filePath(
        ExportFile::defaultName(QStringLiteral("recovery-histogram"), QStringLiteral("csv"), when));
    if (!measurement.saveCsv(histogram, &error))
        return QStringLiteral("The %1 readings could not be saved. %2").arg(readings).arg(error);
    QString text = QStringLiteral("The histogram of %1 readings was saved to %2")
                       .arg(readings)
                       .arg(QDir::toNativeSeparators(histogram));
    if (measurement.record().size() > 0) {
        const QString samples = dir.filePath(ExportFile::defaultName(
            QStringLiteral("recovery-samples"), QStringLiteral("npy"), when));
        if (measurement.saveSamples(samples, &error))
            text += QStringLiteral(" and the sample record to %1")
                        .arg(QDir::toNativeSeparators(samples));
        else
            text += QStringLiteral("; the sample record was not: %1").arg(error);
    }
    return text + QLatin1Char('.');
}

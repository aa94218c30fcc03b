#include "ReferenceRecord.h"

#include "RecordFileReader.h"
#include "RecordSidecar.h"

#include <QFileInfo>

#include <bit>

namespace {

ReferenceReading refused(QString error)
{
    ReferenceReading reading;
    reading.error = std::move(error);
    return reading;
}

} // namespace

ReferenceReading readReference(const QString &path, int bits)
{
    const QString name = QFileInfo(path).fileName();
    RecordFileReading file = readRecordFile(path.toStdString(), bits);
    if (!file.ok()) {
        // A whole table of a power of two codes is another converter's, not
        // one cut short.
        const std::size_t rows = file.tableRows;
        if (rows >= 2 && std::has_single_bit(rows) && rows != (std::size_t(1) << bits))
            return refused(QStringLiteral("%1: a %2-bit converter's histogram (%3 codes); the "
                                          "live one is %4-bit, so the two do not compare")
                               .arg(name)
                               .arg(std::countr_zero(rows))
                               .arg(rows)
                               .arg(bits));
        return refused(QString::fromStdString(file.error));
    }
    ReferenceRecord reference;
    reference.name = name;
    reference.counts = std::move(file.counts);
    reference.record = std::move(file.record);
    if (!file.fromHistogram) {
        // Without its sidecar the record still compares, in cycles per sample.
        const RecordSidecarReading sidecar = readRecordSidecar(path);
        if (!sidecar.ok())
            return refused(sidecar.error);
        if (sidecar.sidecar)
            reference.sampleRate = sidecar.sidecar->sampleRate;
    }
    ReferenceReading reading;
    reading.reference = std::move(reference);
    return reading;
}

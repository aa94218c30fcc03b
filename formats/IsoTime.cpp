#include "IsoTime.h"

std::string isoTime(const QDateTime &time, TimeZoneForm zone, TimePrecision precision)
{
    if (!time.isValid())
        return {};
    // A local time is written without its offset; the same time at a fixed
    // offset is written with it.
    const QDateTime shown
        = zone == TimeZoneForm::Utc ? time.toUTC() : time.toOffsetFromUtc(time.offsetFromUtc());
    return shown
        .toString(precision == TimePrecision::Milliseconds ? Qt::ISODateWithMs : Qt::ISODate)
        .toStdString();
}

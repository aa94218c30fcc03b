#pragma once

#include "RecordStore.h"

#include <QString>
#include <QVariantList>

#include <string>

// "2026-12-08T08:24:26.123Z" for any ISO 8601 date and time, the form the
// database stores; a time without an offset is taken as UTC. Empty when
// `text` is not one.
QString utcTime(const std::string &text);

// A RecordFilter as an SQL condition on test_record, and the values to bind
// to its placeholders in order.
struct RecordFilterSql
{
    QString where; // " WHERE ...", never empty
    QVariantList values;
    QString error; // the filter's since is not a time
};

// `alias` prefixes the columns ("r." for "FROM test_record r").
RecordFilterSql recordFilterSql(const RecordFilter &filter, const QString &alias);

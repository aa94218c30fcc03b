#pragma once

#include <QString>
#include <QVariant>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

// A field of a record as Qt SQL binds it, and back. An empty optional, and
// a NaN (SQLite's REAL has no place for it), are NULL.

// Never a null QString: Qt binds that as NULL, and text columns are NOT NULL.
inline QVariant sqlValue(const std::string &value)
{
    return value.empty() ? QStringLiteral("") : QString::fromStdString(value);
}
inline QVariant sqlValue(double value)
{
    return std::isnan(value) ? QVariant(QMetaType::fromType<double>()) : QVariant(value);
}
inline QVariant sqlValue(const std::optional<double> &value)
{
    return sqlValue(value.value_or(std::nan("")));
}
inline QVariant sqlValue(std::int64_t value)
{
    return qlonglong(value);
}
inline QVariant sqlValue(int value)
{
    return value;
}
inline QVariant sqlValue(bool value)
{
    return value;
}
inline QVariant sqlValue(const std::optional<bool> &value)
{
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<bool>());
}

inline void readSqlValue(const QVariant &value, std::string &field)
{
    field = value.toString().toStdString();
}
inline void readSqlValue(const QVariant &value, double &field)
{
    field = value.isNull() ? std::nan("") : value.toDouble();
}
inline void readSqlValue(const QVariant &value, std::optional<double> &field)
{
    field = value.isNull() ? std::nullopt : std::optional(value.toDouble());
}
inline void readSqlValue(const QVariant &value, std::int64_t &field)
{
    field = value.toLongLong();
}
inline void readSqlValue(const QVariant &value, int &field)
{
    field = value.toInt();
}
inline void readSqlValue(const QVariant &value, bool &field)
{
    field = value.toBool();
}
inline void readSqlValue(const QVariant &value, std::optional<bool> &field)
{
    field = value.isNull() ? std::nullopt : std::optional(value.toBool());
}

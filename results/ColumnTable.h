#pragma once

#include "SqlValue.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

// One column of a table: its name, its SQL type, and how its value is
// written from and read into the C++ row it stores.
template<typename Row> struct Column
{
    QString name;
    QString type; // as CREATE TABLE and ALTER TABLE ... ADD COLUMN take it
    std::function<QVariant(const Row &)> write;
    std::function<void(Row &, const QVariant &)> read;
    int since = 1; // the schema version that added it
};

// A column holding one field of the row; `field` is a generic lambda that
// returns the field of a row, const or not: [](auto &r) -> auto & { return r.lot; }.
template<typename Row, typename Field>
Column<Row> fieldColumn(QString name, QString type, Field field, int since = 1)
{
    return {std::move(name), std::move(type),
        [field](const Row &row) { return sqlValue(field(row)); },
        [field](Row &row, const QVariant &value) { readSqlValue(value, field(row)); }, since};
}

// The data columns of one table, in one list that CREATE, ALTER, INSERT and
// SELECT are all built from; rows are read back by column name, so the
// columns' order in the database does not matter. Keys (id, record_id, seq)
// are the caller's.
template<typename Row> class ColumnTable
{
public:
    ColumnTable(QString table, std::vector<Column<Row>> columns)
        : m_table(std::move(table))
        , m_columns(std::move(columns))
    { }

    const QString &table() const { return m_table; }
    const std::vector<Column<Row>> &columns() const { return m_columns; }

    // "name TYPE, ..." of the columns schema `version` has.
    QString definitions(int version) const
    {
        QStringList parts;
        for (const Column<Row> &column : m_columns)
            if (column.since <= version)
                parts << column.name + u' ' + column.type;
        return parts.join(QLatin1String(", "));
    }

    // "p.a, p.b, ..." of the columns schema `version` has.
    QString names(const QString &prefix = {}, int version = 1 << 30) const
    {
        QStringList parts;
        for (const Column<Row> &column : m_columns)
            if (column.since <= version)
                parts << prefix + column.name;
        return parts.join(QLatin1String(", "));
    }

    QString placeholders() const
    {
        return QStringList(qsizetype(m_columns.size()), QStringLiteral("?")).join(u", ");
    }

    // Binds the row's values in the order of names().
    void bind(QSqlQuery &query, const Row &row) const
    {
        for (const Column<Row> &column : m_columns)
            query.addBindValue(column.write(row));
    }

    // Where each column is among a query's results; empty when one is missing.
    std::optional<std::vector<int>> placesIn(const QSqlRecord &result) const
    {
        std::vector<int> places;
        for (const Column<Row> &column : m_columns) {
            places.push_back(result.indexOf(column.name));
            if (places.back() < 0)
                return std::nullopt;
        }
        return places;
    }

    void read(const QSqlQuery &query, const std::vector<int> &places, Row &row) const
    {
        for (std::size_t k = 0; k < m_columns.size(); ++k)
            m_columns[k].read(row, query.value(places[k]));
    }

private:
    QString m_table;
    std::vector<Column<Row>> m_columns;
};

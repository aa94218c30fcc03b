#pragma once

#include "DatabaseUrl.h"
#include "RecordFilterSql.h"
#include "SqlOutcome.h"

#include <QSqlQuery>
#include <QString>

#include <string>
#include <vector>

class DatabaseConnection;

// The statements of a report from the database. rank() picks the records
// and ranks them per board once, into a temporary table; each statement is
// then a SELECT after the common tables that name its rows:
//   s  the filtered records, with anon (the record id of a board without a
//      serial, 0 otherwise) and analysis (1 for a record analysed from a file)
//   b  s with board_captures, the board's records that are not analyses
//   c  the records that count: a board's captures, or all its records when
//      it has none; from_last numbers a board's results from its last (1),
//      station_last a board's results at one station, board_tests counts them.
// A board is (lot, board_serial, anon); stored times are UTC ISO 8601 text
// of one form, so ordering by (start_time, id) is ordering by time.
class SummaryQuery
{
public:
    SummaryQuery(const DatabaseConnection &connection, const RecordFilter &filter);

    // Empty, or why the filter cannot be used.
    const QString &error() const { return m_filter.error; }

    QSqlDatabase database() const;

    // Fills the table the statements read; on a server, within the
    // transaction that ends the table. release() drops it on SQLite.
    SqlOutcome rank();
    void release() const;

    // The lots rank() found; restrictTo() makes every statement after it
    // read lot number `lot` alone, 1 the first by name.
    qlonglong lots() const { return m_lots; }
    SqlOutcome restrictTo(qlonglong lot);
    // The ranked records and the last results' values, as FROM items that
    // take an alias: the current lot's where restrictTo() named one.
    QString rows() const;
    QString values() const;

    // Runs "WITH <common tables> <tables>, <select>"; `tables` may be empty.
    SqlOutcome select(QSqlQuery &query, const QString &tables, const QString &select,
        const QVariantList &values = {}) const;
    QString failure(const SqlFailure &failed) const;

    // The tables of figure values and limit verdicts the statements join the
    // counted records to, as a FROM item: on a server, for a report of some
    // records only, the stored rows within the range of their ids that
    // rank() finds; the stored tables otherwise.
    QString figureTable() const;
    QString limitTable() const;

    // Backend differences: a column ordered byte by byte; floor(); a
    // condition that a number column holds a finite value.
    QString binary(const QString &column) const;
    QString floorOf(const QString &expression) const;
    static QString finite(const QString &column);
    // Literals for a VALUES list.
    static QString text(const std::string &value);
    static QString number(double value);

private:
    SqlOutcome findIdRange(QSqlQuery &query);

    const DatabaseConnection &m_connection;
    RecordFilterSql m_filter;
    DatabaseUrl::Backend m_backend;
    bool m_byIdRange;
    qlonglong m_firstId = 1;
    qlonglong m_lastId = 0;
    qlonglong m_lots = 0;
    qlonglong m_lot = 0; // 0: every lot
};

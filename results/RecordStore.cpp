#include "RecordStore.h"

#include "DatabaseConnection.h"
#include "RecordColumns.h"
#include "RecordFilterSql.h"
#include "Transaction.h"

#include <QSqlRecord>
#include <QUuid>

#include <unordered_map>

namespace {

using Backend = DatabaseUrl::Backend;

// Runs `sql`, the filter's WHERE clause with its values, then `order`.
using FilteredSelect
    = std::function<SqlOutcome(const QString &sql, const QString &order, QSqlQuery &query)>;

template<typename Child>
SqlOutcome insertChildren(Statements &statements, Backend backend, const ChildTable<Child> &child,
    const TestRecord &record, std::int64_t id)
{
    const std::vector<Child> &rows = record.*child.rows;
    if (rows.empty())
        return {};
    QSqlQuery &query = statements.add();
    query.prepare(
        QStringLiteral("INSERT INTO %1 (record_id, seq, %2) VALUES (?, ?, %3)")
            .arg(child.columns.table(), child.columns.names(), child.columns.placeholders()));
    for (std::size_t k = 0; k < rows.size(); ++k) {
        query.addBindValue(qlonglong(id));
        query.addBindValue(int(k));
        child.columns.bind(query, rows[k]);
        if (SqlOutcome failed = run(query, backend))
            return failed;
    }
    return {};
}

// Each table's rows for the records loaded, in one query. A record stored
// since those were read is not among them and its rows are passed over.
template<typename Child>
SqlOutcome loadChildren(const ChildTable<Child> &child, const QSqlDatabase &db,
    const FilteredSelect &select, const std::unordered_map<std::int64_t, std::size_t> &index,
    std::vector<TestRecord> &records)
{
    QSqlQuery query(db);
    if (const SqlOutcome failed
        = select(QStringLiteral("SELECT c.record_id, %1 FROM %2 c "
                                "JOIN test_record r ON r.id = c.record_id")
                     .arg(child.columns.names(QStringLiteral("c.")), child.columns.table()),
            QStringLiteral(" ORDER BY c.record_id, c.seq"), query))
        return failed;
    const auto places = child.columns.placesIn(query.record());
    const int recordId = query.record().indexOf(QStringLiteral("record_id"));
    if (!places || recordId < 0)
        return SqlFailure {QStringLiteral("%1 lacks a column").arg(child.columns.table())};
    while (query.next()) {
        const auto found = index.find(query.value(recordId).toLongLong());
        if (found == index.end())
            continue;
        child.columns.read(query, *places, (records[found->second].*child.rows).emplace_back());
    }
    return std::nullopt;
}

} // namespace

InsertResult RecordStore::insert(const TestRecord &record) const
{
    if (!m_connection.isOpen())
        return {0, QStringLiteral("the results database is not open")};
    TestRecord stored = record;
    stored.startTime = utcTime(record.startTime).toStdString();
    stored.endTime = record.endTime.empty() ? std::string() : utcTime(record.endTime).toStdString();
    if (stored.startTime.empty() || (stored.endTime.empty() && !record.endTime.empty()))
        return {0,
            m_connection.failure(QStringLiteral("cannot store a record in"),
                QStringLiteral("its start or end time is not an ISO 8601 date and time"))};
    if (stored.uid.empty())
        stored.uid = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();

    const Backend backend = m_connection.backend();
    const ColumnTable<TestRecord> &columns = recordColumns();
    InsertResult result;
    const SqlOutcome outcome = transact(m_connection.database(), backend,
        m_connection.retryPolicy(), [&](Statements &statements) -> SqlOutcome {
            QSqlQuery &query = statements.add();
            query.prepare(QStringLiteral("INSERT INTO test_record (%1) VALUES (%2) "
                                         "ON CONFLICT (record_uid) DO NOTHING%3")
                              .arg(columns.names(), columns.placeholders(),
                                  backend == Backend::Postgres ? " RETURNING id" : ""));
            columns.bind(query, stored);
            if (SqlOutcome failed = run(query, backend))
                return failed;
            result.alreadyStored = query.numRowsAffected() == 0;
            if (result.alreadyStored) {
                QSqlQuery &existing = statements.add();
                existing.prepare(QStringLiteral("SELECT id FROM test_record WHERE record_uid = ?"));
                existing.addBindValue(sqlValue(stored.uid));
                if (SqlOutcome failed = run(existing, backend))
                    return failed;
                result.id = existing.next() ? existing.value(0).toLongLong() : 0;
            } else if (backend == Backend::Postgres) {
                result.id = query.next() ? query.value(0).toLongLong() : 0;
            } else {
                result.id = query.lastInsertId().toLongLong();
            }
            if (result.id <= 0)
                return SqlFailure {QStringLiteral("the database gave the record no id")};
            if (result.alreadyStored)
                return {};
            return forEachChildTable([&](const auto &child) {
                return insertChildren(statements, backend, child, stored, result.id);
            });
        });
    if (outcome)
        return {0, m_connection.failure(QStringLiteral("cannot store a record in"), outcome->text),
            false, outcome->unavailable};
    return result;
}

WriteCheck RecordStore::checkWritable() const
{
    if (!m_connection.isOpen())
        return {QStringLiteral("the results database is not open")};
    const Backend backend = m_connection.backend();
    const QSqlDatabase db = m_connection.database();
    SqlOutcome failed;
    if (backend == Backend::Sqlite) {
        // BEGIN IMMEDIATE takes the write lock; nothing is written.
        failed = transact(
            db, backend, m_connection.retryPolicy(), [](Statements &) -> SqlOutcome { return {}; });
    } else {
        QStringList tables {recordColumns().table()};
        forEachChildTable([&tables](const auto &child) {
            tables << child.columns.table();
            return false;
        });
        QSqlQuery query(db);
        failed = run(query,
            QStringLiteral("SELECT t FROM unnest(ARRAY['%1']) t WHERE NOT has_table_privilege(t, "
                           "'INSERT') UNION ALL SELECT 'the sequence of test_record.id' WHERE NOT "
                           "has_sequence_privilege(pg_get_serial_sequence('test_record', 'id'), "
                           "'USAGE')")
                .arg(tables.join(QLatin1String("', '"))),
            backend);
        QStringList refused;
        while (!failed && query.next())
            refused << query.value(0).toString();
        if (!refused.isEmpty())
            return {m_connection.failure(QStringLiteral("cannot write to"),
                QStringLiteral("user %1 may not insert into %2")
                    .arg(db.userName(), refused.join(QLatin1String(", "))))};
    }
    if (failed)
        return {m_connection.failure(QStringLiteral("cannot write to"), failed->text),
            failed->unavailable};
    return {};
}

LoadResult RecordStore::load(const RecordFilter &filter) const
{
    LoadResult result;
    if (!m_connection.isOpen()) {
        result.error = QStringLiteral("the results database is not open");
        return result;
    }
    const RecordFilterSql condition = recordFilterSql(filter, QStringLiteral("r."));
    if (!condition.error.isEmpty()) {
        result.error = condition.error;
        return result;
    }
    const FilteredSelect select = [&](const QString &sql, const QString &order, QSqlQuery &query) {
        query.setForwardOnly(true);
        query.prepare(sql + condition.where + order);
        for (const QVariant &value : condition.values)
            query.addBindValue(value);
        return run(query, m_connection.backend());
    };

    const QSqlDatabase db = m_connection.database();
    const ColumnTable<TestRecord> &columns = recordColumns();
    std::unordered_map<std::int64_t, std::size_t> index;
    SqlOutcome failed;
    {
        QSqlQuery query(db);
        failed
            = select(QStringLiteral("SELECT r.id, %1 FROM test_record r").arg(columns.names("r.")),
                QStringLiteral(" ORDER BY r.start_time, r.id"), query);
        const auto places = columns.placesIn(query.record());
        const int id = query.record().indexOf(QStringLiteral("id"));
        if (!failed && (!places || id < 0))
            failed = SqlFailure {QStringLiteral("test_record lacks a column")};
        while (!failed && query.next()) {
            TestRecord &record = result.records.emplace_back();
            record.id = query.value(id).toLongLong();
            columns.read(query, *places, record);
            index[record.id] = result.records.size() - 1;
        }
    }
    if (!failed)
        failed = forEachChildTable([&](const auto &child) {
            return loadChildren(child, db, select, index, result.records);
        });
    if (failed) {
        result.records.clear();
        result.error = m_connection.failure(QStringLiteral("cannot read"), failed->text);
    }
    return result;
}

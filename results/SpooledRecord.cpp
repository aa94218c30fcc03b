#include "SpooledRecord.h"

#include "JsonText.h"
#include "RecordColumns.h"

#include <cmath>

using nlohmann::json;

namespace {

// The value a column binds, as JSON: null where the database would hold NULL.
json jsonValue(const QVariant &value)
{
    if (value.isNull())
        return nullptr;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::Double: // JSON has no infinity: "inf" and "-inf" read back as Qt reads them
        return std::isinf(value.toDouble()) ? json(value.toDouble() > 0 ? "inf" : "-inf")
                                            : json(value.toDouble());
    default:
        return value.toString().toStdString();
    }
}

QVariant variantValue(const json &value)
{
    if (value.is_boolean())
        return value.get<bool>();
    if (value.is_number_integer())
        return qlonglong(value.get<std::int64_t>());
    if (value.is_number())
        return value.get<double>();
    if (value.is_string())
        return QString::fromStdString(value.get<std::string>());
    return {};
}

template<typename Row> json rowObject(const ColumnTable<Row> &columns, const Row &row)
{
    json object = json::object();
    for (const Column<Row> &column : columns.columns())
        object[column.name.toStdString()] = jsonValue(column.write(row));
    return object;
}

// Empty, or what is wrong with `object` as a row of `columns`.
template<typename Row>
std::string readRow(const ColumnTable<Row> &columns, const json &object, Row &row)
{
    const std::string table = columns.table().toStdString();
    if (!object.is_object())
        return table + " is not an object";
    for (const Column<Row> &column : columns.columns()) {
        const std::string name = column.name.toStdString();
        const auto found = object.find(name);
        if (found == object.end())
            return table + " lacks " + name;
        if (found->is_structured())
            return table + '.' + name + " is not a single value";
        column.read(row, variantValue(*found));
    }
    return {};
}

} // namespace

std::string spooledRecordText(const SpooledRecord &spooled)
{
    json document = json::object();
    document["adtest_spooled_record"] = SpooledRecord::format;
    document["database"] = spooled.database;
    document["reason"] = spooled.reason;
    document[recordColumns().table().toStdString()] = rowObject(recordColumns(), spooled.record);
    forEachChildTable([&](const auto &child) {
        json rows = json::array();
        for (const auto &row : spooled.record.*child.rows)
            rows.push_back(rowObject(child.columns, row));
        document[child.columns.table().toStdString()] = std::move(rows);
        return false;
    });
    return jsonText(document, 2);
}

StationResult<SpooledRecord> readSpooledRecord(std::string_view text)
{
    using Result = StationResult<SpooledRecord>;
    const json document = json::parse(text, nullptr, false);
    if (document.is_discarded())
        return Result::failure("not JSON, or cut short");
    const auto format = document.find("adtest_spooled_record");
    if (!document.is_object() || format == document.end() || !format->is_number_integer())
        return Result::failure("not a spooled test record");
    if (format->get<int>() != SpooledRecord::format)
        return Result::failure("a spooled record of another format (" + format->dump() + ")");
    SpooledRecord spooled;
    spooled.database = document.value("database", std::string());
    spooled.reason = document.value("reason", std::string());
    const std::string recordTable = recordColumns().table().toStdString();
    if (!document.contains(recordTable))
        return Result::failure("lacks " + recordTable);
    std::string wrong = readRow(recordColumns(), document[recordTable], spooled.record);
    if (wrong.empty() && spooled.record.uid.empty())
        wrong = "its record has no record_uid";
    if (wrong.empty())
        wrong = forEachChildTable([&](const auto &child) -> std::optional<std::string> {
            const auto rows = document.find(child.columns.table().toStdString());
            if (rows == document.end() || !rows->is_array())
                return "lacks the list " + child.columns.table().toStdString();
            for (const json &row : *rows)
                if (std::string why
                    = readRow(child.columns, row, (spooled.record.*child.rows).emplace_back());
                    !why.empty())
                    return why;
            return std::nullopt;
        }).value_or(std::string());
    if (!wrong.empty())
        return Result::failure(wrong);
    return spooled;
}

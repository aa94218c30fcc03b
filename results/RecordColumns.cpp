#include "RecordColumns.h"

namespace {

const QString text = QStringLiteral("TEXT NOT NULL");
const QString textSince2 = QStringLiteral("TEXT NOT NULL DEFAULT ''");
const QString number = QStringLiteral("DOUBLE PRECISION"); // NULL: NaN or not measured
const QString flag = QStringLiteral("BOOLEAN NOT NULL");

// An empty text is NULL: unknown.
template<typename Field> Column<TestRecord> optionalText(QString name, Field field, int since)
{
    return {std::move(name), QStringLiteral("TEXT"),
        [field](const TestRecord &row) {
            return field(row).empty() ? QVariant(QMetaType::fromType<QString>())
                                      : sqlValue(field(row));
        },
        [field](TestRecord &row, const QVariant &value) { readSqlValue(value, field(row)); },
        since};
}

} // namespace

const ColumnTable<TestRecord> &recordColumns()
{
    using R = TestRecord;
    // Times are ISO 8601 UTC text, which sorts as time does. record_uid is
    // unique through an index of its own, which an upgrade can add.
    static const ColumnTable<R> table(QStringLiteral("test_record"),
        {
            optionalText(
                QStringLiteral("record_uid"), [](auto &r) -> auto & { return r.uid; }, 3),
            fieldColumn<R>(
                "board_serial", text, [](auto &r) -> auto & { return r.identity.serial; }),
            fieldColumn<R>(
                "lot", text, [](auto &r) -> auto & { return r.identity.lot; }),
            fieldColumn<R>(
                "part", text, [](auto &r) -> auto & { return r.identity.part; }),
            fieldColumn<R>(
                "operator_name", text, [](auto &r) -> auto & { return r.identity.operatorName; }),
            fieldColumn<R>(
                "station", text, [](auto &r) -> auto & { return r.identity.station; }),
            fieldColumn<R>(
                "program", text, [](auto &r) -> auto & { return r.program; }),
            fieldColumn<R>(
                "program_version", text, [](auto &r) -> auto & { return r.programVersion; }),
            fieldColumn<R>(
                "start_time", text, [](auto &r) -> auto & { return r.startTime; }),
            fieldColumn<R>(
                "end_time", text, [](auto &r) -> auto & { return r.endTime; }),
            fieldColumn<R>(
                "port", text, [](auto &r) -> auto & { return r.port; }),
            fieldColumn<R>(
                "input_file", text, [](auto &r) -> auto & { return r.inputFile; }),
            fieldColumn<R>(
                "frames", "BIGINT NOT NULL", [](auto &r) -> auto & { return r.frames; }),
            fieldColumn<R>(
                "kind", text, [](auto &r) -> auto & { return r.kind; }),
            optionalText(
                QStringLiteral("origin"), [](auto &r) -> auto & { return r.origin; }, 3),
            // NULL: no verdict; NOT NULL before version 3.
            fieldColumn<R>(
                "pass", "BOOLEAN", [](auto &r) -> auto & { return r.pass; }),
            fieldColumn<R>(
                "exit_status", "INTEGER NOT NULL", [](auto &r) -> auto & { return r.exitStatus; }),
            fieldColumn<R>(
                "limits_file", text, [](auto &r) -> auto & { return r.limitsFile; }),
            fieldColumn<R>(
                "limits_sha256", text, [](auto &r) -> auto & { return r.limitsSha256; }),
            fieldColumn<R>(
                "limits_name", textSince2, [](auto &r) -> auto & { return r.limitsName; }, 2),
            fieldColumn<R>(
                "limits_revision", textSince2, [](auto &r) -> auto & { return r.limitsRevision; },
                2),
        });
    return table;
}

const ColumnTable<RecordedFigure> &figureColumns()
{
    using F = RecordedFigure;
    static const ColumnTable<F> table(QStringLiteral("record_figure"),
        {
            fieldColumn<F>(
                "name", text, [](auto &f) -> auto & { return f.name; }),
            fieldColumn<F>(
                "value", number, [](auto &f) -> auto & { return f.value; }),
        });
    return table;
}

const ColumnTable<RecordedLimit> &limitColumns()
{
    using L = RecordedLimit;
    static const ColumnTable<L> table(QStringLiteral("record_limit"),
        {
            fieldColumn<L>(
                "name", text, [](auto &l) -> auto & { return l.name; }),
            fieldColumn<L>(
                "figure", text, [](auto &l) -> auto & { return l.figure; }),
            fieldColumn<L>(
                "limit_value", number, [](auto &l) -> auto & { return l.limit; }),
            fieldColumn<L>(
                "is_upper", flag, [](auto &l) -> auto & { return l.upper; }),
            fieldColumn<L>(
                "value", number, [](auto &l) -> auto & { return l.value; }),
            fieldColumn<L>(
                "pass", flag, [](auto &l) -> auto & { return l.pass; }),
            fieldColumn<L>(
                "source", text, [](auto &l) -> auto & { return l.source; }),
            fieldColumn<L>(
                "uncertainty", number, [](auto &l) -> auto & { return l.uncertainty; }, 3),
            // NULL without an uncertainty, and in the rows of older versions:
            // nothing is known either way.
            {QStringLiteral("within_uncertainty"), QStringLiteral("BOOLEAN"),
                [](const L &l) {
                    return sqlValue(
                        l.uncertainty ? std::optional(l.withinUncertainty) : std::nullopt);
                },
                [](L &l, const QVariant &value) { l.withinUncertainty = value.toBool(); }, 3},
        });
    return table;
}

const ColumnTable<RecordedOutput> &outputColumns()
{
    using O = RecordedOutput;
    static const ColumnTable<O> table(QStringLiteral("record_output"),
        {
            fieldColumn<O>(
                "role", text, [](auto &o) -> auto & { return o.role; }),
            fieldColumn<O>(
                "path", text, [](auto &o) -> auto & { return o.path; }),
            fieldColumn<O>(
                "sha256", text, [](auto &o) -> auto & { return o.sha256; }),
        });
    return table;
}

// Names two catalog figures had before the catalog fixed its keys: the
// record's first description called the worst DNL "dnl_max_abs_lsb", and
// version 1 layouts the DC noise "noise_rms_lsb".
const LegacyFigureName legacyFigureNames[2] = {
    {"dnl_max_abs_lsb", "dnl_worst_lsb"},
    {"noise_rms_lsb", "noise_lsb"},
};

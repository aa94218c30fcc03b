#include "LimitVerdict.h"

#include <QStringList>

namespace {

QString withUnit(const QString &number, const FigureDefinition &figure)
{
    return figure.unit.empty()
        ? number
        : number + QLatin1Char(' ') + QString::fromUtf8(figure.unit.data(), figure.unit.size());
}

} // namespace

LimitVerdictRow limitVerdictRow(const LimitOutcome &outcome)
{
    LimitVerdictRow row;
    const auto number
        = [&outcome](double value) { return QString::fromStdString(outcome.text(value)); };
    const QString key = QString::fromStdString(limitDisplayName(outcome.name));
    if (outcome.definition) {
        const FigureDefinition &figure = outcome.definition->figure();
        row.figure = QString::fromUtf8(figure.label.data(), figure.label.size());
        row.limit
            = QStringLiteral("%1 %2 (%3)")
                  .arg(outcome.definition->upper() ? QStringLiteral("≤") : QStringLiteral("≥"),
                      withUnit(number(outcome.limit), figure), key);
        if (outcome.value) {
            QString value = number(*outcome.value);
            if (outcome.uncertainty)
                value += QStringLiteral(" ±%1").arg(number(*outcome.uncertainty));
            row.value = withUnit(value, figure);
        }
    } else {
        row.figure = key;
        row.limit = number(outcome.limit);
    }
    if (!outcome.value)
        row.value = QStringLiteral("not measured (%1)").arg(QString::fromStdString(outcome.note));
    row.pass = outcome.pass;
    row.withinUncertainty = outcome.withinUncertainty;
    row.verdict = outcome.pass ? QStringLiteral("PASS") : QStringLiteral("FAIL");
    if (outcome.guardBanded)
        row.verdict += QStringLiteral(" (guard-banded)");
    if (outcome.withinUncertainty)
        row.verdict += QStringLiteral(", within the uncertainty: a repeat may differ");
    return row;
}

QString overallVerdict(const std::vector<LimitOutcome> &outcomes, bool hasData)
{
    if (outcomes.empty())
        return QStringLiteral("MEASURED: the limits file sets no limit");
    if (!hasData)
        return QStringLiteral("INCOMPLETE: no data, the histogram is empty");
    QStringList failing;
    int within = 0;
    for (const LimitOutcome &outcome : outcomes) {
        if (!outcome.pass)
            failing << QString::fromStdString(limitDisplayName(outcome.name));
        within += outcome.withinUncertainty;
    }
    const int count = static_cast<int>(outcomes.size());
    QString line = failing.isEmpty()
        ? QStringLiteral("PASS: %1")
              .arg(count == 1 ? QStringLiteral("the limit holds")
                              : QStringLiteral("all %1 limits hold").arg(count))
        : QStringLiteral("FAIL: %1 of %2 %3 (%4)")
              .arg(failing.size())
              .arg(count)
              .arg(count == 1 ? QStringLiteral("limit fails") : QStringLiteral("limits fail"),
                  failing.join(QStringLiteral(", ")));
    if (within == 1)
        line += QStringLiteral("; 1 verdict within the uncertainty: a repeat may differ");
    else if (within > 1)
        line += QStringLiteral("; %1 verdicts within the uncertainty: a repeat may differ")
                    .arg(within);
    return line;
}

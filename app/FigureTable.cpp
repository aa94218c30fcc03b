#include "FigureTable.h"

namespace {

QString cell(const std::string &text)
{
    return QStringLiteral("<td>&nbsp;&nbsp;%1</td>")
        .arg(QString::fromStdString(text).toHtmlEscaped());
}

QString rowName(const FigureRow &row)
{
    const QString name = QString::fromStdString(row.name).toHtmlEscaped();
    return row.warning ? QStringLiteral("<b>%1</b>").arg(name) : name;
}

} // namespace

QString figureTable(const std::vector<FigureRow> &figures)
{
    QString rows;
    for (const FigureRow &row : figures)
        rows += QStringLiteral("<tr><td>%1</td>%2</tr>").arg(rowName(row), cell(row.value));
    return QStringLiteral("<table>") + rows + QStringLiteral("</table>");
}

QString figureComparisonTable(const std::vector<ComparedFigure> &figures,
    const QString &referenceName, const std::vector<FigureRow> &liveRows)
{
    QString rows
        = QStringLiteral("<tr><th></th><th>&nbsp;&nbsp;live</th>"
                         "<th>&nbsp;&nbsp;reference</th><th>&nbsp;&nbsp;difference</th></tr>");
    for (const ComparedFigure &figure : figures) {
        rows += QStringLiteral("<tr><td>%1</td>%2%3%4</tr>")
                    .arg(QString::fromStdString(figure.title).toHtmlEscaped(), cell(figure.live),
                        cell(figure.reference), cell(figure.difference));
    }
    for (const FigureRow &row : liveRows) {
        if (row.warning)
            rows += QStringLiteral("<tr><td>%1</td><td colspan=\"3\">&nbsp;&nbsp;%2</td></tr>")
                        .arg(rowName(row), QString::fromStdString(row.value).toHtmlEscaped());
    }
    return QStringLiteral("<p>Compared with <b>%1</b></p><table>%2</table>")
        .arg(referenceName.toHtmlEscaped(), rows);
}

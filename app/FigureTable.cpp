#include "FigureTable.h"

QString figureTable(const std::vector<FigureRow> &figures)
{
    QString rows;
    for (const FigureRow &row : figures) {
        QString name = QString::fromStdString(row.name).toHtmlEscaped();
        if (row.warning)
            name = QStringLiteral("<b>%1</b>").arg(name);
        rows += QStringLiteral("<tr><td>%1</td><td>&nbsp;&nbsp;%2</td></tr>")
                    .arg(name, QString::fromStdString(row.value).toHtmlEscaped());
    }
    return QStringLiteral("<table>") + rows + QStringLiteral("</table>");
}

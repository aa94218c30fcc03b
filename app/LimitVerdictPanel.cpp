#include "LimitVerdictPanel.h"

#include "LimitVerdict.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace {

const QString passColour = QStringLiteral("#007000");
const QString failColour = QStringLiteral("#b00000");
const QString doubtColour = QStringLiteral("#a05a00");

QString coloured(const QString &text, const QString &colour)
{
    return QStringLiteral("<span style=\"color:%1\"><b>%2</b></span>")
        .arg(colour, text.toHtmlEscaped());
}

} // namespace

LimitVerdictPanel::LimitVerdictPanel(QWidget *parent)
    : QWidget(parent)
{
    m_path = new QLineEdit;
    m_path->setObjectName(QStringLiteral("limitsPath"));
    m_path->setReadOnly(true);
    m_path->setPlaceholderText(QStringLiteral("no limits file: figures only"));
    auto *choose = new QPushButton(QStringLiteral("Limits..."));
    choose->setObjectName(QStringLiteral("chooseLimits"));
    m_message = new QLabel;
    m_message->setObjectName(QStringLiteral("limitsMessage"));
    m_message->setStyleSheet(QStringLiteral("color: #b00000"));
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->hide();
    m_verdict = new QLabel;
    m_verdict->setObjectName(QStringLiteral("verdict"));
    m_verdict->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_table = new QLabel;
    m_table->setObjectName(QStringLiteral("limitVerdicts"));
    m_table->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_table->setWordWrap(true);

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(QStringLiteral("Limits:")));
    fileRow->addWidget(m_path, 1);
    fileRow->addWidget(choose);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(fileRow);
    layout->addWidget(m_message);
    layout->addWidget(m_verdict);
    layout->addWidget(m_table);
    m_verdict->hide();
    m_table->hide();

    connect(choose, &QPushButton::clicked, this, &LimitVerdictPanel::chooseFile);
    const QString last = QSettings().value(settingsKey).toString();
    if (!last.isEmpty())
        loadLimits(last);
}

bool LimitVerdictPanel::loadLimits(const QString &path)
{
    const StationResult<LimitsFile> read = readLimitsFile(path.toStdString());
    if (!read) {
        m_message->setText(
            QStringLiteral("Limits not read: %1").arg(QString::fromStdString(read.reason())));
        m_message->show();
        return false;
    }
    m_message->hide();
    m_file = read.value();
    const QString absolute = QString::fromStdString(m_file->path);
    m_path->setText(QStringLiteral("%1 revision %2 (%3)")
                        .arg(QString::fromStdString(m_file->name),
                            QString::fromStdString(m_file->revision), absolute));
    m_path->setToolTip(absolute);
    QSettings().setValue(settingsKey, absolute);
    emit limitsChanged();
    return true;
}

void LimitVerdictPanel::chooseFile()
{
    const QString start = m_file ? QString::fromStdString(m_file->path) : QString();
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Limits file"), start,
        QStringLiteral("Limits files (*.toml);;All files (*)"));
    if (!path.isEmpty())
        loadLimits(path);
}

void LimitVerdictPanel::showVerdict(
    const CodeDensityResult &codeDensity, const DynamicResult &dynamic)
{
    m_verdict->setVisible(m_file.has_value());
    m_table->setVisible(m_file.has_value());
    if (!m_file) {
        m_outcomes.clear();
        return;
    }
    m_outcomes = checkLimits(m_file->limits, {codeDensity, dynamic});
    const QString line = overallVerdict(m_outcomes, codeDensity.samples > 0);
    const QString colour = line.startsWith(QStringLiteral("PASS")) ? passColour
        : line.startsWith(QStringLiteral("FAIL"))                  ? failColour
                                                                   : doubtColour;
    m_verdict->setText(QStringLiteral("Verdict: ") + coloured(line, colour));
    QString rows;
    for (const LimitOutcome &outcome : m_outcomes) {
        const LimitVerdictRow row = limitVerdictRow(outcome);
        const QString colour = !row.pass ? failColour
            : row.withinUncertainty      ? doubtColour
                                         : passColour;
        rows += QStringLiteral("<tr><td>%1</td><td>&nbsp;&nbsp;%2</td><td>&nbsp;&nbsp;%3</td>"
                               "<td>&nbsp;&nbsp;%4</td></tr>")
                    .arg(row.figure.toHtmlEscaped(), row.value.toHtmlEscaped(),
                        row.limit.toHtmlEscaped(), coloured(row.verdict, colour));
    }
    m_table->setText(QStringLiteral("<table>") + rows + QStringLiteral("</table>"));
}

QString LimitVerdictPanel::message() const
{
    return m_message->isVisibleTo(this) ? m_message->text() : QString();
}

QString LimitVerdictPanel::verdictLine() const
{
    return m_verdict->isVisibleTo(this) ? m_verdict->text() : QString();
}

QString LimitVerdictPanel::tableText() const
{
    return m_table->isVisibleTo(this) ? m_table->text() : QString();
}

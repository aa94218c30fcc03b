#include "AnalysisActions.h"

#include "AnalysisWindow.h"
#include "CaptureReport.h"
#include "CopyKeyFilter.h"
#include "ExportFile.h"
#include "FigureText.h"
#include "HistogramActions.h"
#include "HistogramCsv.h"
#include "ReferenceRecord.h"
#include "SampleRecord.h"
#include "ShortcutAction.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>

AnalysisActions::AnalysisActions(AnalysisWindow &window, const HistogramActions &source)
    : QObject(&window)
    , m_window(window)
    , m_source(source)
{
    m_menu = new QMenu(&window);
    const auto add = [&](const QString &text, const QKeySequence &keys,
                         void (AnalysisActions::*slot)()) {
        connect(addShortcutAction(window, *m_menu, text, keys), &QAction::triggered, this, slot);
    };
    add(QStringLiteral("Copy figures"), QKeySequence::Copy, &AnalysisActions::copyFigures);
    add(QStringLiteral("Save DNL and INL as CSV…"), QKeySequence::Save,
        &AnalysisActions::chooseLinearityFile);
    add(QStringLiteral("Save spectrum as CSV…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
        &AnalysisActions::chooseSpectrumFile);
    add(QStringLiteral("Save figures as JSON…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_J),
        &AnalysisActions::chooseJsonFile);
    add(QStringLiteral("Save window as PNG…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
        &AnalysisActions::choosePngFile);
    m_menu->addSeparator();
    add(QStringLiteral("Compare with…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R),
        &AnalysisActions::chooseReferenceFile);
    QAction *clear = m_menu->addAction(QStringLiteral("Clear comparison"));
    connect(clear, &QAction::triggered, this, &AnalysisActions::clearComparison);
    connect(m_menu, &QMenu::aboutToShow, this,
        [this, clear] { clear->setEnabled(m_window.reference().has_value()); });
    new CopyKeyFilter(window);

    // Right-clicks anywhere but on selectable text, which keeps its own menu.
    window.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&window, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &at) { m_menu->popup(m_window.mapToGlobal(at)); });

    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    m_status->setStyleSheet(QStringLiteral("color: #b00000"));
    m_status->hide();
    if (auto *layout = qobject_cast<QBoxLayout *>(window.layout()))
        layout->addWidget(m_status);
}

QString AnalysisActions::figuresText() const
{
    std::vector<FigureRow> rows = figureRows(m_window.result());
    const std::vector<FigureRow> dynamic = dynamicFigureRows(m_window.dynamicResult());
    rows.insert(rows.end(), dynamic.begin(), dynamic.end());
    QString text;
    for (const FigureRow &row : rows) {
        // A tab or line break inside a cell would split it.
        QString value = QString::fromStdString(row.value);
        value.replace(QLatin1Char('\t'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        text += QString::fromStdString(row.name) + QLatin1Char('\t') + value + QLatin1Char('\n');
    }
    return text;
}

QByteArray AnalysisActions::linearityCsv() const
{
    const CodeDensityResult &result = m_window.result();
    return QByteArray::fromStdString(histogramCsv(m_source.counts(), &result));
}

QByteArray AnalysisActions::spectrumCsv() const
{
    const DynamicResult &result = m_window.dynamicResult();
    QByteArray csv
        = result.sampleRate ? "bin,frequency_hz,dbfs\n" : "bin,frequency_cycles_per_sample,dbfs\n";
    if (!result.ok || result.recordLength == 0)
        return csv;
    const double scale = result.sampleRate.value_or(1.0) / double(result.recordLength);
    for (std::size_t bin = 0; bin < result.spectrumDbfs.size(); ++bin) {
        csv += QByteArray::number(qulonglong(bin)) + ','
            + QByteArray::number(double(bin) * scale, 'g', 10) + ','
            + QByteArray::number(result.spectrumDbfs[bin], 'f', 3) + '\n';
    }
    return csv;
}

QByteArray AnalysisActions::reportJson() const
{
    CaptureReport report;
    report.inputFile = QStringLiteral("adtest analysis window");
    report.startTime = report.endTime = QDateTime::currentDateTime();
    report.result = m_window.result();
    report.frames = static_cast<std::int64_t>(report.result.samples);
    report.dynamic = m_window.dynamicResult();
    report.recordSamples = m_source.record().size();
    return report.toJson();
}

bool AnalysisActions::savePng(const QString &path, QString *error) const
{
    return ExportFile::savePicture(m_window.grab(), path, error);
}

void AnalysisActions::setStatus(const QString &text)
{
    m_portStatus = text;
    showStatus();
}

void AnalysisActions::showStatus()
{
    QStringList lines;
    for (const QString &line : {m_portStatus, m_comparisonStatus}) {
        if (!line.isEmpty())
            lines << line;
    }
    const QString text = lines.join(QLatin1Char('\n'));
    m_status->setText(text);
    m_status->setVisible(!text.isEmpty());
}

bool AnalysisActions::compareWith(const QString &path)
{
    ReferenceReading reading = readReference(path, m_window.bits());
    m_comparisonStatus = reading.error;
    showStatus();
    if (!reading.ok())
        return false;
    m_window.setReference(std::move(*reading.reference));
    return true;
}

void AnalysisActions::chooseReferenceFile()
{
    // Window-modal without a nested event loop, as the saves are: the
    // acquisition goes on reading while the operator looks for the file.
    auto *dialog
        = new QFileDialog(&m_window, QStringLiteral("Compare with a saved histogram or record"),
            QString(), QStringLiteral("Histograms and records (*.csv *.npy);;All files (*)"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &AnalysisActions::compareWith);
    dialog->open();
}

void AnalysisActions::clearComparison()
{
    m_comparisonStatus.clear();
    showStatus();
    m_window.clearReference();
}

QString AnalysisActions::status() const
{
    return m_status->text();
}

void AnalysisActions::copyFigures()
{
    QApplication::clipboard()->setText(figuresText());
}

void AnalysisActions::choosePngFile()
{
    // Taken now: the picture is the window as it was when asked for.
    const QPixmap picture = m_window.grab();
    ExportFile::choose(&m_window, QStringLiteral("Save analysis window as PNG"),
        QStringLiteral("PNG image (*.png)"), QStringLiteral("png"), QStringLiteral("analysis"),
        [picture](const QString &path, QString *error) {
            return ExportFile::savePicture(picture, path, error);
        });
}

// The CSV and JSON exports are taken when asked for too, not when the
// operator has found a name: the window goes on refreshing meanwhile.
void AnalysisActions::chooseLinearityFile()
{
    const QByteArray csv = linearityCsv();
    ExportFile::choose(&m_window, QStringLiteral("Save DNL and INL as CSV"),
        QStringLiteral("CSV table (*.csv)"), QStringLiteral("csv"), QStringLiteral("dnl"),
        [csv](const QString &path, QString *error) { return ExportFile::save(path, csv, error); });
}

void AnalysisActions::chooseSpectrumFile()
{
    const QByteArray csv = spectrumCsv();
    ExportFile::choose(&m_window, QStringLiteral("Save spectrum as CSV"),
        QStringLiteral("CSV table (*.csv)"), QStringLiteral("csv"), QStringLiteral("spectrum"),
        [csv](const QString &path, QString *error) { return ExportFile::save(path, csv, error); });
}

void AnalysisActions::chooseJsonFile()
{
    const QByteArray json = reportJson();
    ExportFile::choose(&m_window, QStringLiteral("Save figures as JSON"),
        QStringLiteral("JSON report (*.json)"), QStringLiteral("json"), QStringLiteral("figures"),
        [json](
            const QString &path, QString *error) { return ExportFile::save(path, json, error); });
}

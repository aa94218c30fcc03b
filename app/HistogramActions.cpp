#include "HistogramActions.h"

#include "AnalysisActions.h"
#include "AnalysisWindow.h"
#include "CodeDensityAnalysis.h"
#include "CopyKeyFilter.h"
#include "ExportFile.h"
#include "HistogramCsv.h"
#include "MeasurementState.h"
#include "RecordSidecar.h"
#include "SampleRecordFile.h"
#include "ShortcutAction.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>

#include <algorithm>

HistogramActions::HistogramActions(QWidget &window, const MeasurementState &state)
    : QObject(&window)
    , m_window(window)
    , m_state(state)
{
    m_menu = new QMenu(&window);
    const auto add = [&](const QString &text, const QKeySequence &keys,
                         void (HistogramActions::*slot)()) {
        connect(addShortcutAction(window, *m_menu, text, keys), &QAction::triggered, this, slot);
    };
    add(QStringLiteral("Analysis…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A),
        &HistogramActions::openAnalysis);
    add(QStringLiteral("Copy histogram"), QKeySequence::Copy, &HistogramActions::copyHistogram);
    add(QStringLiteral("Save histogram as CSV…"), QKeySequence::Save,
        &HistogramActions::chooseCsvFile);
    add(QStringLiteral("Save window as PNG…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
        &HistogramActions::choosePngFile);
    add(QStringLiteral("Save samples…"), QKeySequence(), &HistogramActions::chooseSamplesFile);

    // Every text field of the window would take Ctrl+C for itself, even with
    // nothing to copy.
    new CopyKeyFilter(window);
}

void HistogramActions::showMenu(const QPoint &globalPosition)
{
    // Non-blocking, so that START's loop keeps reading while it is open.
    m_menu->popup(globalPosition);
}

std::span<const std::uint64_t> HistogramActions::counts() const
{
    return codeCounts(m_state);
}

bool HistogramActions::histogramSaturated() const
{
    return std::ranges::any_of(counts(), [](std::uint64_t count) { return count > 32767; });
}

void HistogramActions::timerTicked()
{
    m_recordClock.observe(m_state.record.appended(), QDateTime::currentDateTime());
    if (m_analysisWindow && m_analysisWindow->isVisible())
        refreshAnalysis();
}

void HistogramActions::refreshAnalysis()
{
    m_analysisWindow->refresh(counts(), histogramSaturated());
    m_analysisWindow->refreshSamples(m_state.record);
    if (m_analysisActions && m_portStatus)
        m_analysisActions->setStatus(m_portStatus());
}

AnalysisWindow *HistogramActions::analysisWindow() const
{
    return m_analysisWindow;
}

AnalysisActions *HistogramActions::analysisActions() const
{
    return m_analysisActions;
}

void HistogramActions::openAnalysis()
{
    if (!m_analysisWindow) {
        m_analysisWindow = new AnalysisWindow(&m_window);
        m_analysisWindow->setAttribute(Qt::WA_DeleteOnClose);
        m_analysisActions = new AnalysisActions(*m_analysisWindow, *this);
        refreshAnalysis();
    }
    m_analysisWindow->show();
    m_analysisWindow->raise();
    m_analysisWindow->activateWindow();
}

QByteArray HistogramActions::csvText() const
{
    CodeDensityOptions options;
    if (m_analysisWindow)
        options.kind = m_analysisWindow->chosenKind();
    const CodeDensityResult analysis = analyseCodeDensity(counts(), options);
    return QByteArray::fromStdString(histogramCsv(counts(), &analysis));
}

void HistogramActions::copyHistogram()
{
    auto *data = new QMimeData;
    data->setText(QString::fromLatin1(csvText()));
    data->setData(QStringLiteral("text/csv"), csvText());
    QApplication::clipboard()->setMimeData(data);
}

bool HistogramActions::saveCsv(const QString &path, QString *error) const
{
    return ExportFile::save(path, csvText(), error);
}

bool HistogramActions::savePng(const QString &path, QString *error) const
{
    return ExportFile::savePicture(m_window.grab(), path, error);
}

bool HistogramActions::saveSamples(const QString &path, QString *error) const
{
    const std::vector<std::uint16_t> codes = m_state.record.inOrder();
    const std::string contents = path.endsWith(QLatin1String(".npy"), Qt::CaseInsensitive)
        ? sampleRecordNpy(codes)
        : sampleRecordCsv(codes);
    if (!ExportFile::save(path, QByteArray::fromStdString(contents), error))
        return false;
    const QString sidecar = recordSidecarPath(path);
    return ExportFile::save(sidecar, recordSidecarJson(recordSidecar()), error);
}

const SampleRecord &HistogramActions::record() const
{
    return m_state.record;
}

RecordSidecar HistogramActions::recordSidecar() const
{
    RecordSidecar sidecar;
    sidecar.program = QApplication::applicationName();
    sidecar.samples = m_state.record.size();
    sidecar.sampleRate = m_recordClock.sampleRate();
    sidecar.firstSample = m_recordClock.firstOf(m_state.record.size());
    return sidecar;
}

void HistogramActions::chooseCsvFile()
{
    ExportFile::choose(&m_window, QStringLiteral("Save histogram as CSV"),
        QStringLiteral("CSV table (*.csv)"), QStringLiteral("csv"), QStringLiteral("histogram"),
        [this](const QString &path, QString *error) { return saveCsv(path, error); });
}

void HistogramActions::choosePngFile()
{
    // Taken now: the picture is the window as it was when asked for.
    const QPixmap picture = m_window.grab();
    ExportFile::choose(&m_window, QStringLiteral("Save window as PNG"),
        QStringLiteral("PNG image (*.png)"), QStringLiteral("png"), QStringLiteral("window"),
        [picture](const QString &path, QString *error) {
            return ExportFile::savePicture(picture, path, error);
        });
}

void HistogramActions::chooseSamplesFile()
{
    ExportFile::choose(&m_window, QStringLiteral("Save samples"),
        QStringLiteral("NumPy array (*.npy);;CSV table (*.csv)"), QStringLiteral("npy"),
        QStringLiteral("samples"),
        [this](const QString &path, QString *error) { return saveSamples(path, error); });
}

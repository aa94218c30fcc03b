#include "HistogramActions.h"

#include "AnalysisWindow.h"
#include "AtomicFile.h"
#include "CodeDensityAnalysis.h"
#include "HistogramCsv.h"
#include "MeasurementState.h"
#include "SampleRecordFile.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>

#include <algorithm>

HistogramActions::HistogramActions(QWidget &window, const MeasurementState &state)
    : QObject(&window)
    , m_window(window)
    , m_state(state)
{
    m_menu = new QMenu(&window);
    const auto add
        = [&](const QString &text, const QKeySequence &keys, void (HistogramActions::*slot)()) {
              auto *action = new QAction(text, &window);
              action->setShortcut(keys);
              action->setShortcutVisibleInContextMenu(true);
              connect(action, &QAction::triggered, this, slot);
              window.addAction(action);
              m_menu->addAction(action);
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
    for (QLineEdit *field : window.findChildren<QLineEdit *>())
        field->installEventFilter(this);
}

bool HistogramActions::eventFilter(QObject *watched, QEvent *event)
{
    // Qt asks the focused widget first whether it takes a key that is also a
    // shortcut; left unaccepted, the key goes to the shortcut.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *field = qobject_cast<const QLineEdit *>(watched);
        if (field && !field->hasSelectedText()
            && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
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
    if (m_analysisWindow && m_analysisWindow->isVisible()) {
        m_analysisWindow->refresh(counts(), histogramSaturated());
        m_analysisWindow->refreshSamples(m_state.record);
    }
}

AnalysisWindow *HistogramActions::analysisWindow() const
{
    return m_analysisWindow;
}

void HistogramActions::openAnalysis()
{
    if (!m_analysisWindow) {
        m_analysisWindow = new AnalysisWindow(&m_window);
        m_analysisWindow->setAttribute(Qt::WA_DeleteOnClose);
        m_analysisWindow->refresh(counts(), histogramSaturated());
        m_analysisWindow->refreshSamples(m_state.record);
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

namespace {

// The one way both exports reach the disk; a failure is said in one line
// naming the file.
bool saveFile(const QString &path, const QByteArray &contents, QString *error)
{
    QString reason;
    if (writeFileAtomically(path, contents, &reason))
        return true;
    if (error)
        *error = QStringLiteral("Cannot write %1: %2.").arg(path, reason);
    return false;
}

bool savePicture(const QPixmap &picture, const QString &path, QString *error)
{
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG")) {
        if (error)
            *error = QStringLiteral("Cannot write %1: the picture could not be encoded as PNG.")
                         .arg(path);
        return false;
    }
    return saveFile(path, png, error);
}

} // namespace

bool HistogramActions::saveCsv(const QString &path, QString *error) const
{
    return saveFile(path, csvText(), error);
}

bool HistogramActions::savePng(const QString &path, QString *error) const
{
    return savePicture(m_window.grab(), path, error);
}

bool HistogramActions::saveSamples(const QString &path, QString *error) const
{
    const std::vector<std::uint16_t> codes = m_state.record.inOrder();
    const std::string contents = path.endsWith(QLatin1String(".npy"), Qt::CaseInsensitive)
        ? sampleRecordNpy(codes)
        : sampleRecordCsv(codes);
    return saveFile(path, QByteArray::fromStdString(contents), error);
}

// The file dialogs are window-modal but open without a nested event loop, so
// the acquisition goes on reading while the operator picks a name.
void HistogramActions::chooseFile(const QString &title, const QString &filter,
    const QString &suffix, std::function<bool(const QString &path, QString *error)> save)
{
    auto *dialog = new QFileDialog(&m_window, title, QString(), filter);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(suffix);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this,
        [this, save = std::move(save)](const QString &path) {
            QString error;
            if (!save(path, &error))
                reportFailure(error);
        });
    dialog->open();
}

void HistogramActions::chooseCsvFile()
{
    chooseFile(QStringLiteral("Save histogram as CSV"), QStringLiteral("CSV table (*.csv)"),
        QStringLiteral("csv"),
        [this](const QString &path, QString *error) { return saveCsv(path, error); });
}

void HistogramActions::choosePngFile()
{
    // Taken now: the picture is the window as it was when asked for.
    const QPixmap picture = m_window.grab();
    chooseFile(QStringLiteral("Save window as PNG"), QStringLiteral("PNG image (*.png)"),
        QStringLiteral("png"), [picture](const QString &path, QString *error) {
            return savePicture(picture, path, error);
        });
}

void HistogramActions::chooseSamplesFile()
{
    chooseFile(QStringLiteral("Save samples"),
        QStringLiteral("NumPy array (*.npy);;CSV table (*.csv)"), QStringLiteral("npy"),
        [this](const QString &path, QString *error) { return saveSamples(path, error); });
}

void HistogramActions::reportFailure(const QString &message)
{
    auto *box = new QMessageBox(
        QMessageBox::Warning, QStringLiteral("Save"), message, QMessageBox::Ok, &m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

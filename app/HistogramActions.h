#pragma once

#include "RecordClock.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <span>

class AnalysisActions;
class AnalysisWindow;
class SampleRecord;
struct RecordSidecar;
class QAction;
class QMenu;
class QPoint;
class QWidget;
struct MeasurementState;

// What the operator can do with the histogram beyond watching it: open the
// analysis window, copy the histogram as a table, save it as CSV, and save
// the window as a PNG. The actions carry window-wide shortcuts; a focused
// text field still takes the keys it uses itself, except that Ctrl+C copies
// the histogram while the field has no text selected (a fresh window's focus
// is in Text1, where Ctrl+C would otherwise copy nothing).
class HistogramActions : public QObject
{
    Q_OBJECT

public:
    HistogramActions(QWidget &window, const MeasurementState &state);

    // Shows the context menu at a global position.
    void showMenu(const QPoint &globalPosition);
    // Once a second, after the plot: feeds the analysis window the counts and
    // the sample record if it is open.
    void timerTicked();

    // The wide counts of codes 0..4095, as the analysis and the exports take them.
    std::span<const std::uint64_t> counts() const;
    bool histogramSaturated() const;
    // The CSV text: with DNL and INL when the analysis (open or not) finds them.
    QByteArray csvText() const;
    // The exports replace a file whole or not at all; on failure `error` is a
    // line naming the file and the system's reason.
    bool saveCsv(const QString &path, QString *error = nullptr) const;
    bool savePng(const QString &path, QString *error = nullptr) const;
    // The sample record, oldest first: NumPy .npy when the name ends in .npy,
    // else CSV (sample,code), with its rate and first time in "<path>.json".
    bool saveSamples(const QString &path, QString *error = nullptr) const;
    const SampleRecord &record() const;
    RecordSidecar recordSidecar() const;

    // Asked once a second for what the analysis window's status line says
    // about the port; empty when all is well.
    void setPortStatus(std::function<QString()> status) { m_portStatus = std::move(status); }

    AnalysisWindow *analysisWindow() const; // null until opened, and after it is closed
    AnalysisActions *analysisActions() const; // the analysis window's; null with it
    QMenu *menu() const { return m_menu; }

public slots:
    void openAnalysis();
    void copyHistogram();
    void chooseCsvFile();
    void choosePngFile();
    void chooseSamplesFile();

private:
    void refreshAnalysis();

    QWidget &m_window;
    const MeasurementState &m_state;
    QMenu *m_menu = nullptr;
    QPointer<AnalysisWindow> m_analysisWindow;
    QPointer<AnalysisActions> m_analysisActions;
    RecordClock m_recordClock;
    std::function<QString()> m_portStatus;
};

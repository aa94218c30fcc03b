#pragma once

#include "LimitCheck.h"
#include "LimitsFile.h"

#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

struct CodeDensityResult;
struct DynamicResult;
class QLabel;
class QLineEdit;

// The analysis window's verdict: the limits file adcapture reads (chosen
// with "Limits...", remembered between sessions), each limit's verdict
// beside the figure it holds, and one line over all of them. A file that
// cannot be read is said in one line, the file's line included, and the
// limits in force stay as they were.
class LimitVerdictPanel : public QWidget
{
    Q_OBJECT

public:
    // The settings key of the file last read.
    static inline const QString settingsKey = QStringLiteral("analysis/limitsFile");

    // Reads the file last chosen, when there was one.
    explicit LimitVerdictPanel(QWidget *parent = nullptr);

    // Reads the limits of `path`; false, the reason shown, when they cannot
    // be read.
    bool loadLimits(const QString &path);
    // The figures held against the limits.
    void showVerdict(const CodeDensityResult &codeDensity, const DynamicResult &dynamic);

    const std::optional<LimitsFile> &limitsFile() const { return m_file; }
    const std::vector<LimitOutcome> &outcomes() const { return m_outcomes; }
    QString message() const;
    QString verdictLine() const;
    QString tableText() const;

signals:
    // Other limits are in force.
    void limitsChanged();

private:
    void chooseFile();

    QLineEdit *m_path = nullptr;
    QLabel *m_message = nullptr;
    QLabel *m_verdict = nullptr;
    QLabel *m_table = nullptr;
    std::optional<LimitsFile> m_file;
    std::vector<LimitOutcome> m_outcomes;
};

#pragma once

#include <QObject>
#include <QString>

class AnalysisWindow;
class HistogramActions;
class QLabel;
class QMenu;

// What the operator can take out of the analysis window: the figures copied
// as a table a spreadsheet pastes, the window as PNG, the DNL and INL per
// code and the spectrum as CSV, and the figures as the JSON report adcapture
// writes. A context menu and window-wide shortcuts offer them. It also keeps
// the window's status line, where a lost port is told.
class AnalysisActions : public QObject
{
    Q_OBJECT

public:
    // `source` gives the counts and the sample record the window shows.
    AnalysisActions(AnalysisWindow &window, const HistogramActions &source);

    // The histogram's figures, then the sample record's: "name<TAB>value" lines.
    QString figuresText() const;
    // code,count,dnl_lsb,inl_lsb,inl_best_fit_lsb: the histogram table with
    // the analysis the window shows.
    QByteArray linearityCsv() const;
    // bin,frequency,dbfs of the last spectrum, frequency in Hz when the rate
    // is known; only the header without a spectrum.
    QByteArray spectrumCsv() const;
    QByteArray reportJson() const;

    bool savePng(const QString &path, QString *error = nullptr) const;

    // The status line under the tabs; hidden when empty.
    void setStatus(const QString &text);
    QString status() const;
    QMenu *menu() const { return m_menu; }

public slots:
    void copyFigures();
    void choosePngFile();
    void chooseLinearityFile();
    void chooseSpectrumFile();
    void chooseJsonFile();

private:
    AnalysisWindow &m_window;
    const HistogramActions &m_source;
    QMenu *m_menu = nullptr;
    QLabel *m_status = nullptr;
};

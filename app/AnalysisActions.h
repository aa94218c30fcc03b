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
// writes. A context menu and window-wide shortcuts offer them, and the
// comparison with a known board's saved histogram or record. It also keeps
// the window's status line, where a lost port and an unreadable reference
// are told.
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

    // Compares the window with the histogram CSV or sample record at `path`;
    // false, the comparison as it was and the reason on the status line when
    // the file cannot be read or is of another resolution.
    bool compareWith(const QString &path);

    // What the status line says of the port; empty when all is well.
    void setStatus(const QString &text);
    // The status line under the tabs, the port's line then the comparison's;
    // hidden when empty.
    QString status() const;
    QMenu *menu() const { return m_menu; }

public slots:
    void copyFigures();
    void choosePngFile();
    void chooseLinearityFile();
    void chooseSpectrumFile();
    void chooseJsonFile();
    void chooseReferenceFile();
    void clearComparison();

private:
    AnalysisWindow &m_window;
    const HistogramActions &m_source;
    QMenu *m_menu = nullptr;
    QLabel *m_status = nullptr;
    QString m_portStatus;
    QString m_comparisonStatus; // why the last reference was refused

    void showStatus();
};

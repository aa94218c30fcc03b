#pragma once

#include "MeasurementState.h"

#include <QWidget>

#include <memory>

class AcquisitionLoop;
class ClickableLabel;
class HistogramActions;
class LampShape;
class PlotArea;
class QFont;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QtSerialLink;
class QtWindowToolkit;

// The program's only window. It holds every control under its numbered name,
// owns the measurement state, and turns each operator action into one
// operation.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    // `port1Device` is the device START opens as port 1; empty: chosen by
    // choosePort1Device().
    explicit Form1(QWidget *parent = nullptr, const QString &port1Device = {});
    ~Form1() override;

    MeasurementState &measurement() { return m_state; }
    QtWindowToolkit &toolkit() { return *m_toolkit; }
    QtSerialLink &serialLink() { return *Comm1; }
    const AcquisitionLoop &acquisition() const { return *m_acquisition; }
    HistogramActions &histogramActions() { return *m_histogramActions; }

protected:
    void closeEvent(QCloseEvent *event) override;
    // Right-clicks on the plot area and the window background; the text
    // fields keep their own menu.
    void contextMenuEvent(QContextMenuEvent *event) override;

private slots:
    void startClicked();
    void exitClicked();
    void resetClicked();
    void setClicked();
    void makerCaptionClicked();
    void timerTicked();

private:
    void createControls();
    void createPlotControls();
    void setTabOrder();
    void connectEvents();
    void load();

    QLineEdit *createField(const char *name, QRect twips, const QFont &font);
    QLabel *createLabel(const char *name, const QString &text, QRect twips, Qt::Alignment alignment,
        const QFont &font);
    QPushButton *createButton(const char *name, const QString &text, QRect twips);

    PlotArea *Picture1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QLineEdit *Text3 = nullptr;
    QLineEdit *Text4 = nullptr;
    QLineEdit *Text5 = nullptr;
    QLineEdit *Text6 = nullptr;
    QLineEdit *Text7 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *Label9 = nullptr;
    ClickableLabel *Label10 = nullptr;
    QLabel *Label11 = nullptr;
    QLabel *Label12 = nullptr;
    QLabel *Label13 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command4 = nullptr;
    LampShape *Shape1 = nullptr;
    QTimer *Timer1 = nullptr;
    std::unique_ptr<QtSerialLink> Comm1;

    MeasurementState m_state;
    std::unique_ptr<QtWindowToolkit> m_toolkit;
    std::unique_ptr<AcquisitionLoop> m_acquisition;
    HistogramActions *m_histogramActions = nullptr;
};

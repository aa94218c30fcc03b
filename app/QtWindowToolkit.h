#pragma once

#include "HeldOutputs.h"
#include "WindowToolkit.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaObject>
#include <QString>

#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QWidget;
class LampShape;
class PlotArea;
class RepaintPacer;

// The controls of the main window that the logic reaches.
struct ToolkitControls
{
    std::array<QLineEdit *, 7> fields {}; // Text1 .. Text7
    std::array<QLabel *, 3> captions {}; // Label4, Label11, Label5
    LampShape *lamp = nullptr;
    PlotArea *plot = nullptr;
    RepaintPacer *pacer = nullptr; // its repaints push the output fields and the lamp
};

// The window operations on Qt widgets, with the event pump of the running
// QApplication.
class QtWindowToolkit : public WindowToolkit
{
public:
    // Called to end the program: status 0 for a normal end, non-zero with the
    // message to show for a failure. The default shows the message in a box
    // and ends the process at once.
    using ExitHandler = std::function<void(int status, const QString &message)>;

    explicit QtWindowToolkit(const ToolkitControls &controls);
    ~QtWindowToolkit() override;

    void setExitHandler(ExitHandler handler) { m_exitHandler = std::move(handler); }
    // Shows a non-empty message in a box over `window`, then ends the process.
    static void exitProcess(int status, const QString &message, QWidget *window = nullptr);

    std::string fieldText(TextField field) const override;
    void setFieldText(TextField field, std::string_view text) override;
    void setFieldNumber(TextField field, std::int64_t value) override;
    void setCaption(CaptionLabel label, std::string_view text) override;
    void setLampColour(Rgb colour) override;
    void clearPlot() override;
    float plotWidth() const override;
    void drawPlotLine(int x1, int y1, int x2, int y2, Rgb colour) override;
    void yieldToEvents() override;
    void waitForEvents() override;
    void endProgram() override;
    void endWithError(std::string_view message) override;
    bool programEnded() const override { return m_ended; }

    // A yield pumps events only when this much time has passed since the last
    // pump. A pump costs system calls; a character costs nanoseconds. Nobody
    // can tell a click handled a fraction of a millisecond later.
    static constexpr qint64 pumpIntervalNs = 200'000;
    // Input that trickles in (a line at 9600 baud brings a character a
    // millisecond) is let gather this long between waits, so that the thread
    // wakes fifty times a second rather than once per character. A click
    // waits no longer than this, which is still too short to notice.
    static constexpr qint64 gatherIntervalNs = 20'000'000;

private:
    QLineEdit *field(TextField field) const;
    void pumpEvents(QEventLoop::ProcessEventsFlags flags);

    ToolkitControls m_controls;
    HeldOutputs m_outputs;
    QMetaObject::Connection m_pushOnRepaint;
    QElapsedTimer m_sinceLastPump;
    QElapsedTimer m_sinceLastWait;
    int m_yieldsSinceClockRead = 0;
    int m_yieldsSinceWait = 0;
    ExitHandler m_exitHandler
        = [](int status, const QString &message) { exitProcess(status, message); };
    bool m_ended = false;
};

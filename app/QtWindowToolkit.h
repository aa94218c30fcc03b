#pragma once

#include "HeldOutputs.h"
#include "PacedEventPump.h"
#include "WindowToolkit.h"

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
    // Shows a non-empty message in a box over `window`, with `details` under
    // it, then ends the process.
    static void exitProcess(
        int status, const QString &message, QWidget *window = nullptr, const QString &details = {});

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

private:
    QLineEdit *field(TextField field) const;

    ToolkitControls m_controls;
    HeldOutputs m_outputs;
    QMetaObject::Connection m_pushOnRepaint;
    PacedEventPump m_pump;
    ExitHandler m_exitHandler
        = [](int status, const QString &message) { exitProcess(status, message); };
    bool m_ended = false;
};

#pragma once

#include "WindowToolkit.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class PacedEventPump;

// The window operations without a window, for programs that run the
// acquisition loop unattended. The output fields and the lamp are held as
// values (a number as it was given, formatted only when read), captions and
// drawing go nowhere, and the event pump runs the QCoreApplication's events
// (the serial port's arrivals, timers, signal notifiers) at the window's
// pace. The program ends when its owner asks, when the loop reports a
// failure, or through endProgram(); the running loop then unwinds.
class HeadlessToolkit : public WindowToolkit
{
public:
    HeadlessToolkit();
    ~HeadlessToolkit() override;
    HeadlessToolkit(const HeadlessToolkit &) = delete;
    HeadlessToolkit &operator=(const HeadlessToolkit &) = delete;

    // Makes programEnded() true, keeping the first reason given.
    void requestEnd(int status, std::string_view message = {});
    int endStatus() const { return m_endStatus; }
    const std::string &endMessage() const { return m_endMessage; }
    Rgb lampColour() const { return m_lamp; }

    std::string fieldText(TextField field) const override;
    void setFieldText(TextField field, std::string_view text) override;
    void setFieldNumber(TextField field, std::int64_t value) override;
    void setCaption(CaptionLabel, std::string_view) override { }
    void setLampColour(Rgb colour) override { m_lamp = colour; }
    void clearPlot() override { }
    float plotWidth() const override { return 8000; }
    void drawPlotLine(int, int, int, int, Rgb) override { }
    void yieldToEvents() override;
    void waitForEvents() override;
    void endProgram() override { requestEnd(0); }
    void endWithError(std::string_view message) override { requestEnd(1, message); }
    bool programEnded() const override { return m_ended; }

private:
    struct Field
    {
        std::string text;
        std::optional<std::int64_t> number; // set: shown instead of text
    };
    std::array<Field, 7> m_fields;
    Rgb m_lamp;
    std::unique_ptr<PacedEventPump> m_pump; // the event loop stays behind the toolkit
    bool m_ended = false;
    int m_endStatus = 0;
    std::string m_endMessage;
};

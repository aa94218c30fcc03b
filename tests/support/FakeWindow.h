#pragma once

#include "WindowToolkit.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

// A window without widgets: it keeps the texts, records what is drawn, and
// runs a test's own code where the real window would run pending handlers.
class FakeWindow : public WindowToolkit
{
public:
    struct Line
    {
        int x1, y1, x2, y2;
        Rgb colour;
        friend bool operator==(const Line &, const Line &) = default;
    };

    std::array<std::string, 7> fields;
    std::array<int, 7> fieldWrites {}; // how often the program wrote each field
    std::array<std::string, 3> captions;
    Rgb lamp {};
    std::vector<Line> lines;
    int clears = 0;
    float width = 8000;
    int yields = 0;
    int waits = 0;
    int endStatus = -1;
    std::string endMessage;
    // Runs at every yield and wait, standing in for the handlers the window
    // would run there.
    std::function<void()> onYield;
    // After each yield and wait, this many yields may pass as a count, as a
    // paced window lets them; passedYields adds up those that did.
    int yieldsLetPass = 0;
    int passedYields = 0;

    std::string &field(TextField f) { return fields[static_cast<std::size_t>(f)]; }
    std::string &caption(CaptionLabel c) { return captions[static_cast<std::size_t>(c)]; }

    std::string fieldText(TextField f) const override
    {
        return fields[static_cast<std::size_t>(f)];
    }
    void setFieldText(TextField f, std::string_view text) override
    {
        field(f) = text;
        ++fieldWrites[static_cast<std::size_t>(f)];
    }
    void setCaption(CaptionLabel c, std::string_view text) override { caption(c) = text; }
    void setLampColour(Rgb colour) override { lamp = colour; }
    void clearPlot() override
    {
        ++clears;
        lines.clear();
    }
    float plotWidth() const override { return width; }
    void drawPlotLine(int x1, int y1, int x2, int y2, Rgb colour) override
    {
        lines.push_back({x1, y1, x2, y2, colour});
    }
    void yieldToEvents() override
    {
        ++yields;
        runHandlers();
    }
    void waitForEvents() override
    {
        ++waits;
        runHandlers();
    }
    void endProgram() override { endStatus = 0; }
    void endWithError(std::string_view message) override
    {
        endStatus = 1;
        endMessage = message;
    }
    bool programEnded() const override { return endStatus >= 0; }

private:
    void runHandlers()
    {
        passedYields += takePassedYields();
        if (onYield)
            onYield();
        letYieldsPass(yieldsLetPass);
    }
};

#pragma once

#include "NumberText.h"
#include "Rgb.h"

#include <cstdint>

#include <string>
#include <string_view>

// The text fields of the main window, by the names its controls have.
enum class TextField {
    Text1, // the last reading
    Text2, // the smallest reading
    Text3, // the largest reading
    Text4, // TIMES: frames counted since START or RESET
    Text5, // Start: the first code the plot shows
    Text6, // End: the last code the plot shows
    Text7, // Top: the count that reaches the top of the plot
};

// The captions under the plot that show the display window.
enum class CaptionLabel {
    Label4, // the start code, at the left
    Label11, // the centre code
    Label5, // the end code, at the right
};

// Everything the measurement and acquisition logic asks of the window. The Qt
// window implements it; tests use small fakes.
class WindowToolkit
{
public:
    virtual ~WindowToolkit() = default;

    virtual std::string fieldText(TextField field) const = 0;
    // Replaces the whole text; the field's change handler runs as for typing.
    virtual void setFieldText(TextField field, std::string_view text) = 0;
    // setFieldText with the number's decimal text. A window that shows it
    // later may keep the number and format it only then.
    virtual void setFieldNumber(TextField field, std::int64_t value)
    {
        setFieldText(field, IntegerText(value));
    }
    virtual void setCaption(CaptionLabel label, std::string_view text) = 0;
    // Fill colour of the frame lamp.
    virtual void setLampColour(Rgb colour) = 0;

    // Erases all drawing in the plot area to its background colour.
    virtual void clearPlot() = 0;
    // Outer width of the plot area in twips.
    virtual float plotWidth() const = 0;
    // A one-pixel solid line between two points in twips relative to the plot
    // area; what falls outside the area is clipped.
    virtual void drawPlotLine(int x1, int y1, int x2, int y2, Rgb colour) = 0;

    // Runs every pending event handler (clicks, field changes, timer ticks) to
    // completion on this thread, then returns.
    virtual void yieldToEvents() = 0;
    // As yieldToEvents, but when nothing is pending it first sleeps until
    // something happens: input arrives, the operator acts, or a timer is due.
    virtual void waitForEvents() = 0;
    // How many yields from now run nothing: the toolkit's pacing lets them
    // pass as a count. A loop that yields per character counts them itself
    // and tells passYields, so that most yields cost no call; the next one
    // goes to yieldToEvents.
    int quietYields() const { return m_quietYields; }
    // Counts `count` yields, no more than quietYields(), as passed.
    void passYields(int count)
    {
        m_quietYields -= count;
        m_yieldsPassed += count;
    }

    // Ends the program at once with exit status 0. The real window never
    // returns from it; a test double may return, and then programEnded() tells
    // running loops to unwind.
    virtual void endProgram() = 0;
    // Shows `message` to the operator and ends the program with a non-zero
    // status, as endProgram does.
    virtual void endWithError(std::string_view message) = 0;
    virtual bool programEnded() const = 0;

protected:
    // Lets the next `count` yields pass as a count; none by default.
    void letYieldsPass(int count) { m_quietYields = count; }
    // The yields passYields counted since the last call.
    int takePassedYields()
    {
        const int passed = m_yieldsPassed;
        m_yieldsPassed = 0;
        return passed;
    }

private:
    int m_quietYields = 0;
    int m_yieldsPassed = 0;
};

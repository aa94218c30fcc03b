#include "AcquisitionLoop.h"

#include "AcquisitionObserver.h"
#include "FrameDecoder.h"
#include "MeasurementState.h"
#include "SerialLink.h"
#include "SerialLinkSetup.h"
#include "WindowToolkit.h"

#include <array>
#include <limits>

namespace {

constexpr char startOfFrame = '\x02'; // STX
constexpr char endOfFrame = '\r';

constexpr Rgb collectingColour {255, 255, 128}; // light yellow
constexpr Rgb completeColour {0, 255, 0}; // green

// Counters stop at their limit rather than wrap: a bench run that long keeps
// everything it has shown.
template<typename T> void incrementSaturating(T &counter)
{
    if (counter < std::numeric_limits<T>::max())
        ++counter;
}

// The part of a frame that decoding reads: its first three characters. What
// follows is read but not kept, so a frame that never ends costs nothing.
class FrameHead
{
public:
    void append(char character)
    {
        if (m_length < m_characters.size())
            m_characters[m_length++] = character;
    }
    void clear() { m_length = 0; }
    std::string_view text() const { return {m_characters.data(), m_length}; }

private:
    std::array<char, 3> m_characters {};
    std::size_t m_length = 0;
};

} // namespace

AcquisitionLoop::AcquisitionLoop(MeasurementState &state, WindowToolkit &window, SerialLink &link)
    : m_state(state)
    , m_window(window)
    , m_link(link)
{ }

void AcquisitionLoop::startAcquisition()
{
    if (!beginRun())
        return;
    if (m_running) {
        // Pressed inside the running loop's yield: it restarts in place.
        m_restartRequested = true;
        return;
    }
    m_running = true;
    run();
    m_running = false;
}

// Resets the counters and extremes and the display window to its full-range
// default (the histogram and the setting fields stay), then opens the link
// and starts a new sample record.
bool AcquisitionLoop::beginRun()
{
    m_state.minCode = highestCode;
    m_state.maxCode = lowestCode;
    m_state.frameCount = 0;
    m_state.centerCode = 2048;
    m_state.spanCodes = 4096;
    m_state.fullScaleCount = 100;
    if (openSerialLink(m_link)) {
        // The record of the run before is dropped only once the port is
        // open: a START that fails ends the program, and the record is kept
        // until then.
        m_state.record.clear();
        m_portLostTold = false;
        return true;
    }
    m_window.endWithError(m_link.errorString());
    return false;
}

void AcquisitionLoop::run()
{
    FrameHead frame;
    bool collecting = false;
    while (!m_window.programEnded()) {
        if (m_restartRequested) {
            m_restartRequested = false;
            frame.clear();
            collecting = false;
        }
        if (m_link.available() == 0) {
            waitForInput();
            continue;
        }
        const char character = m_link.readChar();
        if (!collecting) {
            // Hunting: everything before STX is discarded, without yielding
            // between characters that are already waiting.
            if (character == startOfFrame) {
                frameStarted();
                collecting = true;
            }
            continue;
        }
        frame.append(character); // an STX inside a frame is an ordinary character
        if (character != endOfFrame) {
            m_window.yieldToEvents();
            continue;
        }
        // No yield from here to the histogram: no handler sees half a frame.
        frameCompleted(frame.text());
        frame.clear();
        collecting = false;
    }
}

// The link has nothing waiting. One that closed by itself will bring no more
// until START opens it again; whoever runs the loop hears of it once, and the
// loop goes on waiting, as the window's loop does.
void AcquisitionLoop::waitForInput()
{
    if (m_observer && !m_portLostTold && !m_link.isOpen()) {
        m_portLostTold = true;
        m_observer->portLost();
        return; // the observer may have ended the program
    }
    m_window.waitForEvents();
}

// A frame is counted when it starts.
void AcquisitionLoop::frameStarted()
{
    m_window.setLampColour(collectingColour);
    incrementSaturating(m_state.frameCount);
    m_window.setFieldNumber(TextField::Text4, m_state.frameCount);
}

void AcquisitionLoop::frameCompleted(std::string_view frame)
{
    m_window.setLampColour(completeColour);
    const int code = decodeSample(frame);
    m_window.setFieldNumber(TextField::Text1, code);
    if (code < m_state.minCode) {
        m_state.minCode = code;
        m_window.setFieldNumber(TextField::Text2, code);
    }
    if (code > m_state.maxCode) {
        m_state.maxCode = code;
        m_window.setFieldNumber(TextField::Text3, code);
    }
    incrementSaturating(m_state.histogram[code]);
    ++m_state.wideCounts[code];
    m_state.record.append(static_cast<std::uint16_t>(code));
    if (m_observer)
        m_observer->frameCompleted(code);
}

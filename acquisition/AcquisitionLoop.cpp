#include "AcquisitionLoop.h"

#include "AcquisitionObserver.h"
#include "FrameDecoder.h"
#include "MeasurementState.h"
#include "SerialLink.h"
#include "SerialLinkSetup.h"
#include "WindowToolkit.h"

#include <algorithm>
#include <array>
#include <cstdint>
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
// Packed into one integer, so that the loop keeps it in a register.
class FrameHead
{
public:
    void append(char character)
    {
        if (m_length < maxLength)
            m_packed |= std::uint32_t(std::uint8_t(character)) << (8 * m_length++);
    }
    void clear()
    {
        m_packed = 0;
        m_length = 0;
    }
    int decode() const
    {
        std::array<char, maxLength> characters {};
        for (unsigned i = 0; i < m_length; ++i)
            characters[i] = char(m_packed >> (8 * i));
        return decodeSample({characters.data(), m_length});
    }

private:
    static constexpr unsigned maxLength = 3;
    std::uint32_t m_packed = 0;
    unsigned m_length = 0;
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

// The loop scans the characters the link holds in place. Before it calls out
// (a frame starts or ends, a yield may run handlers) it marks the characters
// taken as read, and afterwards it asks the link afresh: a handler may have
// pressed START, ended the program, or dropped or added input.
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
        const std::string_view waiting = m_link.received();
        if (waiting.empty()) {
            waitForInput();
            continue;
        }
        if (!collecting) {
            // Hunting: everything before STX is discarded, without yielding
            // between characters that are already waiting. In a clean stream
            // STX is the first character.
            const std::size_t start
                = waiting.front() == startOfFrame ? 0 : waiting.find(startOfFrame);
            if (start == std::string_view::npos) {
                m_link.consume(waiting.size());
                continue;
            }
            m_link.consume(start + 1);
            frameStarted();
            collecting = true;
            continue;
        }
        // Collecting: a yield after every character but CR. The window lets
        // most pass as a count; the first it does not is a call.
        const std::size_t quiet = static_cast<std::size_t>(std::max(m_window.quietYields(), 0));
        std::size_t taken = 0;
        std::size_t passed = 0;
        char character = 0;
        bool yieldDue = false;
        while (taken < waiting.size()) {
            character = waiting[taken++];
            frame.append(character); // an STX inside a frame is an ordinary character
            if (character == endOfFrame)
                break;
            if (passed == quiet) {
                yieldDue = true;
                break;
            }
            ++passed;
        }
        m_window.passYields(static_cast<int>(passed));
        m_link.consume(taken);
        if (yieldDue) {
            m_window.yieldToEvents();
        } else if (character == endOfFrame) {
            // No yield from here to the histogram: no handler sees half a
            // frame.
            frameCompleted(frame.decode());
            frame.clear();
            collecting = false;
        }
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

void AcquisitionLoop::frameCompleted(int code)
{
    m_window.setLampColour(completeColour);
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

#include "AcquisitionLoop.h"

#include "acquisition/FrameDecoder.h"
#include "measurement/MeasurementState.h"
#include "platform/NumberText.h"
#include "platform/SerialLink.h"
#include "platform/SerialLinkSetup.h"
#include "platform/WindowToolkit.h"

#include <limits>
#include <string>

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

} // namespace

AcquisitionLoop::AcquisitionLoop(MeasurementState &state, WindowToolkit &window, SerialLink &link)
    : state_(state)
    , window_(window)
    , link_(link)
{ }

void AcquisitionLoop::startAcquisition()
{
    if (!beginRun())
        return;
    if (running_) {
        // Pressed inside the running loop's yield: it restarts in place.
        restartRequested_ = true;
        return;
    }
    running_ = true;
    run();
    running_ = false;
}

// Resets the counters and extremes and the display window to its full-range
// default (the histogram and the setting fields stay), then opens the link.
bool AcquisitionLoop::beginRun()
{
    state_.minCode = highestCode;
    state_.maxCode = lowestCode;
    state_.frameCount = 0;
    state_.centerCode = 2048;
    state_.spanCodes = 4096;
    state_.fullScaleCount = 100;
    if (openSerialLink(link_))
        return true;
    window_.endWithError(link_.errorString());
    return false;
}

void AcquisitionLoop::run()
{
    std::string frame;
    bool collecting = false;
    while (!window_.programEnded()) {
        if (restartRequested_) {
            restartRequested_ = false;
            frame.clear();
            collecting = false;
        }
        if (link_.available() == 0) {
            window_.waitForEvents();
            continue;
        }
        const char character = link_.readChar();
        if (!collecting) {
            // Hunting: everything before STX is discarded, without yielding
            // between characters that are already waiting.
            if (character == startOfFrame) {
                frameStarted();
                collecting = true;
            }
            continue;
        }
        frame.push_back(character); // an STX inside a frame is an ordinary character
        if (character != endOfFrame) {
            window_.yieldToEvents();
            continue;
        }
        // No yield from here to the histogram: no handler sees half a frame.
        frameCompleted(frame);
        frame.clear();
        collecting = false;
    }
}

// A frame is counted when it starts.
void AcquisitionLoop::frameStarted()
{
    window_.setLampColour(collectingColour);
    incrementSaturating(state_.frameCount);
    window_.setFieldText(TextField::Text4, formatNumber(state_.frameCount));
}

void AcquisitionLoop::frameCompleted(std::string_view frame)
{
    window_.setLampColour(completeColour);
    const int code = decodeSample(frame);
    window_.setFieldText(TextField::Text1, formatNumber(code));
    if (code < state_.minCode) {
        state_.minCode = code;
        window_.setFieldText(TextField::Text2, formatNumber(code));
    }
    if (code > state_.maxCode) {
        state_.maxCode = code;
        window_.setFieldText(TextField::Text3, formatNumber(code));
    }
    incrementSaturating(state_.histogram[code]);
}

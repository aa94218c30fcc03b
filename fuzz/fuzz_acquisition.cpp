// START's loop fed any byte stream, with RESET, SET, the demonstration
// pattern, timer ticks and further STARTs interleaved at its yields. The
// simulator's model of the frame format, independent of the loop, says what
// it must show.
#include "FakeSerialLink.h"
#include "FuzzInput.h"
#include "PlotChecks.h"
#include "TestHelpers.h"

#include "AcquisitionLoop.h"
#include "FieldLimits.h"
#include "HistogramPlot.h"
#include "MeasurementOperations.h"
#include "MeasurementState.h"
#include "NumberText.h"
#include "ReceiverModel.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// What a receiver of the frame format has seen, from the simulator's model of
// it: frames opened since the counters were last reset, frames completed, and
// the reading of the last one.
struct FrameModel
{
    ReceiverModel sinceStart; // START begins a fresh receiver
    std::uint64_t openedAtReset = 0;
    std::uint64_t completedBeforeStart = 0;
    std::string frame;
    int lastCode = -1;

    void receive(char c)
    {
        const bool inside = sinceStart.insideFrame();
        sinceStart.feed(std::string_view(&c, 1));
        if (!inside)
            return;
        frame.push_back(c);
        if (!sinceStart.insideFrame()) {
            lastCode = ReceiverModel::decodeFrame(frame);
            frame.clear();
        }
    }
    long long opened() const { return sinceStart.expectation().framesOpened - openedAtReset; }
    long long completed() const
    {
        return completedBeforeStart + sinceStart.expectation().framesCompleted;
    }
    void reset() { openedAtReset = sinceStart.expectation().framesOpened; }
    void restart()
    {
        completedBeforeStart = completed();
        sinceStart = ReceiverModel();
        openedAtReset = 0;
        frame.clear();
    }
};

struct ModelledLink : FakeSerialLink
{
    FrameModel *model = nullptr;
    void consume(std::size_t count) override
    {
        for (const char c : received().substr(0, count))
            model->receive(c);
        FakeSerialLink::consume(count);
    }
};

struct CheckingWindow : PlotCheckingWindow
{
    FrameModel *model = nullptr;
    void setFieldText(TextField field, std::string_view text) override
    {
        PlotCheckingWindow::setFieldText(field, text);
        if (field == TextField::Text1) // the loop shows each reading it decodes
            check(parseNumber(text) == model->lastCode);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput input(data, size);
    FrameModel model;
    MeasurementState state;
    CheckingWindow window;
    ModelledLink link;
    window.model = &model;
    link.model = &model;
    AcquisitionLoop loop(state, window, link);

    window.setFieldText(TextField::Text5, "0");
    window.setFieldText(TextField::Text6, "4095");
    window.setFieldText(TextField::Text7, "100");
    resetMeasurement(state, window);
    // The histogram's sum is what it held when last cleared or overwritten,
    // plus the frames completed since.
    long long sumAtBase = 0;
    long long completedAtBase = 0;
    const auto rebase = [&] {
        sumAtBase = histogramSum(state);
        completedAtBase = model.completed();
    };

    window.onYield = [&] {
        // Everything the loop showed so far must agree with the model; only a
        // saturated bin may hold the sum back.
        check(state.frameCount == model.opened());
        if (histogramSum(state) != sumAtBase + model.completed() - completedAtBase) {
            check(std::any_of(state.histogram.begin(), state.histogram.begin() + 4096,
                [](std::int16_t bin) { return bin == 32767; }));
        }

        if (input.empty()) {
            if (link.available() == 0) // the loop has read everything it was sent
                window.endProgram();
            return;
        }
        switch (input.byte() % 10) {
        case 0:
        case 1:
        case 2: {
            const std::string bytes = input.text(64);
            link.feed(bytes);
            break;
        }
        case 3: { // a well-formed frame
            char body[4];
            std::snprintf(body, sizeof body, "%03X", input.int16() & 0xfff);
            link.feed(frame(body));
            break;
        }
        case 4: // RESET
            resetMeasurement(state, window);
            model.reset();
            rebase();
            break;
        case 5: // SET, after typing into the setting fields
            for (TextField field : {TextField::Text5, TextField::Text6, TextField::Text7}) {
                window.setFieldText(field, input.text(12));
                applyFieldLimit(window, field);
            }
            applyDisplayWindow(state, window);
            check(state.startCode >= 0 && state.startCode < state.endCode && state.endCode <= 4096);
            check(state.spanCodes == state.endCode - state.startCode);
            break;
        case 6: // the maker caption
            loadDemoPattern(state);
            rebase();
            break;
        case 7: // START again: the partial frame and pending input are dropped
            loop.startAcquisition();
            model.restart();
            check(link.available() == 0);
            break;
        default: // Timer1
            redrawHistogram(state, window);
            break;
        }
    };

    loop.startAcquisition();
    check(std::all_of(
        state.histogram.begin(), state.histogram.end(), [](std::int16_t bin) { return bin >= 0; }));
    return 0;
}

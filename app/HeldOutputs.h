#pragma once

#include "Rgb.h"

#include <QColor>
#include <QElapsedTimer>
#include <QTimer>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class LampShape;
class QLineEdit;

// The output fields' texts and the lamp's colour as the program last set them,
// pushed to the widgets at most every pushIntervalMs, and on every repaint of
// the window. START's loop sets them for every frame, thousands of times
// between two repaints, and only the last value of each is ever painted; a
// QLineEdit lays its text out on every setText, which would cost far more than
// reading the frame. Reads through text() are exact; whatever reads the
// widgets sees the value of the last push, at most one repaint behind.
//
// While the window is hidden nothing is painted, so values go straight to the
// widgets.
class HeldOutputs
{
public:
    static constexpr std::size_t fieldCount = 4; // Text1 .. Text4
    // Ten readings a second, as a meter's display shows them: faster is a blur
    // to the eye anyway. At a line's pace each push is a repaint, and the
    // fields' text layout and painting are most of the program's work there.
    static constexpr int pushIntervalMs = 100;

    HeldOutputs(const std::array<QLineEdit *, fieldCount> &fields, LampShape *lamp);

    void setText(std::size_t field, std::string_view text);
    // As setText with the number's decimal text, formatted only when pushed
    // or read.
    void setNumber(std::size_t field, std::int64_t value);
    std::string text(std::size_t field) const;
    void setLampColour(Rgb colour);

    // Writes what changed since the last push to the widgets.
    void push();

private:
    struct HeldText
    {
        std::string text; // unless isNumber
        std::int64_t number = 0; // when isNumber
        bool isNumber = false;
        bool pending = false;
    };

    bool holdingAllowed() const;
    void holdText(std::size_t field);
    void schedulePush();
    void pushText(std::size_t field);
    void pushLamp();

    std::array<QLineEdit *, fieldCount> m_fields;
    LampShape *m_lamp;
    std::array<HeldText, fieldCount> m_texts;
    Rgb m_lampColour {};
    bool m_lampPending = false;
    QElapsedTimer m_sinceLastPush;
    QTimer m_pushDue;
    // Mirrors m_pushDue being active: the loop asks several times per frame,
    // and a flag is cheaper to ask than the timer.
    bool m_pushScheduled = false;
};

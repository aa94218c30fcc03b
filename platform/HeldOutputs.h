#pragma once

#include "platform/Rgb.h"

#include <QColor>
#include <QElapsedTimer>
#include <QTimer>

#include <array>
#include <cstddef>
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
    // Numbers changing faster than this are a blur to the eye anyway; at a
    // line's pace each push is a repaint.
    static constexpr int pushIntervalMs = 40;

    HeldOutputs(const std::array<QLineEdit *, fieldCount> &fields, LampShape *lamp);

    void setText(std::size_t field, std::string_view text);
    std::string text(std::size_t field) const;
    void setLampColour(Rgb colour);

    // Writes what changed since the last push to the widgets.
    void push();

private:
    struct HeldText
    {
        std::string text;
        bool pending = false;
    };

    bool holdingAllowed() const;
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
};

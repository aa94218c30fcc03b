#pragma once

#include "platform/Rgb.h"

#include <QColor>

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

class LampShape;
class QLineEdit;

// The output fields' texts and the lamp's colour as the program last set them,
// pushed to the widgets once per repaint. START's loop sets them for every
// frame, thousands of times between two repaints, and only the last value of
// each is ever painted; a QLineEdit lays its text out on every setText, which
// would cost far more than reading the frame. Reads through text() are exact;
// whatever reads the widgets sees the value of the last repaint.
//
// While the window is hidden nothing is painted, so values go straight to the
// widgets.
class HeldOutputs
{
public:
    static constexpr std::size_t fieldCount = 4; // Text1 .. Text4

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
    void pushText(std::size_t field);
    void pushLamp();

    std::array<QLineEdit *, fieldCount> m_fields;
    LampShape *m_lamp;
    std::array<HeldText, fieldCount> m_texts;
    Rgb m_lampColour {};
    bool m_lampPending = false;
};

#include "HeldOutputs.h"

#include "LampShape.h"
#include "NumberText.h"

#include <QLineEdit>

#include <algorithm>

HeldOutputs::HeldOutputs(const std::array<QLineEdit *, fieldCount> &fields, LampShape *lamp)
    : m_fields(fields)
    , m_lamp(lamp)
{
    m_pushDue.setSingleShot(true);
    m_pushDue.callOnTimeout([this] { push(); });
}

// Nothing of a hidden window is painted, so there is nothing to save; and what
// reads the widgets before the window is shown (the defaults of the load
// sequence) sees the values at once.
bool HeldOutputs::holdingAllowed() const
{
    return m_lamp->isVisible();
}

void HeldOutputs::setText(std::size_t field, std::string_view text)
{
    HeldText &held = m_texts[field];
    held.text.assign(text.data(), text.size()); // reuses the string's capacity
    held.isNumber = false;
    holdText(field);
}

void HeldOutputs::setNumber(std::size_t field, std::int64_t value)
{
    HeldText &held = m_texts[field];
    held.number = value;
    held.isNumber = true;
    holdText(field);
}

// Sets the field's widget now while nothing is painted, else at the next push.
void HeldOutputs::holdText(std::size_t field)
{
    if (!holdingAllowed()) {
        pushText(field);
        return;
    }
    m_texts[field].pending = true;
    if (!m_pushScheduled)
        schedulePush();
}

std::string HeldOutputs::text(std::size_t field) const
{
    const HeldText &held = m_texts[field];
    // Once pushed, the widget holds the truth: the operator may have typed in it.
    if (!held.pending)
        return m_fields[field]->text().toStdString();
    return held.isNumber ? std::string(IntegerText(held.number).view()) : held.text;
}

void HeldOutputs::setLampColour(Rgb colour)
{
    m_lampColour = colour;
    if (!holdingAllowed()) {
        pushLamp();
        return;
    }
    m_lampPending = true;
    if (!m_pushScheduled)
        schedulePush();
}

void HeldOutputs::schedulePush()
{
    m_pushScheduled = true;
    const qint64 sinceLastPush
        = m_sinceLastPush.isValid() ? m_sinceLastPush.elapsed() : qint64(pushIntervalMs);
    m_pushDue.start(int(std::max<qint64>(pushIntervalMs - sinceLastPush, 0)));
}

void HeldOutputs::push()
{
    m_pushDue.stop();
    m_pushScheduled = false;
    m_sinceLastPush.start();
    for (std::size_t field = 0; field < fieldCount; ++field) {
        if (m_texts[field].pending)
            pushText(field);
    }
    if (m_lampPending)
        pushLamp();
}

// Only a text that differs is set, so an unchanged field is not laid out or
// repainted again.
void HeldOutputs::pushText(std::size_t field)
{
    HeldText &held = m_texts[field];
    held.pending = false;
    const IntegerText number(held.number);
    const std::string_view shown = held.isNumber ? number.view() : std::string_view(held.text);
    const QString text = QString::fromUtf8(shown.data(), qsizetype(shown.size()));
    if (m_fields[field]->text() != text)
        m_fields[field]->setText(text);
}

void HeldOutputs::pushLamp()
{
    m_lampPending = false;
    m_lamp->setFillColour(QColor(m_lampColour.red, m_lampColour.green, m_lampColour.blue));
}

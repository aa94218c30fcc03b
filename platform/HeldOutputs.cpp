#include "HeldOutputs.h"

#include "platform/LampShape.h"

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
    if (!holdingAllowed()) {
        pushText(field);
        return;
    }
    held.pending = true;
    schedulePush();
}

std::string HeldOutputs::text(std::size_t field) const
{
    const HeldText &held = m_texts[field];
    // Once pushed, the widget holds the truth: the operator may have typed in it.
    return held.pending ? held.text : m_fields[field]->text().toStdString();
}

void HeldOutputs::setLampColour(Rgb colour)
{
    m_lampColour = colour;
    if (!holdingAllowed()) {
        pushLamp();
        return;
    }
    m_lampPending = true;
    schedulePush();
}

void HeldOutputs::schedulePush()
{
    if (m_pushDue.isActive())
        return;
    const qint64 sinceLastPush
        = m_sinceLastPush.isValid() ? m_sinceLastPush.elapsed() : qint64(pushIntervalMs);
    m_pushDue.start(int(std::max<qint64>(pushIntervalMs - sinceLastPush, 0)));
}

void HeldOutputs::push()
{
    m_pushDue.stop();
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
    const QString text = QString::fromUtf8(held.text.data(), qsizetype(held.text.size()));
    if (m_fields[field]->text() != text)
        m_fields[field]->setText(text);
}

void HeldOutputs::pushLamp()
{
    m_lampPending = false;
    m_lamp->setFillColour(QColor(m_lampColour.red, m_lampColour.green, m_lampColour.blue));
}

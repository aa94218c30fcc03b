#include "HeadlessToolkit.h"

#include "NumberText.h"
#include "PacedEventPump.h"

HeadlessToolkit::HeadlessToolkit()
    : m_pump(std::make_unique<PacedEventPump>())
{ }

HeadlessToolkit::~HeadlessToolkit() = default;

void HeadlessToolkit::requestEnd(int status, std::string_view message)
{
    if (m_ended)
        return;
    m_ended = true;
    m_endStatus = status;
    m_endMessage = message;
}

std::string HeadlessToolkit::fieldText(TextField field) const
{
    const Field &shown = m_fields[static_cast<std::size_t>(field)];
    return shown.number ? std::string(IntegerText(*shown.number).view()) : shown.text;
}

void HeadlessToolkit::setFieldText(TextField field, std::string_view text)
{
    Field &shown = m_fields[static_cast<std::size_t>(field)];
    shown.text = text;
    shown.number.reset();
}

void HeadlessToolkit::setFieldNumber(TextField field, std::int64_t value)
{
    m_fields[static_cast<std::size_t>(field)].number = value;
}

void HeadlessToolkit::yieldToEvents()
{
    letYieldsPass(m_pump->yield(takePassedYields()));
}

void HeadlessToolkit::waitForEvents()
{
    letYieldsPass(m_pump->wait(takePassedYields()));
}

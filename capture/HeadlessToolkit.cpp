#include "HeadlessToolkit.h"

#include <QCoreApplication>

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
    return m_fields[static_cast<std::size_t>(field)];
}

void HeadlessToolkit::setFieldText(TextField field, std::string_view text)
{
    m_fields[static_cast<std::size_t>(field)] = text;
    if (m_fieldObserver)
        m_fieldObserver(field, text);
}

void HeadlessToolkit::yieldToEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void HeadlessToolkit::waitForEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

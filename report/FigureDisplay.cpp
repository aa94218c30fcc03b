#include "FigureDisplay.h"

#include "FigureText.h"
#include "ReportFormat.h"

#include <algorithm>

FigureDisplay::FigureDisplay(std::string_view key)
    : m_key(key)
    , m_definition(findFigure(key))
{ }

std::string FigureDisplay::label() const
{
    return m_definition ? std::string(m_definition->label) : m_key;
}

std::string FigureDisplay::unit() const
{
    return m_definition ? std::string(m_definition->unit) : std::string();
}

std::string FigureDisplay::title() const
{
    return m_definition ? m_definition->title() : m_key;
}

std::string FigureDisplay::value(double number) const
{
    return m_definition ? m_definition->text(number) : numberText(number, 4);
}

std::string FigureDisplay::valueWithUnit(double number) const
{
    const std::string text = value(number);
    return unit().empty() ? text : text + ' ' + unit();
}

std::string FigureDisplay::statistic(double number) const
{
    return m_definition ? fixedNumber(number, std::max(m_definition->decimals(), 2))
                        : numberText(number, 4);
}

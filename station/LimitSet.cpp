#include "LimitSet.h"

#include <algorithm>

namespace {

std::size_t rowOf(const LimitDefinition &limit)
{
    return std::size_t(&limit - limitCatalog().data());
}

} // namespace

LimitSet::LimitSet()
    : m_values(limitCatalog().size())
{ }

std::optional<double> LimitSet::value(const LimitDefinition &limit) const
{
    return m_values[rowOf(limit)];
}

std::optional<double> LimitSet::value(std::string_view key) const
{
    const LimitDefinition *limit = findLimit(key);
    return limit ? value(*limit) : std::nullopt;
}

void LimitSet::set(const LimitDefinition &limit, double value)
{
    m_values[rowOf(limit)] = value;
}

void LimitSet::clear(const LimitDefinition &limit)
{
    m_values[rowOf(limit)].reset();
}

bool LimitSet::empty() const
{
    return std::ranges::none_of(m_values, [](const auto &value) { return value.has_value(); });
}

bool LimitSet::needs(FigureSource source) const
{
    for (const LimitDefinition &limit : limitCatalog()) {
        if (value(limit) && limit.figure().source == source)
            return true;
    }
    return false;
}

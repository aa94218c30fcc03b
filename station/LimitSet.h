#pragma once

#include "LimitCatalog.h"

#include <optional>
#include <string_view>
#include <vector>

// The pass/fail limits a board is held to, by catalog row; a limit not set
// is not checked.
class LimitSet
{
public:
    LimitSet();

    std::optional<double> value(const LimitDefinition &limit) const;
    std::optional<double> value(std::string_view key) const;
    void set(const LimitDefinition &limit, double value);
    void clear(const LimitDefinition &limit);
    bool empty() const;
    // Whether any limit set holds a figure of this source.
    bool needs(FigureSource source) const;

    // A limit passes only when the figure plus its 99 % uncertainty is
    // within it, so that a repeat of the test cannot overturn the verdict.
    bool guardBand = false;

private:
    std::vector<std::optional<double>> m_values; // one a catalog row
};

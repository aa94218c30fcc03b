#pragma once

#include "FigureCatalog.h"

#include <string>
#include <string_view>

// How the lot report names and writes one figure: with the station catalog's
// label, unit and decimals. A key the catalog does not know (a database an
// older station wrote) is named by its key and written with four significant
// digits.
class FigureDisplay
{
public:
    explicit FigureDisplay(std::string_view key);

    bool known() const { return m_definition != nullptr; }
    // "Worst |DNL|"; the key when the catalog does not know it.
    std::string label() const;
    // "LSB"; empty for a pure number or an unknown key.
    std::string unit() const;
    // "Worst |DNL| (LSB)", for chart titles and table rows.
    std::string title() const;
    // A board's value or a limit with the figure's decimals: "0.125", "3".
    std::string value(double number) const;
    // The same followed by the unit: "0.125 LSB".
    std::string valueWithUnit(double number) const;
    // A statistic over the boards (mean, sigma): that of a count is not a
    // whole number, so it keeps two decimals where the count has none.
    std::string statistic(double number) const;

private:
    std::string m_key;
    const FigureDefinition *m_definition;
};

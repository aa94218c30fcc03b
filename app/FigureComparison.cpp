#include "FigureComparison.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

const std::string notGiven = "—";

std::optional<double> givenValue(const FigureDefinition &figure, const FigureInputs &inputs)
{
    if (!figureUnavailable(figure, inputs).empty())
        return std::nullopt;
    const std::optional<double> value = figure.value(inputs);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

} // namespace

std::vector<ComparedFigure> compareFigures(const FigureInputs &live, const FigureInputs &reference,
    std::initializer_list<FigureSource> sources)
{
    std::vector<ComparedFigure> rows;
    for (const FigureDefinition &figure : figureCatalog()) {
        if (std::ranges::find(sources, figure.source) == sources.end())
            continue;
        const std::optional<double> ours = givenValue(figure, live);
        const std::optional<double> theirs = givenValue(figure, reference);
        if (!ours && !theirs)
            continue;
        ComparedFigure row;
        row.title = figure.title();
        row.live = ours ? figure.text(*ours) : notGiven;
        row.reference = theirs ? figure.text(*theirs) : notGiven;
        row.difference = notGiven;
        if (ours && theirs) {
            // A sign on every difference that does not round to zero, so a
            // column of them reads at a glance.
            const std::string difference = figure.text(*ours - *theirs);
            const bool positive = difference.find_first_not_of("0.") != std::string::npos
                && !difference.starts_with('-');
            row.difference = positive ? "+" + difference : difference;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

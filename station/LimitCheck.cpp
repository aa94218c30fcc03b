#include "LimitCheck.h"

#include <cmath>

std::string LimitOutcome::text(double number) const
{
    return definition ? definition->figure().text(number) : std::to_string(number);
}

std::vector<LimitOutcome> checkLimits(const LimitSet &limits, const FigureInputs &inputs)
{
    std::vector<LimitOutcome> outcomes;
    for (const LimitDefinition &definition : limitCatalog()) {
        const std::optional<double> limit = limits.value(definition);
        if (!limit)
            continue;
        const FigureDefinition &figure = definition.figure();
        LimitOutcome outcome;
        outcome.definition = &definition;
        outcome.name = std::string(definition.key);
        outcome.limit = *limit;
        outcome.note = figureUnavailable(figure, inputs);
        if (outcome.note.empty()) {
            outcome.value = figure.value(inputs);
            outcome.uncertainty = figure.uncertainty ? figure.uncertainty(inputs) : std::nullopt;
            const double spread = outcome.uncertainty.value_or(0);
            outcome.withinUncertainty = std::abs(*outcome.value - *limit) < spread;
            // The dynamic and spectrum figures have no uncertainty from the
            // counts: a guard band leaves them as they are.
            outcome.guardBanded = limits.guardBand && figure.source != FigureSource::Dynamic
                && figure.source != FigureSource::Spectrum;
            const double margin = outcome.guardBanded ? spread : 0;
            outcome.pass = definition.holds(
                *outcome.value + (definition.upper() ? margin : -margin), *limit);
        }
        outcomes.push_back(std::move(outcome));
    }
    return outcomes;
}

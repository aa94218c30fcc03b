#pragma once

#include "CodeDensityResult.h"
#include "DynamicResult.h"
#include "TestRecord.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What a station measures of a board: the histogram's code-density figures
// and the sample record's dynamic ones, read together.
struct FigureInputs
{
    const CodeDensityResult &codeDensity;
    const DynamicResult &dynamic;
};

// Which analysis gives a figure, and so which input can measure it.
enum class FigureSource {
    Histogram, // any histogram with samples
    DcNoise, // a DC histogram that fits
    Linearity, // a ramp or sine histogram that fits
    Dynamic, // the sample record of a sine
    Spectrum, // the sample record's spectrum, tone or no tone: its noise and spurs
};

enum class FigureNature {
    Count, // a whole number: shown without decimals
    Measure,
};

// One figure, defined once: every output (the JSON report, the summary, the
// JUnit file, the results database, the lot report) names, labels and
// rounds it from here.
struct FigureDefinition
{
    std::string_view key; // "dnl_worst_lsb": the name in files and the database
    std::string_view label; // "Worst |DNL|": the name a person reads
    std::string_view unit; // "LSB", "dB", "bits"; empty for a pure number
    FigureNature nature = FigureNature::Measure;
    FigureSource source = FigureSource::Histogram;
    // The figure, or nothing where the inputs do not give it.
    std::optional<double> (*value)(const FigureInputs &) = nullptr;
    // Its 99 % uncertainty from the counts, where it has one.
    std::optional<double> (*uncertainty)(const FigureInputs &) = nullptr;

    int decimals() const { return nature == FigureNature::Count ? 0 : 3; }
    // "Worst |DNL| (LSB)", for chart titles and table heads.
    std::string title() const;
    // The value with the figure's decimals: "0.125", "3".
    std::string text(double value) const;
};

// Every figure, in the order reports list them.
std::span<const FigureDefinition> figureCatalog();

// The figure of a key; nullptr for any other text.
const FigureDefinition *findFigure(std::string_view key);

// Why the inputs give no such figure (no samples, a histogram that does not
// fit, the wrong kind of input), or an empty string when they do.
std::string figureUnavailable(const FigureDefinition &figure, const FigureInputs &inputs);

// The figures the inputs give, finite ones only, in catalog order: what the
// results database keeps of a test.
std::vector<RecordedFigure> measuredFigures(const FigureInputs &inputs);

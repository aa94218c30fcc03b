#pragma once

#include "CodeDensityResult.h"
#include "FigureCatalog.h"

#include <span>
#include <string>
#include <string_view>

// Which side of a limit passes.
enum class LimitDirection {
    AtMost, // max_*: the figure must not exceed it
    AtLeast, // min_*: the figure must not fall below it
};

// One limit, defined once: its key in limits files, reports and the
// database, its command-line option, the figure it holds and the values it
// may take.
struct LimitDefinition
{
    std::string_view key; // "max_dnl"
    std::string_view option; // "--max-dnl"
    std::string_view figureKey; // "dnl_worst_lsb", a FigureCatalog key
    LimitDirection direction = LimitDirection::AtMost;
    double low = 0; // the values a limit may take
    double high = 0;
    std::string_view range; // those values for a person: "a limit from 0 to 4096 LSB"
    std::string_view help; // the option's line in --help, after the option

    const FigureDefinition &figure() const;
    // A count limit takes whole numbers only.
    bool whole() const { return figure().nature == FigureNature::Count; }
    bool upper() const { return direction == LimitDirection::AtMost; }
    // Whether the figure lies on the passing side of the limit.
    bool holds(double value, double limit) const
    {
        return upper() ? value <= limit : value >= limit;
    }
    // Whether an input of this kind gives the figure at all.
    bool measurableOn(TestKind kind) const;
    // Noise is measured on a DC input, DNL, INL and the dynamic figures on a
    // ramp or sine: a limits set holding both fits no input. The spectrum's
    // noise and spurs fit with either.
    bool fitsWith(const LimitDefinition &other) const;
};

// Every limit, in the order reports list them.
std::span<const LimitDefinition> limitCatalog();

// The limit of a key ("max_dnl") or of an option ("--max-dnl"); nullptr for
// any other text.
const LimitDefinition *findLimit(std::string_view keyOrOption);

// The limits' part of --help, one option a line, from the catalog.
std::string limitHelpText();

// The key with dashes for underscores, as the summary shows it: "max-dnl".
std::string limitDisplayName(std::string_view key);

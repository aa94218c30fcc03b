#include "LimitCatalog.h"

#include "FigureKeys.h"

#include <algorithm>

namespace {

// Worse than 4096 LSB no converter is tested for; larger values are typing
// errors. To add a limit: one row here, naming the figure it holds.
constexpr LimitDefinition catalog[] = {
    {"max_dnl", "--max-dnl", "dnl_worst_lsb", LimitDirection::AtMost, 0, 4096,
        "a limit from 0 to 4096 LSB", "--max-dnl X        worst |DNL| in LSB"},
    {"max_inl", "--max-inl", "inl_end_point_worst_lsb", LimitDirection::AtMost, 0, 4096,
        "a limit from 0 to 4096 LSB", "--max-inl X        worst |INL| in LSB, end-point"},
    {"max_missing", "--max-missing", "missing_code_count", LimitDirection::AtMost, 0, 4096,
        "a code count from 0 to 4096", "--max-missing N    missing codes"},
    {"max_noise", "--max-noise", "noise_lsb", LimitDirection::AtMost, 0, 4096,
        "a limit from 0 to 4096 LSB", "--max-noise X      DC noise in LSB rms"},
    {"min_enob", "--min-enob", "enob_bits", LimitDirection::AtLeast, 0, 32,
        "a resolution from 0 to 32 bits",
        "--min-enob BITS    ENOB of a sine, from SINAD (dynamic limits: from the\n"
        "                     sample record, captured or read with --analyze)"},
    {"min_sinad", "--min-sinad", "sinad_db", LimitDirection::AtLeast, 0, 300,
        "a figure from 0 to 300 dB", "--min-sinad DB     SINAD"},
    {"max_thd", "--max-thd", "thd_db", LimitDirection::AtMost, -300, 0,
        "a figure from -300 to 0 dB",
        "--max-thd DB       THD, negative (-70: 70 dB below the fundamental)"},
    {"min_sfdr", "--min-sfdr", "sfdr_db", LimitDirection::AtLeast, 0, 300,
        "a figure from 0 to 300 dB", "--min-sfdr DB      SFDR"},
    // The spectrum's figures need no tone: a grounded input gives them too.
    {"min_snrfs", "--min-snrfs", FigureKey::snrFsDb, LimitDirection::AtLeast, 0, 300,
        "a figure from 0 to 300 dB",
        "--min-snrfs DB     SNR against full scale (a grounded input too)"},
    {"max_noise_density", "--max-noise-density", FigureKey::noiseDensityDbfsPerHz,
        LimitDirection::AtMost, -300, 0, "a density from -300 to 0 dBFS/Hz",
        "--max-noise-density DBFS\n"
        "                     noise spectral density in dBFS/Hz (needs a sample rate)"},
    {"max_spur", "--max-spur", FigureKey::largestSpurDbfs, LimitDirection::AtMost, -300, 0,
        "a level from -300 to 0 dBFS",
        "--max-spur DBFS    largest spur against full scale, negative (-80: 80 dB\n"
        "                     below full scale)"},
};

} // namespace

const FigureDefinition &LimitDefinition::figure() const
{
    // Every row names a catalog figure; tst_station_catalog holds them to it.
    return *findFigure(figureKey);
}

bool LimitDefinition::measurableOn(TestKind kind) const
{
    switch (figure().source) {
    case FigureSource::Histogram:
        return true;
    case FigureSource::DcNoise:
        return kind == TestKind::Dc;
    case FigureSource::Linearity:
        return kind != TestKind::Dc;
    case FigureSource::Dynamic:
        return kind == TestKind::Sine;
    case FigureSource::Spectrum:
        return true;
    }
    return false;
}

bool LimitDefinition::fitsWith(const LimitDefinition &other) const
{
    // A limit every input measures fits with any other.
    const auto anyInput = [](const LimitDefinition &limit) {
        const FigureSource source = limit.figure().source;
        return source == FigureSource::Histogram || source == FigureSource::Spectrum;
    };
    const auto dc = [](const LimitDefinition &limit) {
        return limit.figure().source == FigureSource::DcNoise;
    };
    return anyInput(*this) || anyInput(other) || dc(*this) == dc(other);
}

std::span<const LimitDefinition> limitCatalog()
{
    return catalog;
}

const LimitDefinition *findLimit(std::string_view keyOrOption)
{
    const auto found = std::ranges::find_if(catalog, [keyOrOption](const LimitDefinition &limit) {
        return limit.key == keyOrOption || limit.option == keyOrOption;
    });
    return found == std::end(catalog) ? nullptr : found;
}

std::string limitHelpText()
{
    std::string text;
    for (const LimitDefinition &limit : catalog)
        text += "  " + std::string(limit.help) + "\n";
    return text;
}

std::string limitDisplayName(std::string_view key)
{
    std::string name(key);
    std::ranges::replace(name, '_', '-');
    return name;
}

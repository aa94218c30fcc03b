#include "ConverterModel.h"

#include <algorithm>
#include <cstdio>

bool ConverterModel::Settings::faulty() const
{
    return dnlSigma > 0 || !codeDnl.empty() || !missingCodes.empty() || offset != 0 || gain != 1
        || inputNoise > 0;
}

ConverterModel::ConverterModel(const Settings &settings)
    : m_settings(settings)
{
    // Widths of the inner codes 1..4094 (index k - 1); a width of 0 is a
    // missing code.
    constexpr int inner = codeCount - 2;
    std::vector<double> widths(inner, 1.0);
    if (settings.dnlSigma > 0) {
        RandomSource random(settings.profileSeed);
        for (double &width : widths)
            width = std::max(0.0, 1.0 + settings.dnlSigma * random.gaussian());
    }
    for (const auto &[code, dnl] : settings.codeDnl) {
        if (code >= 1 && code <= inner)
            widths[code - 1] = std::max(0.0, 1.0 + dnl);
    }
    for (int code : settings.missingCodes) {
        if (code >= 1 && code <= inner)
            widths[code - 1] = 0;
    }
    // Scaled so that the inner codes span exactly 4094 LSB, as on an ideal
    // converter: the end transitions stay at 0.5 and 4094.5 and the DNL
    // applied is each width less 1.
    double total = 0;
    for (double width : widths)
        total += width;
    const double scale = total > 0 ? inner / total : 0;
    m_transitions.resize(codeCount - 1);
    double level = 0.5;
    m_transitions[0] = level;
    for (int k = 0; k < inner; ++k) {
        level += widths[k] * scale;
        m_transitions[k + 1] = level;
    }
    m_transitions.back() = codeCount - 1.5; // exact, whatever rounding did
}

int ConverterModel::convert(double level, RandomSource &random) const
{
    double input = level * m_settings.gain + m_settings.offset;
    if (m_settings.inputNoise > 0)
        input += m_settings.inputNoise * random.gaussian();
    // The code is the number of transitions at or below the input: a level
    // on a transition goes to the code above, as rounding half up does.
    return static_cast<int>(std::upper_bound(m_transitions.begin(), m_transitions.end(), input)
        - m_transitions.begin());
}

double ConverterModel::appliedDnl(int code) const
{
    if (code < 1 || code > codeCount - 2)
        return 0;
    return m_transitions[code] - m_transitions[code - 1] - 1;
}

std::string ConverterModel::toText() const
{
    std::string text = "code transition_lsb dnl_lsb\n";
    char line[80];
    for (int code = 1; code < codeCount; ++code) {
        if (code < codeCount - 1)
            std::snprintf(line, sizeof line, "%d %.6f %.6f\n", code, m_transitions[code - 1],
                appliedDnl(code));
        else
            std::snprintf(line, sizeof line, "%d %.6f\n", code, m_transitions[code - 1]);
        text += line;
    }
    return text;
}

// Any text through the number conversions and the setting fields' limits.
#include "FieldLimits.h"
#include "NumberText.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);

    const double value = parseNumber(text);
    if (!std::isfinite(value))
        std::abort();

    // Every 16-bit value prints and reads back as itself.
    const std::int16_t whole = toInt16(value);
    if (parseNumber(formatNumber(whole)) != whole || parseNumber(formatSigned(whole)) != whole)
        std::abort();
    if (whole >= 0 && formatSigned(whole).front() != ' ')
        std::abort();

    // A limited field ends at or under its limit: the text written back
    // passes the check that its own change runs.
    for (TextField field : {TextField::Text5, TextField::Text6, TextField::Text7}) {
        const auto replacement = fieldLimitReplacement(field, text);
        if (replacement && fieldLimitReplacement(field, *replacement))
            std::abort();
        const double limit = field == TextField::Text7 ? 10000 : 4096;
        if (!replacement && value > limit)
            std::abort();
    }
    return 0;
}

#include "FieldLimits.h"

#include "NumberText.h"

std::optional<std::string_view> fieldLimitReplacement(TextField field, std::string_view text)
{
    const double value = parseNumber(text);
    switch (field) {
    case TextField::Text5: // start code: an over-range start falls back to the first code
        return value > 4096 ? std::optional<std::string_view>("0") : std::nullopt;
    case TextField::Text6: // end code
        return value > 4096 ? std::optional<std::string_view>("4096") : std::nullopt;
    case TextField::Text7: // full-scale count
        return value > 10000 ? std::optional<std::string_view>("10000") : std::nullopt;
    default:
        return std::nullopt;
    }
}

void applyFieldLimit(WindowToolkit &window, TextField field)
{
    if (const auto replacement = fieldLimitReplacement(field, window.fieldText(field)))
        window.setFieldText(field, *replacement);
}

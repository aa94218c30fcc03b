#include "JsonText.h"

#include <cmath>
#include <cstdint>

namespace {

// nlohmann writes a whole double as "2048.0"; the shortest text that reads
// back as it is "2048", as Qt wrote it before, and readers that tell an
// integer from a fraction by the text saw it so. Up to 2^53 every whole
// double is an int64 exactly.
template<class Json> void wholeNumbersAsIntegers(Json &value)
{
    if (value.is_structured()) {
        for (Json &element : value)
            wholeNumbersAsIntegers(element);
    } else if (value.is_number_float()) {
        const double number = value.template get<double>();
        if (std::isfinite(number) && std::trunc(number) == number && std::abs(number) <= 0x1p53)
            value = std::int64_t(number);
    }
}

template<class Json> std::string text(Json document, int indent)
{
    wholeNumbersAsIntegers(document);
    return document.dump(indent, ' ', false, Json::error_handler_t::replace) + '\n';
}

} // namespace

std::string jsonText(nlohmann::json document, int indent)
{
    return text(std::move(document), indent);
}

std::string jsonText(nlohmann::ordered_json document, int indent)
{
    return text(std::move(document), indent);
}

#include "CodeDensityResult.h"

#include "EnumNames.h"

namespace {

constexpr EnumName<TestKind> testKindKeys[] = {
    {TestKind::Dc, "dc", "DC noise"},
    {TestKind::Ramp, "ramp", "Ramp/triangle"},
    {TestKind::Sine, "sine", "Sine"},
};

} // namespace

const char *testKindName(TestKind kind)
{
    return labelOf(testKindKeys, kind);
}

const char *testKindKey(TestKind kind)
{
    return nameOf(testKindKeys, kind);
}

std::optional<TestKind> testKindFromKey(std::string_view key)
{
    return valueNamed(testKindKeys, key);
}

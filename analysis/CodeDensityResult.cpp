#include "CodeDensityResult.h"

#include "EnumNames.h"

namespace {

constexpr EnumName<TestKind> testKindNames[] = {
    {TestKind::Dc, "DC noise"},
    {TestKind::Ramp, "Ramp/triangle"},
    {TestKind::Sine, "Sine"},
};

constexpr EnumName<TestKind> testKindKeys[] = {
    {TestKind::Dc, "dc"},
    {TestKind::Ramp, "ramp"},
    {TestKind::Sine, "sine"},
};

} // namespace

const char *testKindName(TestKind kind)
{
    return nameOf(testKindNames, kind);
}

const char *testKindKey(TestKind kind)
{
    return nameOf(testKindKeys, kind);
}

std::optional<TestKind> testKindFromKey(std::string_view key)
{
    return valueNamed(testKindKeys, key);
}

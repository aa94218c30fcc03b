#include "CommandLineError.h"

#include <cstdio>
#include <string>

namespace {

std::string &programName()
{
    static std::string name = "adtest";
    return name;
}

} // namespace

void setProgramName(std::string_view name)
{
    programName() = name;
}

void reportError(std::string_view message)
{
    std::fprintf(stderr, "%s: %.*s\n", programName().c_str(), int(message.size()), message.data());
    std::fflush(stderr);
}

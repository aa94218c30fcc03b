#include "DisplayCheck.h"

#include <cstdlib>
#include <string_view>

namespace {

std::string variable(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

// Qt takes its own options with one dash or two.
bool choosesPlatform(const std::vector<std::string> &arguments)
{
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (argument.starts_with("--"))
            argument.remove_prefix(1);
        if (argument == "-platform" || argument == "-display")
            return true;
    }
    return false;
}

} // namespace

DisplayEnvironment DisplayEnvironment::fromProcess()
{
    return {variable("DISPLAY"), variable("WAYLAND_DISPLAY"), variable("QT_QPA_PLATFORM")};
}

std::optional<std::string> missingDisplayMessage(
    const DisplayEnvironment &environment, const std::vector<std::string> &arguments)
{
    if (!environment.display.empty() || !environment.waylandDisplay.empty()
        || !environment.qpaPlatform.empty() || choosesPlatform(arguments))
        return std::nullopt;
    const std::string program
        = arguments.empty() || arguments.front().empty() ? "adtest" : arguments.front();
    return "the window needs a graphical session, and neither DISPLAY nor "
           "WAYLAND_DISPLAY is set; to try it without one, run: xvfb-run "
        + program;
}

#pragma once

#include <optional>
#include <string>
#include <vector>

// What decides whether Qt can reach a display: the session's display
// variables and a platform chosen by the user.
struct DisplayEnvironment
{
    std::string display; // DISPLAY
    std::string waylandDisplay; // WAYLAND_DISPLAY
    std::string qpaPlatform; // QT_QPA_PLATFORM

    static DisplayEnvironment fromProcess();
};

// Without a display Qt's default platform aborts the process with a core dump
// and advice to reinstall. Checked before the application object exists, this
// returns the one-line message to report instead (without the program's
// name), or nothing when the window can open or a platform was chosen (by
// QT_QPA_PLATFORM, or -platform or -display on the command line). `arguments`
// is the whole command line, program name first.
std::optional<std::string> missingDisplayMessage(
    const DisplayEnvironment &environment, const std::vector<std::string> &arguments);

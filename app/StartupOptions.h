#pragma once

#include <optional>
#include <string>
#include <vector>

// adtest's own command-line options. Everything else on the command line is
// left for QApplication, which takes its own (-platform, -style, ...).
struct StartupOptions
{
    bool help = false;
    bool version = false;
    bool listPorts = false;
    bool allPorts = false; // with listPorts: placeholder ports too
    std::string port; // the device for port 1; empty: ADTEST_COM1 or /dev/ttyS0
    std::vector<std::string> rest; // the arguments left, program name first
    std::string error; // one line naming the offending option

    // `arguments` is the whole command line, program name first.
    static StartupOptions parse(const std::vector<std::string> &arguments);
};

// The first of `arguments` (what adtest left, program name first) that no Qt
// application takes, as a message; nothing when Qt may take them all. Qt
// reads its options only once it has a display, so without one this is the
// way to tell a typing error (exit 2) from a missing display (exit 1). Only a
// rare Qt option left out here is taken for an error, and only then.
std::optional<std::string> unknownBeforeQt(const std::vector<std::string> &arguments);

// Takes adtest's own options out of argc/argv. Returns the exit status when
// the program has done what was asked (help, version, the port list) or was
// asked wrongly; otherwise nothing, with the device named by --port (empty
// when none was) in `port1Device`.
std::optional<int> applyStartupOptions(int &argc, char *argv[], std::string &port1Device);

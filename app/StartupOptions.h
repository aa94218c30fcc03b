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

// Takes adtest's own options out of argc/argv. Returns the exit status when
// the program has done what was asked (help, version, the port list) or was
// asked wrongly; otherwise nothing, with the device named by --port (empty
// when none was) in `port1Device`.
std::optional<int> applyStartupOptions(int &argc, char *argv[], std::string &port1Device);

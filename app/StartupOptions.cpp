#include "StartupOptions.h"

#include "SerialPortList.h"
#include "Version.h"

#include <cstdio>
#include <string_view>

namespace {

const char helpText[] = R"(Usage: adtest [--port PATH] [QT OPTION]...
       adtest --list-ports [--all]
Shows the readings a 12-bit A/D converter sends on serial port 1 in a window
with the frame count, the last, smallest and largest reading and a histogram.

  --port PATH    the device to open as port 1 (default: $ADTEST_COM1, else
                 /dev/ttyS0), such as /dev/ttyUSB0 or a by-id link
  --list-ports   list the serial ports present and exit; --all adds the
                 /dev/ttyS* placeholders that have no UART behind them
  -h, --help     show this help
  -V, --version  show the version

Qt's own options, such as -platform offscreen, are taken as well.
)";

} // namespace

StartupOptions StartupOptions::parse(const std::vector<std::string> &arguments)
{
    StartupOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (i == 0) {
            options.rest.push_back(arguments[i]);
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version" || argument == "-V") {
            options.version = true;
        } else if (argument == "--list-ports") {
            options.listPorts = true;
        } else if (argument == "--all") {
            options.allPorts = true;
        } else if (argument == "--port" || argument.starts_with("--port=")) {
            if (argument == "--port" && i + 1 < arguments.size())
                options.port = arguments[++i];
            else if (argument != "--port")
                options.port = argument.substr(7);
            if (options.port.empty()) {
                options.error = "--port: needs a device path";
                return options;
            }
        } else {
            options.rest.push_back(arguments[i]);
        }
    }
    if (options.allPorts && !options.listPorts)
        options.error = "--all: only with --list-ports";
    return options;
}

std::optional<int> applyStartupOptions(int &argc, char *argv[], std::string &port1Device)
{
    const StartupOptions options
        = StartupOptions::parse(std::vector<std::string>(argv, argv + argc));
    if (!options.error.empty()) {
        std::fprintf(stderr, "adtest: %s (see adtest --help)\n", options.error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(helpText, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("adtest %s\n", adtestVersion);
        return 0;
    }
    if (options.listPorts) {
        for (const std::string &line :
            formatPortListing(presentPorts(scanSerialPorts(), options.allPorts)))
            std::puts(line.c_str());
        return 0;
    }
    port1Device = options.port;
    // What is left keeps its place in argv, for QApplication.
    int kept = 0;
    for (int i = 0; i < argc; ++i) {
        if (kept < int(options.rest.size()) && options.rest[kept] == argv[i])
            argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
    return std::nullopt;
}

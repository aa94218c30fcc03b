#include "StartupOptions.h"

#include "CommandLineError.h"
#include "OptionParser.h"
#include "SerialPortList.h"
#include "Version.h"

#include <algorithm>
#include <cstdio>
#include <set>
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

Qt's own options, such as -platform offscreen, are taken as well; anything
else is refused.

Exit status: 0 EXIT was pressed or the window closed, 1 port 1 could not be
opened or there is no graphical session, 2 a wrong option.
)";

} // namespace

StartupOptions StartupOptions::parse(const std::vector<std::string> &arguments)
{
    StartupOptions options;
    if (arguments.empty())
        return options;
    OptionParser parser;
    parser.addFlag({"--help", "-h"});
    parser.addFlag({"--version", "-V"});
    parser.addFlag({"--list-ports"});
    parser.addFlag({"--all"});
    parser.addValue({"--port"}, "a device path");
    parser.keepUnknown();
    if (!parser.parse({arguments.begin() + 1, arguments.end()})) {
        options.error = parser.error();
        return options;
    }
    options.help = parser.isSet("--help");
    options.version = parser.isSet("--version");
    options.listPorts = parser.isSet("--list-ports");
    options.allPorts = parser.isSet("--all");
    options.port = parser.value("--port");
    options.rest.push_back(arguments.front());
    options.rest.insert(options.rest.end(), parser.rest().begin(), parser.rest().end());
    if (options.help || options.version)
        return options;

    if (parser.isSet("--port") && options.port.empty()) {
        options.error = "--port: needs a device path";
    } else if (options.listPorts) {
        // Qt's options count too: the listing opens no window to use them on.
        const bool alone = options.rest.size() == 1
            && std::ranges::all_of(parser.given(),
                [](const std::string &name) { return name == "--list-ports" || name == "--all"; });
        if (!alone)
            options.error = "--list-ports: takes no other option than --all";
    } else if (options.allPorts) {
        options.error = "--all: only with --list-ports";
    }
    return options;
}

std::optional<std::string> unknownBeforeQt(const std::vector<std::string> &arguments)
{
    // The options of QGuiApplication and QApplication and those the X11 and
    // Wayland platforms read, with one dash or two; the first group takes a
    // value.
    static const std::set<std::string_view> valued {"platform", "platformpluginpath",
        "platformtheme", "plugin", "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
        "display", "geometry", "title", "icon", "name", "style", "stylesheet", "qmljsdebugger",
        "fn", "font", "bg", "background", "fg", "foreground", "btn", "button", "im", "inputstyle",
        "visual", "ncols", "cmap", "dialogs"};
    static const std::set<std::string_view> flags {
        "reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (!argument.starts_with('-'))
            return "unexpected argument '" + arguments[i] + "'";
        argument.remove_prefix(argument.starts_with("--") ? 2 : 1);
        const std::string_view name = argument.substr(0, argument.find('='));
        if (valued.contains(name)) {
            if (name.size() == argument.size())
                ++i; // the value follows
        } else if (!flags.contains(name)) {
            return arguments[i].substr(0, arguments[i].find('=')) + ": unknown option";
        }
    }
    return std::nullopt;
}

std::optional<int> applyStartupOptions(int &argc, char *argv[], std::string &port1Device)
{
    const StartupOptions options
        = StartupOptions::parse(std::vector<std::string>(argv, argv + argc));
    if (!options.error.empty()) {
        reportError(options.error + " (see adtest --help)");
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
        if (printPortListing(options.allPorts))
            return 0;
        reportError("cannot write the port list");
        return 1;
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

#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// One place a display server may listen for its clients.
struct DisplaySocket
{
    enum class Kind {
        Path, // a socket file
        Abstract, // Linux's abstract namespace; `address` without the leading NUL
        Tcp, // `address` is a host name or numeric address
    };
    Kind kind = Kind::Path;
    std::string address;
    int port = 0; // Tcp only
};

// What decides whether Qt can reach a display: the session's display
// variables, a platform chosen by the user, and whether a server answers.
struct DisplayEnvironment
{
    std::string display; // DISPLAY
    std::string waylandDisplay; // WAYLAND_DISPLAY
    std::string qpaPlatform; // QT_QPA_PLATFORM
    std::string runtimeDirectory; // XDG_RUNTIME_DIR, where Wayland's sockets live
    // Whether a server accepts connections at a socket. Empty: the variables
    // are taken at their word and no socket is tried.
    std::function<bool(const DisplaySocket &)> answers;

    // The process's variables, with answers = socketAnswers.
    static DisplayEnvironment fromProcess();
};

// The sockets an X client tries for `display`, in the order it tries them:
// for ":n" and "unix:n" the local socket /tmp/.X11-unix/Xn (abstract, then the
// file; ":n" then TCP to localhost), for "host:n" TCP port 6000+n. A screen
// number (":n.s") is ignored. Empty when `display` has another form (a socket
// path, DECnet); such a display is left to Qt.
std::vector<DisplaySocket> x11Sockets(const std::string &display);

// The socket a Wayland client connects to: `waylandDisplay` itself when it is
// absolute, else under `runtimeDirectory`. Nothing when it has none (a
// relative name and no runtime directory), as the client then fails too.
std::optional<DisplaySocket> waylandSocket(
    const std::string &waylandDisplay, const std::string &runtimeDirectory);

// Connects to `socket` and closes the connection again: true when a server
// accepted it (or holds so many waiting clients that it can take no more).
// Gives up after `timeout`, which only a TCP connection can take (looking up
// the host's name is not counted).
bool socketAnswers(
    const DisplaySocket &socket, std::chrono::milliseconds timeout = std::chrono::seconds(1));

// Without a display Qt's default platform aborts the process with a core dump
// and advice to reinstall; so it does when DISPLAY or WAYLAND_DISPLAY names a
// server that is not there. Checked before the application object exists,
// this returns the one-line message to report instead (without the
// program's name), or nothing when the window can
// open or a platform was chosen (by QT_QPA_PLATFORM, or -platform or -display
// on the command line). `arguments` is the whole command line, program name
// first.
std::optional<std::string> missingDisplayMessage(
    const DisplayEnvironment &environment, const std::vector<std::string> &arguments);

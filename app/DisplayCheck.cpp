#include "DisplayCheck.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

// "n" or "n.s": the display number n.
std::optional<int> displayNumber(std::string_view text)
{
    if (const auto dot = text.find('.'); dot != std::string_view::npos) {
        const std::string_view screen = text.substr(dot + 1);
        if (screen.empty()
            || !std::ranges::all_of(screen, [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        text = text.substr(0, dot);
    }
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || number < 0)
        return std::nullopt;
    return number;
}

class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    { }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool connectLocal(const DisplaySocket &socket)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const bool abstract = socket.kind == DisplaySocket::Kind::Abstract;
    const std::size_t offset = abstract ? 1 : 0; // an abstract name starts with a NUL
    // A file name needs its terminating NUL too; a longer one no client can reach either.
    if (socket.address.empty()
        || offset + socket.address.size() + (abstract ? 0 : 1) > sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path + offset, socket.address.data(), socket.address.size());
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + offset + socket.address.size());
    const Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.get() < 0)
        return false;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr *>(&address), length) == 0)
        return true;
    // A full backlog: a server is there, only busy.
    return errno == EAGAIN;
}

bool connectTcp(const DisplaySocket &socket, std::chrono::milliseconds timeout)
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(socket.port);
    if (::getaddrinfo(socket.address.c_str(), service.c_str(), &hints, &found) != 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool answered = false;
    for (const addrinfo *entry = found; entry && !answered; entry = entry->ai_next) {
        const Descriptor fd(::socket(entry->ai_family,
            entry->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, entry->ai_protocol));
        if (fd.get() < 0)
            continue;
        if (::connect(fd.get(), entry->ai_addr, entry->ai_addrlen) == 0) {
            answered = true;
            break;
        }
        if (errno != EINPROGRESS)
            continue;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting {fd.get(), POLLOUT, 0};
        if (left.count() <= 0 || ::poll(&waiting, 1, int(left.count())) != 1)
            break;
        int error = 0;
        socklen_t size = sizeof error;
        answered = ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
    ::freeaddrinfo(found);
    return answered;
}

} // namespace

DisplayEnvironment DisplayEnvironment::fromProcess()
{
    return {variable("DISPLAY"), variable("WAYLAND_DISPLAY"), variable("QT_QPA_PLATFORM"),
        variable("XDG_RUNTIME_DIR"),
        [](const DisplaySocket &socket) { return socketAnswers(socket); }};
}

std::vector<DisplaySocket> x11Sockets(const std::string &display)
{
    using Kind = DisplaySocket::Kind;
    const auto colon = display.rfind(':');
    if (colon == std::string::npos || display.starts_with('/'))
        return {};
    const std::optional<int> number = displayNumber(std::string_view(display).substr(colon + 1));
    std::string host = display.substr(0, colon);
    std::string protocol;
    if (const auto slash = host.find('/'); slash != std::string::npos) {
        protocol = host.substr(0, slash);
        host.erase(0, slash + 1);
    }
    // "host::n" is DECnet.
    if (!number || host.ends_with(':'))
        return {};
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);

    if ((protocol.empty() || protocol == "unix") && (host.empty() || host == "unix")) {
        const std::string file = "/tmp/.X11-unix/X" + std::to_string(*number);
        std::vector<DisplaySocket> sockets {{Kind::Abstract, file}, {Kind::Path, file}};
        if (protocol.empty() && host.empty() && *number <= 65535 - 6000)
            sockets.push_back({Kind::Tcp, "localhost", 6000 + *number});
        return sockets;
    }
    const bool tcp
        = protocol.empty() || protocol == "tcp" || protocol == "inet" || protocol == "inet6";
    if (!tcp || host.empty() || *number > 65535 - 6000)
        return {};
    return {{Kind::Tcp, host, 6000 + *number}};
}

std::optional<DisplaySocket> waylandSocket(
    const std::string &waylandDisplay, const std::string &runtimeDirectory)
{
    if (waylandDisplay.starts_with('/'))
        return DisplaySocket {DisplaySocket::Kind::Path, waylandDisplay};
    if (runtimeDirectory.empty())
        return std::nullopt;
    return DisplaySocket {DisplaySocket::Kind::Path, runtimeDirectory + '/' + waylandDisplay};
}

bool socketAnswers(const DisplaySocket &socket, std::chrono::milliseconds timeout)
{
    if (socket.kind == DisplaySocket::Kind::Tcp)
        return connectTcp(socket, timeout);
    return connectLocal(socket);
}

std::optional<std::string> missingDisplayMessage(
    const DisplayEnvironment &environment, const std::vector<std::string> &arguments)
{
    if (!environment.qpaPlatform.empty() || choosesPlatform(arguments))
        return std::nullopt;
    const std::string program
        = arguments.empty() || arguments.front().empty() ? "adtest" : arguments.front();
    const std::string advice = "; to try it without one, run: xvfb-run " + program;
    if (environment.display.empty() && environment.waylandDisplay.empty())
        return "the window needs a graphical session, and neither DISPLAY nor "
               "WAYLAND_DISPLAY is set"
            + advice;
    if (!environment.answers)
        return std::nullopt;

    std::string unanswered;
    if (!environment.display.empty()) {
        const std::vector<DisplaySocket> sockets = x11Sockets(environment.display);
        if (sockets.empty() || std::ranges::any_of(sockets, environment.answers))
            return std::nullopt;
        unanswered = "DISPLAY=" + environment.display;
    }
    if (!environment.waylandDisplay.empty()) {
        const auto socket = waylandSocket(environment.waylandDisplay, environment.runtimeDirectory);
        if (socket && environment.answers(*socket))
            return std::nullopt;
        unanswered += (unanswered.empty() ? "" : " or ")
            + ("WAYLAND_DISPLAY=" + environment.waylandDisplay);
    }
    return "the window needs a graphical session, and no display answers at " + unanswered + advice;
}

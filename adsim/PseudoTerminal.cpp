#include "PseudoTerminal.h"

#include "RawLine.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds deliveryPollInterval {10};

int openSlave(const std::string &path)
{
    // O_NOCTTY: the slave must never become adsim's controlling terminal.
    return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

} // namespace

bool PseudoTerminal::open()
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return fail("cannot create a pseudo-terminal");
    adopt(master);
    if (grantpt(master) != 0 || unlockpt(master) != 0)
        return fail("cannot unlock the pseudo-terminal");
    char path[PATH_MAX];
    if (ptsname_r(master, path, sizeof path) != 0)
        return fail("cannot name the pseudo-terminal");
    m_slavePath = path;
    if (!setRawLine9600(master))
        return fail("cannot set the pseudo-terminal's line settings");
    if (fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK) != 0)
        return fail("cannot make the pseudo-terminal non-blocking");

    // Open and close the slave once so that POLLHUP shows that nobody has it
    // open (see the class comment).
    const int slave = openSlave(m_slavePath);
    if (slave < 0)
        return fail("cannot open " + m_slavePath);
    ::close(slave);
    return true;
}

bool PseudoTerminal::readerPresent() const
{
    pollfd watch {fd(), 0, 0};
    if (poll(&watch, 1, 0) < 0)
        return true;
    return !(watch.revents & POLLHUP);
}

std::optional<std::size_t> PseudoTerminal::unreadBytes() const
{
    const int slave = openSlave(m_slavePath);
    if (slave < 0)
        return std::nullopt;
    int queued = 0;
    const bool known = ioctl(slave, FIONREAD, &queued) == 0;
    ::close(slave);
    if (!known || queued < 0)
        return std::nullopt;
    return static_cast<std::size_t>(queued);
}

void PseudoTerminal::waitDelivered(const std::atomic<bool> &stop, std::chrono::milliseconds linger)
{
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + linger;
    std::optional<std::size_t> lastUnread;
    int emptyLooks = 0;
    while (!stop && Clock::now() < deadline) {
        const std::optional<std::size_t> unread = unreadBytes();
        if (unread == std::size_t(0)) {
            // Bytes just written can take a moment to reach the slave's input
            // queue, so an empty queue counts only when seen twice.
            if (++emptyLooks == 2)
                return;
        } else {
            emptyLooks = 0;
        }
        // A reader that is still taking bytes earns more time.
        if (unread && unread != lastUnread) {
            deadline = Clock::now() + linger;
            lastUnread = unread;
        }
        std::this_thread::sleep_for(deliveryPollInterval);
    }
}

#include "StopSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Ctrl+C, kill, and the terminal closing.
constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The write end is all the handler touches; one instance at a time.
int wakeFds[2] = {-1, -1};

extern "C" void writeWakeByte(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(wakeFds[1], &byte, 1);
    errno = savedErrno;
}

void setHandler(void (*handler)(int), int flags)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    for (const int signal : stopSignals)
        sigaction(signal, &action, nullptr);
}

} // namespace

StopSignals::StopSignals(std::function<void()> onSignal)
    : m_onSignal(std::move(onSignal))
{
    if (wakeFds[0] >= 0 || ::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(wakeFds[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
        char bytes[16];
        while (::read(wakeFds[0], bytes, sizeof bytes) > 0) { }
        m_onSignal();
    });
    // SA_RESETHAND: the handler runs once per signal kind, then the default
    // action is back. No SA_RESTART: a wait cut short by the signal returns
    // and the event loop sees the pipe.
    setHandler(writeWakeByte, SA_RESETHAND);
}

StopSignals::~StopSignals()
{
    if (!m_notifier)
        return;
    setHandler(SIG_DFL, 0);
    m_notifier.reset();
    ::close(wakeFds[0]);
    ::close(wakeFds[1]);
    wakeFds[0] = wakeFds[1] = -1;
}

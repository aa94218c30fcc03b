#include "TestHelpers.h"

#include <algorithm>
#include <numeric>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

std::string frame(std::string_view body)
{
    return '\x02' + std::string(body) + '\r';
}

std::string repeated(std::string_view text, int count)
{
    std::string result;
    result.reserve(text.size() * std::max(count, 0));
    for (int i = 0; i < count; ++i)
        result += text;
    return result;
}

long long histogramSum(const MeasurementState &state, int first, int last)
{
    return std::accumulate(
        state.histogram.begin() + first, state.histogram.begin() + last + 1, 0LL);
}

std::string asNobody(const std::function<std::string()> &attempt)
{
    return asUser(65534, attempt);
}

std::string asUser(unsigned uid, const std::function<std::string()> &attempt)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child < 0)
        return "no child process";
    if (child == 0) {
        std::string message = "could not become user " + std::to_string(uid);
        if (setgroups(0, nullptr) == 0 && setgid(uid) == 0 && setuid(uid) == 0)
            message = attempt();
        const ssize_t written = ::write(pipeEnds[1], message.data(), message.size());
        std::_Exit(written < 0);
    }
    ::close(pipeEnds[1]);
    std::string message;
    char buffer[1024];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, std::size_t(n));
    ::close(pipeEnds[0]);
    waitpid(child, nullptr, 0);
    return message;
}

#include "DeviceHolders.h"

#include <charconv>
#include <filesystem>
#include <system_error>

std::vector<int> processesHolding(const std::string &device)
{
    std::vector<int> holders;
    std::error_code error;
    for (const auto &process : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = process.path().filename();
        int pid = 0;
        const auto parsed = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (parsed.ec != std::errc() || parsed.ptr != name.data() + name.size())
            continue;
        std::error_code unreadable;
        for (const auto &descriptor :
            std::filesystem::directory_iterator(process.path() / "fd", unreadable)) {
            std::error_code gone;
            if (std::filesystem::read_symlink(descriptor.path(), gone) == device) {
                holders.push_back(pid);
                break;
            }
        }
    }
    return holders;
}

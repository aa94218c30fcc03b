#pragma once

#include <string>

// A symbolic link with a fixed name (say /tmp/ttyADSIM) to the pseudo-
// terminal's slave, whose own name changes from run to run. It is removed
// again when this object goes, unless something else has replaced it.
class SlaveLink
{
public:
    SlaveLink() = default;
    ~SlaveLink();
    SlaveLink(const SlaveLink &) = delete;
    SlaveLink &operator=(const SlaveLink &) = delete;

    // Makes linkPath point to target. An existing symbolic link there (say,
    // left by a run that was killed) is replaced; anything else is left
    // alone and reported as an error.
    bool create(const std::string &linkPath, const std::string &target);
    const std::string &errorString() const { return m_errorString; }

private:
    std::string m_linkPath;
    std::string m_target;
    std::string m_errorString;
};

#pragma once

#include "FakeSerialLink.h"

#include <algorithm>
#include <csignal>
#include <string>

// A converter behind a fake link: `arriving` comes in once the port is open
// (what opening discards was there before), then the line ends as asked: it
// stays silent, its device goes away, or the program is interrupted (SIGINT)
// as the input runs out, once.
class FakeConverterLink : public FakeSerialLink
{
public:
    enum class Ending { Silence, PortLost, Interrupt };

    FakeConverterLink(std::string arriving, Ending ending)
        : m_arriving(std::move(arriving))
        , m_ending(ending)
    { }

    bool isOpen() const override
    {
        return portOpen && !(m_ending == Ending::PortLost && drained());
    }
    std::string_view received() const override
    {
        if (!portOpen)
            return {};
        if (drained() && m_ending == Ending::Interrupt && !m_interrupted) {
            m_interrupted = true;
            std::raise(SIGINT);
        }
        // A block at a time, as a port hands them out.
        return std::string_view(m_arriving).substr(m_next, 4096);
    }
    void consume(std::size_t count) override
    {
        m_next = std::min(m_next + count, m_arriving.size());
    }

private:
    bool drained() const { return m_next == m_arriving.size(); }

    std::string m_arriving;
    std::size_t m_next = 0;
    Ending m_ending;
    mutable bool m_interrupted = false;
};

#pragma once

#include "TerminalSink.h"

#include <cstddef>
#include <optional>
#include <string>

// A pseudo-terminal pair standing in for the converter's serial line. adsim
// writes to the master side; the tool under test opens the slave path as if
// it were a serial port.
//
// Linux behaviours this relies on (checked by tst_adsim):
// - Line settings made through the master apply to the slave, and they
//   survive the slave being closed and opened again.
// - poll() on the master reports POLLHUP while the slave has been opened and
//   then closed by everyone, and stops as soon as anyone opens it. Before the
//   slave's first open there is no POLLHUP, so open() opens and closes the
//   slave once to make "nobody has it open" visible from the start.
// - Writes to the master succeed whether or not anyone has the slave open;
//   the bytes wait in the slave's input queue (some 20 KiB before the master
//   reports full) and a later reader gets them.
// - TIOCOUTQ and FIONREAD on the master say nothing about bytes waiting for
//   the reader. FIONREAD on a descriptor of the slave does (up to 4095; more
//   wait behind that), so delivery is checked through a briefly opened one.
class PseudoTerminal : public TerminalSink
{
public:
    // Creates the pair in raw mode at 9600 8N1. On failure returns false and
    // errorString() says why.
    bool open();
    const std::string &slavePath() const { return m_slavePath; }

    bool readerPresent() const override;
    void waitDelivered(const std::atomic<bool> &stop, std::chrono::milliseconds linger) override;

    // Bytes written that the reader has not read yet, at least those in the
    // slave's input queue; nullopt when the slave cannot be opened to look
    // (the reader holds it exclusively).
    std::optional<std::size_t> unreadBytes() const;

private:
    std::string m_slavePath;
};

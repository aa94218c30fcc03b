#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One serial port the system knows of.
struct SerialPortRecord
{
    std::string device; // such as /dev/ttyUSB0
    std::string stableAlias; // its /dev/serial/by-id/... link, when it has one
    std::string description;
    std::string manufacturer;
    std::string serialNumber;
    std::optional<std::uint16_t> vendorId;
    std::optional<std::uint16_t> productId;
    // A /dev/ttyS* the kernel makes whether or not a UART is behind it, and
    // none is.
    bool placeholder = false;
};

// Every serial port the system lists, placeholders marked.
std::vector<SerialPortRecord> scanSerialPorts();

// The ports worth showing, ordered by device: placeholders only when
// `includePlaceholders` is set.
std::vector<SerialPortRecord> presentPorts(
    std::vector<SerialPortRecord> ports, bool includePlaceholders = false);

// One line per port, its alias on an indented line below it.
std::vector<std::string> formatPortListing(const std::vector<SerialPortRecord> &ports);

// What --list-ports prints, for adtest and adcapture: the listing of the
// ports present on standard output. Returns false when it could not all be
// written.
bool printPortListing(bool includePlaceholders);

// One sentence naming the ports, for a message that suggests where the
// converter may be.
std::string formatPortSummary(const std::vector<SerialPortRecord> &ports);

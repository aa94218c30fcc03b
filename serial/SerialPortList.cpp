#include "SerialPortList.h"

#include <QSerialPortInfo>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

namespace {

namespace fs = std::filesystem;

// The kernel makes a number of /dev/ttyS* whether or not UARTs exist; one
// without a UART reports port type 0 (PORT_UNKNOWN).
bool isPlaceholderUart(const std::string &portName)
{
    if (portName.rfind("ttyS", 0) != 0)
        return false;
    std::ifstream type("/sys/class/tty/" + portName + "/type");
    int portType = -1;
    return type >> portType && portType == 0;
}

std::map<std::string, std::string> stableAliases()
{
    std::map<std::string, std::string> aliasOf;
    std::error_code error;
    std::vector<fs::path> links;
    for (const fs::directory_entry &entry : fs::directory_iterator("/dev/serial/by-id", error))
        links.push_back(entry.path());
    std::sort(links.begin(), links.end());
    for (const fs::path &link : links) {
        const fs::path target = fs::canonical(link, error);
        if (!error)
            aliasOf.emplace(target.string(), link.string());
    }
    return aliasOf;
}

std::string usbIdentifier(const SerialPortRecord &port)
{
    if (!port.vendorId || !port.productId)
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", *port.vendorId, *port.productId);
    return text;
}

} // namespace

std::vector<SerialPortRecord> scanSerialPorts()
{
    const std::map<std::string, std::string> aliasOf = stableAliases();
    std::vector<SerialPortRecord> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        SerialPortRecord port;
        port.device = info.systemLocation().toStdString();
        std::error_code error;
        const fs::path canonical = fs::canonical(port.device, error);
        if (const auto alias = aliasOf.find(error ? port.device : canonical.string());
            alias != aliasOf.end())
            port.stableAlias = alias->second;
        port.description = info.description().toStdString();
        port.manufacturer = info.manufacturer().toStdString();
        port.serialNumber = info.serialNumber().toStdString();
        if (info.hasVendorIdentifier())
            port.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            port.productId = info.productIdentifier();
        port.placeholder = isPlaceholderUart(info.portName().toStdString());
        ports.push_back(std::move(port));
    }
    return ports;
}

std::vector<SerialPortRecord> presentPorts(
    std::vector<SerialPortRecord> ports, bool includePlaceholders)
{
    if (!includePlaceholders)
        std::erase_if(ports, [](const SerialPortRecord &port) { return port.placeholder; });
    std::sort(ports.begin(), ports.end(),
        [](const SerialPortRecord &a, const SerialPortRecord &b) { return a.device < b.device; });
    return ports;
}

std::vector<std::string> formatPortListing(const std::vector<SerialPortRecord> &ports)
{
    if (ports.empty())
        return {"No serial ports found."};
    std::vector<std::string> lines;
    for (const SerialPortRecord &port : ports) {
        std::vector<std::string> details;
        if (!port.description.empty())
            details.push_back(port.description);
        if (!port.manufacturer.empty())
            details.push_back(port.manufacturer);
        if (!port.serialNumber.empty())
            details.push_back("serial number " + port.serialNumber);
        if (const std::string usb = usbIdentifier(port); !usb.empty())
            details.push_back("USB " + usb);
        if (port.placeholder)
            details.push_back("no UART behind it");
        std::string line = port.device;
        for (std::size_t i = 0; i < details.size(); ++i)
            line += (i == 0 ? "  " : ", ") + details[i];
        lines.push_back(std::move(line));
        if (!port.stableAlias.empty())
            lines.push_back("    " + port.stableAlias);
    }
    return lines;
}

bool printPortListing(bool includePlaceholders)
{
    for (const std::string &line :
        formatPortListing(presentPorts(scanSerialPorts(), includePlaceholders)))
        std::printf("%s\n", line.c_str());
    // A write that fails, as on a full disk, may show only when the buffer
    // goes out.
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

std::string formatPortSummary(const std::vector<SerialPortRecord> &ports)
{
    if (ports.empty())
        return "No serial ports are present.";
    std::string text = "Serial ports present: ";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (i > 0)
            text += ", ";
        text += ports[i].device;
        if (!ports[i].description.empty())
            text += " (" + ports[i].description + ")";
    }
    return text + ".";
}

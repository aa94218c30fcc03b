#pragma once

#include "SignalPattern.h"
#include "StreamGenerator.h"
#include "Transmitter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class OptionParser;

// adsim's command-line options: reads them, checks them and explains them.
class CommandLine
{
public:
    struct Options
    {
        SignalPattern::Settings signal;
        StreamGenerator::Settings stream;
        Transmitter::Settings transmit;
        std::optional<std::uint64_t> seed; // none: a fresh one each run
        std::string devicePath; // empty: a pseudo-terminal
        std::string linkPath;
        std::string summaryPath;
        std::string transitionsPath; // where to write the converter's transition levels
        std::string samplesPath; // where to write the codes sent, as the tool reads them
        std::string replayPath; // raw line bytes to send instead of a signal
        bool help = false;
        bool version = false;
    };

    // Reads the arguments after the program name. Returns false with error()
    // set to a one-line message that names the offending option.
    bool parse(const std::vector<std::string> &arguments);
    const Options &options() const { return m_options; }
    const std::string &error() const { return m_error; }

    static std::string helpText();

private:
    bool readConverter(OptionParser &parser);
    bool readTone(OptionParser &parser);
    bool checkReplay(const OptionParser &parser);
    bool fail(const std::string &message);

    Options m_options;
    std::string m_error;
};

// adsim: a simulated 12-bit A/D converter on a serial line, so the tool can be
// seen working, and tested, without the hardware.

#include "CommandLine.h"
#include "CommandLineError.h"
#include "ConverterModel.h"
#include "PseudoTerminal.h"
#include "SerialDevice.h"
#include "SignalPattern.h"
#include "SlaveLink.h"
#include "StreamGenerator.h"
#include "Transmitter.h"
#include "Version.h"

#include <atomic>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>

#include <signal.h>

namespace {

std::atomic<bool> stopRequested {false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void requestStop(int)
{
    stopRequested = true;
}

void installSignalHandlers()
{
    // A reader that goes away must not kill the writer.
    signal(SIGPIPE, SIG_IGN);
    // No SA_RESTART: a signal cuts sleeps and waits short, and the send loop
    // then sees the flag.
    struct sigaction action = {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

std::uint64_t freshSeed()
{
    std::random_device device;
    return (std::uint64_t(device()) << 32) ^ device();
}

bool writeSummary(std::ofstream &file, const Expectation &expectation)
{
    file << expectation.toText();
    file.close();
    return bool(file);
}

} // namespace

int main(int argc, char *argv[])
{
    setProgramName("adsim");
    CommandLine commandLine;
    if (!commandLine.parse(std::vector<std::string>(argv + 1, argv + argc))) {
        reportError(commandLine.error() + " (see adsim --help)");
        return 2;
    }
    const CommandLine::Options &options = commandLine.options();
    if (options.help) {
        std::cout << CommandLine::helpText();
        return 0;
    }
    if (options.version) {
        std::cout << "adsim " << adtestVersion << "\n";
        return 0;
    }

    installSignalHandlers();

    // Opened now so that a bad path shows before a long run, not after it.
    std::ofstream summaryFile;
    if (!options.summaryPath.empty()) {
        summaryFile.open(options.summaryPath, std::ios::binary | std::ios::trunc);
        if (!summaryFile) {
            reportError("cannot write " + options.summaryPath);
            return 1;
        }
    }

    std::unique_ptr<TerminalSink> sink;
    SlaveLink link;
    if (options.devicePath.empty()) {
        auto pty = std::make_unique<PseudoTerminal>();
        if (!pty->open()) {
            reportError(pty->errorString());
            return 1;
        }
        if (!options.linkPath.empty() && !link.create(options.linkPath, pty->slavePath())) {
            reportError(link.errorString());
            return 1;
        }
        // Scripts read this line to learn where to point the tool.
        std::cout << pty->slavePath() << std::endl;
        sink = std::move(pty);
    } else {
        auto device = std::make_unique<SerialDevice>();
        if (!device->open(options.devicePath)) {
            reportError(device->errorString());
            return 1;
        }
        sink = std::move(device);
    }

    if (!options.transitionsPath.empty()) {
        std::ofstream transitions(options.transitionsPath, std::ios::binary | std::ios::trunc);
        transitions << ConverterModel(options.signal.converter).toText();
        transitions.close();
        if (!transitions) {
            reportError("cannot write " + options.transitionsPath);
            return 1;
        }
    }

    const std::uint64_t seed = options.seed ? *options.seed : freshSeed();
    SignalPattern signal(options.signal, seed);
    StreamGenerator generator(options.stream, seed);
    Transmitter transmitter(*sink, signal, generator, options.transmit);
    const Transmitter::Outcome outcome = transmitter.run(stopRequested);

    const Expectation &expected = transmitter.model().expectation();
    std::ostringstream summary;
    summary << "sent " << transmitter.bytesSent() << " bytes, " << expected.framesOpened
            << " frames opened, " << expected.framesCompleted << " frames completed (seed " << seed
            << ")";
    reportError(summary.str());

    int status = 0;
    if (outcome == Transmitter::Outcome::ReaderGone) {
        reportError("the line hung up; stopping");
    } else if (outcome == Transmitter::Outcome::Failed) {
        reportError("cannot write: " + transmitter.errorString());
        status = 1;
    }
    if (summaryFile.is_open() && !writeSummary(summaryFile, expected)) {
        reportError("cannot write " + options.summaryPath);
        status = 1;
    }
    return status;
}

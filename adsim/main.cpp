// adsim: a simulated 12-bit A/D converter on a serial line, so the tool can be
// seen working, and tested, without the hardware.

#include "CommandLine.h"
#include "CommandLineError.h"
#include "ConverterModel.h"
#include "OutputTarget.h"
#include "PseudoTerminal.h"
#include "SampleRecordFile.h"
#include "SerialDevice.h"
#include "SignalPattern.h"
#include "SlaveLink.h"
#include "StreamGenerator.h"
#include "Transmitter.h"
#include "Version.h"
#include "WholeFile.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
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

// The whole of a file, or false with `error` set.
bool readWholeFile(const std::string &path, std::string &contents, std::string &error)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    char buffer[65536];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        contents.append(buffer, count);
    const bool failed = std::ferror(file);
    const int reason = errno;
    std::fclose(file);
    if (failed)
        error = "cannot read " + path + ": " + std::strerror(reason);
    return !failed;
}

bool endsWithNpy(const std::string &path)
{
    if (path.size() < 4)
        return false;
    std::string end = path.substr(path.size() - 4);
    std::transform(
        end.begin(), end.end(), end.begin(), [](unsigned char c) { return std::tolower(c); });
    return end == ".npy";
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

    // No output may replace another, nor the bytes to replay.
    const NamedPath paths[]
        = {{"--summary", options.summaryPath}, {"--transitions", options.transitionsPath},
            {"--samples", options.samplesPath}, {"--replay", options.replayPath}};
    if (const std::string clash = outputClash(paths); !clash.empty()) {
        reportError(clash);
        return 2;
    }
    // Opened now so that a bad path shows before a long run, not after it.
    WholeFile files[3];
    for (std::size_t i = 0; i < std::size(files); ++i) {
        if (!files[i].open(paths[i].path)) {
            reportError(files[i].error());
            return 1;
        }
    }
    WholeFile &summaryFile = files[0], &transitionsFile = files[1], &samplesFile = files[2];

    // Read whole before the line is opened, so that a bad file never leaves a
    // reader waiting.
    std::string replay;
    if (!options.replayPath.empty()) {
        std::string error;
        if (!readWholeFile(options.replayPath, replay, error)) {
            reportError(error);
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

    if (transitionsFile.isOpen()
        && !transitionsFile.write(ConverterModel(options.signal.converter).toText())) {
        reportError(transitionsFile.error());
        return 1;
    }

    Transmitter::Settings transmit = options.transmit;
    if (samplesFile.isOpen())
        transmit.keepCodes = maxSampleRecordLength;
    const bool replaying = !options.replayPath.empty();
    const std::uint64_t seed = options.seed ? *options.seed : freshSeed();
    SignalPattern signal(options.signal, seed);
    StreamGenerator generator(options.stream, seed);
    std::unique_ptr<Transmitter> transmitter = replaying
        ? std::make_unique<Transmitter>(*sink, std::move(replay), transmit)
        : std::make_unique<Transmitter>(*sink, signal, generator, transmit);
    const Transmitter::Outcome outcome = transmitter->run(stopRequested);

    const ReceiverModel &model = transmitter->model();
    const Expectation &expected = model.expectation();
    std::ostringstream summary;
    summary << "sent " << transmitter->bytesSent() << " bytes, " << expected.framesOpened
            << " frames opened, " << expected.framesCompleted << " frames completed";
    if (replaying)
        summary << " (replayed " << options.replayPath << ")";
    else
        summary << " (seed " << seed << ")";
    reportError(summary.str());

    int status = 0;
    if (outcome == Transmitter::Outcome::ReaderGone) {
        reportError("the line hung up; stopping");
    } else if (outcome == Transmitter::Outcome::Failed) {
        reportError("cannot write: " + transmitter->errorString());
        status = 1;
    }
    if (summaryFile.isOpen() && !summaryFile.write(expected.toText())) {
        reportError(summaryFile.error());
        status = 1;
    }
    if (samplesFile.isOpen()) {
        const std::vector<std::uint16_t> &codes = model.codes();
        if (!samplesFile.write(endsWithNpy(options.samplesPath) ? sampleRecordNpy(codes)
                                                                : sampleRecordCsv(codes))) {
            reportError(samplesFile.error());
            status = 1;
        } else if (model.codesDropped() > 0) {
            // A record readers would refuse; the file holds the start of the run.
            reportError(options.samplesPath + ": holds the first " + std::to_string(codes.size())
                + " codes; " + std::to_string(model.codesDropped()) + " more were not kept");
            status = 1;
        }
    }
    return status;
}

#pragma once

// Running adcapture from a benchmark: quietly, and what it spends beside
// reading the line.
#include "BenchSupport.h"

#include "SampleRecordFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace bench {

struct ProcessCost
{
    double seconds = 0; // wall
    double cpuSeconds = 0;
};

// Starts a program with its standard output to /dev/null; 0 when it did not.
inline pid_t spawnQuietly(std::vector<std::string> words)
{
    std::vector<char *> arguments;
    for (std::string &word : words)
        arguments.push_back(word.data());
    arguments.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, arguments[0], &actions, nullptr, arguments.data(), environ) != 0)
        pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// What adcapture spends beside reading: its start-up, the analyses and the
// report, measured as `adcapture --analyze` of the very record a capture of
// `frames` frames keeps (the newest 2^20 codes of the cycle sent), with the
// same report. Taken off a capture's figures, what is left is the reading
// alone, as the window loop's figures are.
inline ProcessCost analysisOfKeptRecord(const char *adcapture, long long frames)
{
    constexpr long long kept = 1 << 20; // adcapture's record length
    std::vector<std::uint16_t> codes;
    for (long long j = std::max(0LL, frames - kept); j < frames; ++j)
        codes.push_back(std::uint16_t(j % 4096));
    QTemporaryDir folder;
    const QString record = folder.filePath(QStringLiteral("record.npy"));
    QFile file(record);
    const std::string contents = sampleRecordNpy(codes);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(contents.data(), qint64(contents.size())) != qint64(contents.size()))
        return {};
    file.close();
    QElapsedTimer wall;
    wall.start();
    const pid_t pid = spawnQuietly({adcapture, "--analyze", record.toStdString(), "--json",
        folder.filePath(QStringLiteral("report.json")).toStdString()});
    int status = 0;
    rusage usage {};
    if (pid == 0 || ::wait4(pid, &status, 0, &usage) != pid)
        return {};
    return {wall.nsecsElapsed() / 1e9, seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

} // namespace bench

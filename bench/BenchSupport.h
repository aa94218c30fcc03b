#pragma once

// Small measuring helpers shared by the benchmarks.
#include <QByteArray>
#include <QtGlobal>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

namespace bench {

inline double threadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

inline double seconds(const timeval &t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

// User and system CPU of this process (who = RUSAGE_SELF) or of its waited-for
// children (RUSAGE_CHILDREN).
inline double cpuSeconds(int who = RUSAGE_SELF)
{
    rusage usage {};
    getrusage(who, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// CPU time of process `pid`'s main thread, from the scheduler's own count in
// nanoseconds (the clock ticks of /proc/PID/stat are too coarse for a read of
// a few tenths of a second); -1 when it cannot be read.
inline double mainThreadCpuSeconds(pid_t pid)
{
    const QByteArray path
        = "/proc/" + QByteArray::number(pid) + "/task/" + QByteArray::number(pid) + "/schedstat";
    double seconds = -1;
    if (FILE *schedstat = std::fopen(path.constData(), "r")) {
        unsigned long long nanoseconds = 0;
        if (std::fscanf(schedstat, "%llu", &nanoseconds) == 1)
            seconds = double(nanoseconds) / 1e9;
        std::fclose(schedstat);
    }
    return seconds;
}

// Resident set size of this process in bytes.
inline long long residentBytes()
{
    long long pages = 0, resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%lld %lld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// Without a display the benchmarks measure on the offscreen platform, so that
// they run on a build machine too. Call before the application object exists.
inline void chooseOffscreenWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
}

} // namespace bench

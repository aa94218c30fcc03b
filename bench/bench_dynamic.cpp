// The dynamic analysis against its budget and against FFTW: the whole
// analysis of a sine record (spectra, figures, sine fit) of 2^16 and 2^20
// samples, coherent (one transform for the figures) and not (the
// rectangular and the seven-term transform), beside one plain real-to-complex
// transform of the same record, planned once, in the same run; then the
// whole `adcapture --analyze` process on a 2^20-sample .npy beside the
// start of /bin/true. Prints figures; asserts nothing.
//
//   bench_dynamic [rounds of the process (9)]
//   ADCAPTURE=/path/to/another/adcapture bench_dynamic   (another build of it)
//   BASE_ADCAPTURE=/path/to/older/adcapture bench_dynamic (that build beside
//                                                          this one, in turns)
//   bench_dynamic --wisdom   (measures the half-length transforms' plans and
//                             prints them as analysis/FftWisdom.cpp holds them)
#include "DynamicAnalysis.h"
#include "FftWisdom.h"
#include "SampleRecordFile.h"

#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <numbers>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::uint16_t> noisySine(std::size_t samples, double cycles)
{
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0, 0.7);
    std::vector<std::uint16_t> codes(samples);
    for (std::size_t n = 0; n < samples; ++n) {
        const double x = 2048
            + 2000 * std::sin(2 * std::numbers::pi * cycles * double(n) / double(samples))
            + noise(random);
        codes[n] = std::uint16_t(std::clamp(std::floor(x), 0.0, 4095.0));
    }
    return codes;
}

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The CPU time of this thread: on a machine others share, the wall clock
// counts their work too.
double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// keepSpectrum as the window has it (the spectrum in dBFS kept) or as
// adcapture has it (not kept).
double analysisMs(int rounds, const std::vector<std::uint16_t> &codes, DynamicResult &result,
    bool keepSpectrum = true)
{
    std::vector<double> times;
    DynamicOptions options;
    options.keepSpectrum = keepSpectrum;
    for (int i = 0; i < rounds; ++i) {
        const double start = threadCpuMs();
        result = analyseDynamic(codes, options);
        times.push_back(threadCpuMs() - start);
    }
    return median(times);
}

// One real-to-complex transform of the record, its mean taken off, with a
// plan made once as the analysis makes its own (FFTW_ESTIMATE).
double plainTransformMs(int rounds, const std::vector<std::uint16_t> &codes)
{
    const int n = int(codes.size());
    double *in = fftw_alloc_real(std::size_t(n));
    fftw_complex *out = fftw_alloc_complex(std::size_t(n) / 2 + 1);
    const fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE);
    double mean = 0;
    for (const std::uint16_t code : codes)
        mean += code;
    mean /= n;
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        for (int k = 0; k < n; ++k)
            in[k] = codes[std::size_t(k)] - mean;
        const double start = threadCpuMs();
        fftw_execute(plan);
        times.push_back(threadCpuMs() - start);
    }
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
    return median(times);
}

struct ProcessTime
{
    double wallMs = 0;
    double cpuMs = 0;
    int status = -1;
};

// Runs a program to its end, its standard output and error to /dev/null.
ProcessTime runProcess(const std::vector<std::string> &arguments)
{
    std::vector<char *> argv;
    for (const std::string &a : arguments)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    ProcessTime time;
    const auto start = Clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage {};
        if (wait4(child, &status, 0, &usage) == child) {
            time.wallMs = msSince(start);
            time.cpuMs = 1e3
                * (double(usage.ru_utime.tv_sec) + double(usage.ru_stime.tv_sec)
                    + (double(usage.ru_utime.tv_usec) + double(usage.ru_stime.tv_usec)) / 1e6);
            time.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return time;
}

// Median wall and CPU time of the rounds, taken in turns with the other
// programs' so that a busy moment of the machine falls on all alike.
void compareProcesses(int rounds, const std::string &npyPath)
{
    // ADCAPTURE names another build of the program, to set two side by side.
    const char *adcapture = std::getenv("ADCAPTURE") ? std::getenv("ADCAPTURE") : ADCAPTURE_PATH;
    std::vector<std::vector<std::string>> programs
        = {{"/bin/true"}, {adcapture, "--analyze", npyPath}};
    std::vector<std::string> names = {"/bin/true", "adcapture --analyze rec.npy"};
    if (const char *base = std::getenv("BASE_ADCAPTURE")) {
        programs.push_back({base, "--analyze", npyPath});
        names.push_back("BASE_ADCAPTURE --analyze rec.npy");
    }
    std::vector<std::vector<double>> wall(programs.size()), cpu(programs.size());
    std::vector<int> status(programs.size());
    for (int round = 0; round < rounds; ++round)
        for (std::size_t p = 0; p < programs.size(); ++p) {
            const ProcessTime t = runProcess(programs[p]);
            wall[p].push_back(t.wallMs);
            cpu[p].push_back(t.cpuMs);
            status[p] = t.status;
        }
    std::printf("\nwhole process, 2^20 samples from a .npy, median of %d rounds\n", rounds);
    std::printf("%-34s %10s %10s %8s\n", "program", "wall ms", "CPU ms", "status");
    for (std::size_t p = 0; p < programs.size(); ++p)
        std::printf("%-34s %10.1f %10.1f %8d\n", names[p].c_str(), median(wall[p]), median(cpu[p]),
            status[p]);
    std::printf("%-34s %10.1f\n", "adcapture beyond /bin/true", median(wall[1]) - median(wall[0]));
}

// FFTW_MEASURE's plans of the in-place complex transforms of half of each
// record length the analysis keeps plans for, printed as FFTW's wisdom.
int printWisdom()
{
    fftw_forget_wisdom();
    for (int power = FftWisdom::shortestRecordPower; power <= FftWisdom::longestRecordPower;
         ++power) {
        const std::size_t half = std::size_t(1) << (power - 1);
        fftw_complex *data = fftw_alloc_complex(half);
        const fftw_plan plan
            = fftw_plan_dft_1d(int(half), data, data, FFTW_FORWARD, FftWisdom::planRigor);
        fftw_destroy_plan(plan);
        fftw_free(data);
    }
    char *wisdom = fftw_export_wisdom_to_string();
    std::printf("%s", wisdom);
    fftw_free(wisdom);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && std::string(argv[1]) == "--wisdom")
        return printWisdom();
    const int processRounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    std::printf("dynamic analysis in the process, CPU ms, median of the rounds; FFT: one plain "
                "FFTW real-to-complex transform of the record (FFTW_ESTIMATE, planned once)\n");
    std::printf("ms: the spectrum kept in dBFS, as the window keeps it; no dBFS: as adcapture "
                "runs it\n");
    std::printf("%-8s %-13s %-18s %9s %8s %7s %9s %9s %9s %9s\n", "samples", "record", "window",
        "ms", "FFT ms", "ratio", "no dBFS", "ratio", "budget", "SINAD dB");
    for (const int power : {16, 20}) {
        const std::size_t samples = std::size_t(1) << power;
        const double budget = power == 16 ? 20 : 200;
        const int rounds = power == 16 ? 21 : 9;
        for (const bool coherent : {true, false}) {
            const double cycles = coherent ? double(samples / 16 - 1) : samples / 16.0 - 0.63;
            const auto codes = noisySine(samples, cycles);
            DynamicResult result;
            const double ms = analysisMs(rounds, codes, result);
            DynamicResult bare;
            const double bareMs = analysisMs(rounds, codes, bare, false);
            const double fftMs = plainTransformMs(rounds, codes);
            std::printf("2^%-6d %-13s %-18s %9.1f %8.2f %7.1f %9.1f %9.1f %9.0f %9.2f\n", power,
                coherent ? "coherent" : "not coherent", spectrumWindowKey(result.window), ms, fftMs,
                ms / fftMs, bareMs, bareMs / fftMs, budget, result.sinadDb.value_or(NAN));
        }
    }

    char directory[] = "/tmp/bench_dynamic.XXXXXX";
    if (!mkdtemp(directory))
        return 1;
    const std::string npyPath = std::string(directory) + "/rec.npy";
    {
        const std::size_t samples = std::size_t(1) << 20;
        std::ofstream(npyPath, std::ios::binary)
            << sampleRecordNpy(noisySine(samples, samples / 16.0 - 0.63));
    }
    compareProcesses(processRounds, npyPath);
    std::remove(npyPath.c_str());
    rmdir(directory);
    return 0;
}

#pragma once

#include <complex>
#include <cstddef>
#include <future>
#include <memory>
#include <span>

// A real-to-complex transform of n samples with its own aligned buffers,
// to transform record after record without touching fresh memory. FFTW's
// plan for a length is made once and shared by every transform of that
// length in the process (up to a size, beyond which a plan holds too much
// memory to keep); planning is serialised, so that transforms may run on
// several threads at once.
class RealFft
{
public:
    explicit RealFft(std::size_t n);
    ~RealFft();
    RealFft(const RealFft &) = delete;
    RealFft &operator=(const RealFft &) = delete;

    std::size_t length() const { return m_length; }
    // The n samples to transform: run() leaves them as they are (FFTW's
    // out-of-place real-to-complex transform preserves its input).
    double *input() { return m_in.get(); }
    // Bins 0..n/2 of the last run.
    std::span<const std::complex<double>> output() const;
    std::span<std::complex<double>> output();
    // Plans on the first run, not before: the input may be filled while
    // another thread makes the plan (see prepare()).
    void run();
    // Where the next run() copies the input to first, as n doubles, when
    // its plan is a half-length one: a caller that writes the samples there
    // as well as into input() spares run() reading them again. Null where
    // run() copies none.
    double *inputCopy();

    // Makes the plan for n samples on another thread and keeps it, so that
    // a transform of n samples run meanwhile waits for it rather than plan
    // again. The future is ready once it is made; lengths whose plan is not
    // kept are not planned ahead. A plan made ahead is the quickest to make,
    // for a length transformed once; one made on a first run, the quickest
    // to run again. A length asked for here gets the former even where a
    // transform reaches the planner before the thread does.
    static std::future<void> prepare(std::size_t n);

    struct Plan;

private:
    struct BufferFree
    {
        void operator()(void *memory) const;
    };

    std::size_t m_length = 0;
    std::unique_ptr<double[], BufferFree> m_in;
    std::unique_ptr<std::complex<double>[], BufferFree> m_out;
    std::shared_ptr<const Plan> m_plan;
    bool m_inputCopied = false; // by the caller, into inputCopy()
};

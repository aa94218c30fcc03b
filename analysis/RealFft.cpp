#include "RealFft.h"

#include <fftw3.h>

#include <algorithm>
#include <mutex>
#include <new>
#include <numbers>
#include <utility>
#include <vector>

namespace {

// FFTW's planner keeps global state: making and destroying plans must not
// run on two threads at once. Executing a plan may.
std::mutex plannerMutex;

// Plans kept for the process: a plan holds some 16 bytes a sample of
// twiddle factors, so that those of the longest records are not kept.
constexpr std::size_t longestKeptPlan = std::size_t(1) << 22;
constexpr std::size_t keptPlans = 4;

} // namespace

// An even length is transformed as n / 2 complex samples, the even samples
// the real parts and the odd ones the imaginary, and the two halves' spectra
// then told apart: FFTW plans that complex transform in a millisecond where
// its own real transform of 2^20 spends some 12 ms computing twiddles. An
// odd length goes to FFTW's real transform.
struct RealFft::Plan
{
    Plan(std::size_t n, double *in, fftw_complex *out)
        : length(n)
        , plan(n % 2 == 0 ? fftw_plan_dft_1d(int(n / 2), reinterpret_cast<fftw_complex *>(in), out,
                   FFTW_FORWARD, FFTW_ESTIMATE)
                          : fftw_plan_dft_r2c_1d(int(n), in, out, FFTW_ESTIMATE))
    {
        if (n % 2 == 0)
            makeTwiddles();
    }
    ~Plan()
    {
        if (plan)
            fftw_destroy_plan(plan); // under plannerMutex: see release()
    }
    Plan(const Plan &) = delete;
    Plan &operator=(const Plan &) = delete;

    void run(double *in, std::complex<double> *out) const;

    std::size_t length;
    fftw_plan plan;

private:
    // exp(-2 pi i k / n) for k up to n / 4 is the product of a coarse and a
    // fine factor, each computed directly: two tables of some sqrt(n)
    // entries, and no rounding built up by a recurrence.
    static constexpr std::size_t fineSteps = 1024;
    void makeTwiddles();
    void separateHalves(std::complex<double> *out) const;

    std::vector<std::complex<double>> m_fine;
    std::vector<std::complex<double>> m_coarse;
};

void RealFft::Plan::makeTwiddles()
{
    const std::size_t quarter = length / 4;
    const double step = -2 * std::numbers::pi / double(length);
    m_fine.resize(std::min(fineSteps, quarter + 1));
    for (std::size_t k = 0; k < m_fine.size(); ++k)
        m_fine[k] = std::polar(1.0, step * double(k));
    m_coarse.resize(quarter / fineSteps + 1);
    for (std::size_t j = 0; j < m_coarse.size(); ++j)
        m_coarse[j] = std::polar(1.0, step * double(j * fineSteps));
}

void RealFft::Plan::run(double *in, std::complex<double> *out) const
{
    if (length % 2 != 0) {
        fftw_execute_dft_r2c(plan, in, reinterpret_cast<fftw_complex *>(out));
        return;
    }
    fftw_execute_dft(
        plan, reinterpret_cast<fftw_complex *>(in), reinterpret_cast<fftw_complex *>(out));
    separateHalves(out);
}

// With z[m] = x[2m] + i x[2m+1] and Z its transform of h = n / 2 points,
// X[k] = E + W^k O, E = (Z[k] + conj Z[h-k]) / 2 and O = (Z[k] - conj Z[h-k]) / 2i,
// W = exp(-2 pi i / n); X[h-k] = conj(E - W^k O). Bins k and h - k are
// made together, in place. Written out in real arithmetic: a product of
// std::complex goes through a library call for the sake of infinities.
void RealFft::Plan::separateHalves(std::complex<double> *out) const
{
    const std::size_t h = length / 2;
    const std::complex<double> z0 = out[0];
    out[0] = {z0.real() + z0.imag(), 0};
    out[h] = {z0.real() - z0.imag(), 0};
    for (std::size_t k = 1; k <= h / 2; ++k) {
        const std::complex<double> a = out[k];
        const std::complex<double> b = out[h - k];
        // E and -i (Z[k] - conj Z[h-k]) / 2.
        const double er = (a.real() + b.real()) / 2;
        const double ei = (a.imag() - b.imag()) / 2;
        const double orr = (a.imag() + b.imag()) / 2;
        const double oi = -(a.real() - b.real()) / 2;
        const std::complex<double> coarse = m_coarse[k / fineSteps];
        const std::complex<double> fine = m_fine[k % fineSteps];
        const double wr = coarse.real() * fine.real() - coarse.imag() * fine.imag();
        const double wi = coarse.real() * fine.imag() + coarse.imag() * fine.real();
        const double tr = wr * orr - wi * oi;
        const double ti = wr * oi + wi * orr;
        out[k] = {er + tr, ei + ti};
        out[h - k] = {er - tr, -(ei - ti)};
    }
}

namespace {

// The most recently used plans, newest last; guarded by plannerMutex.
std::vector<std::shared_ptr<const RealFft::Plan>> &keptPlanList()
{
    static std::vector<std::shared_ptr<const RealFft::Plan>> plans;
    return plans;
}

// Drops a reference to a plan, destroying it under the planner's lock when
// it was the last.
void release(std::shared_ptr<const RealFft::Plan> &plan)
{
    const std::lock_guard lock(plannerMutex);
    plan.reset();
}

// A plan for n samples, from those kept or made on `in` and `out`. Every
// buffer the plan later runs on comes from fftw_alloc, with the alignment
// of these.
std::shared_ptr<const RealFft::Plan> planFor(std::size_t n, double *in, fftw_complex *out)
{
    const std::lock_guard lock(plannerMutex);
    auto &plans = keptPlanList();
    const auto kept = std::ranges::find_if(plans, [n](const auto &p) { return p->length == n; });
    if (kept != plans.end()) {
        std::rotate(kept, kept + 1, plans.end());
        return plans.back();
    }
    auto plan = std::make_shared<const RealFft::Plan>(n, in, out);
    if (!plan->plan)
        throw std::bad_alloc();
    if (n <= longestKeptPlan) {
        if (plans.size() == keptPlans)
            plans.erase(plans.begin()); // not the last reference while a transform holds it
        plans.push_back(plan);
    }
    return plan;
}

} // namespace

void RealFft::FftwFree::operator()(void *memory) const
{
    fftw_free(memory);
}

RealFft::RealFft(std::size_t n)
    : m_length(n)
    , m_in(fftw_alloc_real(n))
    , m_out(reinterpret_cast<std::complex<double> *>(fftw_alloc_complex(n / 2 + 1)))
{
    if (!m_in || !m_out)
        throw std::bad_alloc();
    m_plan = planFor(n, m_in.get(), reinterpret_cast<fftw_complex *>(m_out.get()));
}

RealFft::~RealFft()
{
    release(m_plan);
}

std::span<const std::complex<double>> RealFft::output() const
{
    return {m_out.get(), m_length / 2 + 1};
}

void RealFft::run()
{
    m_plan->run(m_in.get(), m_out.get());
}

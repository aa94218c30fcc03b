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
    void makeTwiddles();
    void separateHalves(std::complex<double> *out) const;

    // exp(-2 pi i k / n) for k = 0..n/4, as (cos, sin) pairs.
    std::vector<double> m_twiddles;
};

// Each twiddle the product of a coarse and a fine factor, each computed
// directly: some sqrt(n) sines and cosines rather than n / 4, and no
// rounding built up by a recurrence.
void RealFft::Plan::makeTwiddles()
{
    constexpr std::size_t fineSteps = 1024;
    const std::size_t quarter = length / 4;
    const double step = -2 * std::numbers::pi / double(length);
    std::vector<std::complex<double>> fine(std::min(fineSteps, quarter + 1));
    for (std::size_t k = 0; k < fine.size(); ++k)
        fine[k] = std::polar(1.0, step * double(k));
    m_twiddles.resize(2 * (quarter + 1));
    for (std::size_t start = 0; start <= quarter; start += fineSteps) {
        const std::complex<double> coarse = std::polar(1.0, step * double(start));
        for (std::size_t k = start; k <= std::min(quarter, start + fineSteps - 1); ++k) {
            const std::complex<double> f = fine[k - start];
            m_twiddles[2 * k] = coarse.real() * f.real() - coarse.imag() * f.imag();
            m_twiddles[2 * k + 1] = coarse.real() * f.imag() + coarse.imag() * f.real();
        }
    }
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
    double *z = reinterpret_cast<double *>(out);
    const double *w = m_twiddles.data();
    const double z0r = z[0];
    const double z0i = z[1];
    z[0] = z0r + z0i;
    z[1] = 0;
    z[2 * h] = z0r - z0i;
    z[2 * h + 1] = 0;
    for (std::size_t k = 1; k <= h / 2; ++k) {
        double *here = z + 2 * k;
        double *mirror = z + 2 * (h - k);
        // E and -i (Z[k] - conj Z[h-k]) / 2.
        const double er = (here[0] + mirror[0]) / 2;
        const double ei = (here[1] - mirror[1]) / 2;
        const double orr = (here[1] + mirror[1]) / 2;
        const double oi = (mirror[0] - here[0]) / 2;
        const double wr = w[2 * k];
        const double wi = w[2 * k + 1];
        const double tr = wr * orr - wi * oi;
        const double ti = wr * oi + wi * orr;
        here[0] = er + tr;
        here[1] = ei + ti;
        mirror[0] = er - tr;
        mirror[1] = ti - ei;
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

#include "RealFft.h"

#include "FftWisdom.h"
#include "PackedRealSpectrum.h"

#include <fftw3.h>

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <utility>
#include <vector>

namespace {

// FFTW's planner keeps global state: making and destroying plans must not
// run on two threads at once. Executing a plan may.
std::mutex plannerMutex;

// Plans kept for the process: a plan's twiddle factors grow with its
// length, so that those of the longest records are not kept.
constexpr std::size_t longestKeptPlan = std::size_t(1) << 22;
constexpr std::size_t keptPlans = 4;

// A buffer of this size or more is asked for in huge pages, where the
// system gives them on request: the transform's first run then faults in
// a few pages, not some thousands, each of which cost more than its
// clearing.
constexpr std::size_t hugePage = std::size_t(2) << 20;
// The alignment FFTW's own allocation gives, and more: a plan runs on any
// buffer aligned as the ones it was made on.
constexpr std::size_t smallAlignment = 64;

// Memory for `count` values of T, freed with std::free.
template<typename T> T *allocateBuffer(std::size_t count)
{
    const std::size_t bytes = count * sizeof(T);
    const std::size_t alignment = bytes >= hugePage ? hugePage : smallAlignment;
    const std::size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    void *memory = std::aligned_alloc(alignment, rounded);
    if (memory && alignment == hugePage)
        ::madvise(memory, rounded, MADV_HUGEPAGE); // a hint: refused, the pages are small
    return static_cast<T *>(memory);
}

} // namespace

// FFTW's real-to-complex transform, or, for an even length planned ahead,
// a complex transform of half the length in the output buffer, unpacked.
// The latter plans in a fraction of the time (at 2^20, about 3 ms against
// 15) but runs about 40 % longer: it pays where a length is transformed
// once, as by a program analysing one record, not where the same length is
// transformed again and again.
struct RealFft::Plan
{
    // The complex transform of n/2 pairs in place: a plan measured ahead,
    // where FFTW has one, else an estimated one.
    static fftw_plan halfLengthPlan(std::size_t n, fftw_complex *out)
    {
        FftWisdom::import();
        const int half = int(n / 2);
        if (const fftw_plan measured = fftw_plan_dft_1d(
                half, out, out, FFTW_FORWARD, FftWisdom::planRigor | FFTW_WISDOM_ONLY))
            return measured;
        return fftw_plan_dft_1d(half, out, out, FFTW_FORWARD, FFTW_ESTIMATE);
    }

    Plan(std::size_t n, double *in, fftw_complex *out, bool halfLength)
        : length(n)
        , plan(halfLength ? halfLengthPlan(n, out)
                          : fftw_plan_dft_r2c_1d(int(n), in, out, FFTW_ESTIMATE))
    {
        if (halfLength)
            packed.emplace(n);
    }
    ~Plan()
    {
        if (plan)
            fftw_destroy_plan(plan); // under plannerMutex: see release()
    }
    Plan(const Plan &) = delete;
    Plan &operator=(const Plan &) = delete;

    std::size_t length;
    fftw_plan plan;
    std::optional<PackedRealSpectrum> packed; // for an even length
};

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

// The lengths prepare() was asked for whose plan is not made yet; guarded
// by askedMutex, taken after plannerMutex where both are, so that a
// transform may look it up while another thread plans. A transform of such
// a length that comes first makes the plan prepare() would have made: which
// thread gets to the planner first must not decide what kind of plan the
// length gets.
std::mutex askedMutex;
std::vector<std::size_t> &askedAheadList()
{
    static std::vector<std::size_t> lengths;
    return lengths;
}

bool askedAhead(std::size_t n)
{
    const std::lock_guard lock(askedMutex);
    return std::ranges::find(askedAheadList(), n) != askedAheadList().end();
}

// The plan kept for n samples, if any, unless another thread is planning:
// then the plan is looked for when it is needed.
std::shared_ptr<const RealFft::Plan> keptPlanUnlessPlanning(std::size_t n)
{
    const std::unique_lock lock(plannerMutex, std::try_to_lock);
    if (!lock)
        return {};
    auto &plans = keptPlanList();
    const auto kept = std::ranges::find_if(plans, [n](const auto &p) { return p->length == n; });
    return kept != plans.end() ? *kept : nullptr;
}

// A plan for n samples, from those kept or made on `in` and `out`. Every
// buffer the plan later runs on comes from allocateBuffer(), with the
// alignment of these.
std::shared_ptr<const RealFft::Plan> planFor(std::size_t n, double *in, fftw_complex *out)
{
    const std::lock_guard lock(plannerMutex);
    auto &plans = keptPlanList();
    const auto kept = std::ranges::find_if(plans, [n](const auto &p) { return p->length == n; });
    if (kept != plans.end()) {
        std::rotate(kept, kept + 1, plans.end());
        return plans.back();
    }
    bool halfLength = false;
    {
        const std::lock_guard askedLock(askedMutex);
        auto &asked = askedAheadList();
        const auto ahead = std::ranges::find(asked, n);
        halfLength = ahead != asked.end();
        if (halfLength)
            asked.erase(ahead);
    }
    auto plan = std::make_shared<const RealFft::Plan>(n, in, out, halfLength && n % 2 == 0);
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

void RealFft::BufferFree::operator()(void *memory) const
{
    std::free(memory);
}

RealFft::RealFft(std::size_t n)
    : m_length(n)
    , m_in(allocateBuffer<double>(n))
    , m_out(allocateBuffer<std::complex<double>>(n / 2 + 1))
{
    if (!m_in || !m_out)
        throw std::bad_alloc();
}

RealFft::~RealFft()
{
    release(m_plan);
}

std::span<const std::complex<double>> RealFft::output() const
{
    return {m_out.get(), m_length / 2 + 1};
}

std::span<std::complex<double>> RealFft::output()
{
    return {m_out.get(), m_length / 2 + 1};
}

double *RealFft::inputCopy()
{
    if (!m_plan)
        m_plan = keptPlanUnlessPlanning(m_length);
    m_inputCopied = m_plan ? m_plan->packed.has_value() : m_length % 2 == 0 && askedAhead(m_length);
    return m_inputCopied ? reinterpret_cast<double *>(m_out.get()) : nullptr;
}

void RealFft::run()
{
    // FFTW's complex is laid out as std::complex<double>.
    auto *out = reinterpret_cast<fftw_complex *>(m_out.get());
    // The samples' pairs as complex values: the input's bytes, read in
    // place of the n/2 + 1 bins the output holds. A length asked for ahead
    // gets a half-length plan: copied before the plan is waited for, the
    // copy, and the output's pages it faults in, fill the wait.
    bool packed = std::exchange(m_inputCopied, false);
    if (!packed && !m_plan && m_length % 2 == 0 && askedAhead(m_length)) {
        std::memcpy(out, m_in.get(), m_length * sizeof(double));
        packed = true;
    }
    if (!m_plan)
        m_plan = planFor(m_length, m_in.get(), out);
    if (!m_plan->packed) {
        fftw_execute_dft_r2c(m_plan->plan, m_in.get(), out);
        return;
    }
    if (!packed)
        std::memcpy(out, m_in.get(), m_length * sizeof(double));
    fftw_execute_dft(m_plan->plan, out, out);
    m_plan->packed->unpack(m_out.get());
}

std::future<void> RealFft::prepare(std::size_t n)
{
    if (n == 0 || n > longestKeptPlan) {
        std::promise<void> nothing;
        nothing.set_value();
        return nothing.get_future();
    }
    {
        // Asked for now, not when the thread starts: a transform run
        // before the thread reaches the planner makes the same plan.
        const std::lock_guard lock(plannerMutex);
        const auto &plans = keptPlanList();
        const std::lock_guard askedLock(askedMutex);
        if (std::ranges::none_of(plans, [n](const auto &p) { return p->length == n; })
            && std::ranges::find(askedAheadList(), n) == askedAheadList().end())
            askedAheadList().push_back(n);
    }
    return std::async(std::launch::async, [n] {
        // FFTW_ESTIMATE touches neither buffer: their pages are never
        // faulted in, only their alignment read.
        const std::unique_ptr<double[], BufferFree> in(allocateBuffer<double>(n));
        const std::unique_ptr<fftw_complex[], BufferFree> out(
            allocateBuffer<fftw_complex>(n / 2 + 1));
        if (!in || !out)
            return;
        std::shared_ptr<const Plan> plan = planFor(n, in.get(), out.get());
        release(plan);
    });
}

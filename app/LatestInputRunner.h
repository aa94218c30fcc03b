#pragma once

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include <functional>
#include <optional>
#include <utility>

// Runs a job on a worker thread, one at a time, and hands its result to
// `done` in the thread that started it, which never waits for the worker.
// An input given while a job runs waits for it to end, the newest replacing
// any other: a burst of refreshes costs two jobs, not one a refresh. A
// runner deleted while its job runs lets the job end on its own copy of the
// input, and calls nothing.
template<typename Input, typename Result> class LatestInputRunner
{
public:
    using Job = std::function<Result(const Input &)>;
    using Done = std::function<void(const Result &)>;

    LatestInputRunner(Job job, Done done)
        : m_job(std::move(job))
        , m_done(std::move(done))
    {
        QObject::connect(&m_watcher, &QFutureWatcher<Result>::finished, &m_watcher, [this] {
            // Taken before the next job replaces the watcher's future.
            const Result result = m_watcher.result();
            m_busy = false;
            if (m_next) {
                run(std::move(*m_next));
                m_next.reset();
            }
            m_done(result);
        });
    }
    LatestInputRunner(const LatestInputRunner &) = delete;
    LatestInputRunner &operator=(const LatestInputRunner &) = delete;

    // A job is running.
    bool busy() const { return m_busy; }

    // Runs the job on `input` now, or once the running one ends.
    void start(Input input)
    {
        if (m_busy)
            m_next = std::move(input);
        else
            run(std::move(input));
    }

private:
    void run(Input input)
    {
        m_busy = true;
        m_watcher.setFuture(
            QtConcurrent::run([job = m_job, input = std::move(input)] { return job(input); }));
    }

    Job m_job;
    Done m_done;
    QFutureWatcher<Result> m_watcher;
    std::optional<Input> m_next;
    bool m_busy = false;
};

// Worker threads that live inside one call: started by it, joined before it
// returns or unwinds, so nothing survives the call (fork stays safe).
//
// The calling thread may take a share of the work itself (work_and_wait),
// polling its own StopCheck, so that a call on N threads starts N - 1 more;
// then, like a caller that only waits, it wakes when a worker reports
// progress (or every millisecond), runs the caller's `step` (for example
// checking that every chunk has been added) and polls the caller's StopCheck.
// When the check stops the call, or a worker fails, the other workers are
// cancelled through their own StopCheck, which reads a shared flag, and
// joined; the first worker failure is rethrown on the calling thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "common/stop_check.h"

namespace vorn {

class CallWorkers {
public:
    // Body of one worker; it polls (or reads) its own stop check.
    using Body = std::function<void(const StopCheck& worker_stop)>;

    CallWorkers() = default;
    CallWorkers(const CallWorkers&) = delete;
    CallWorkers& operator=(const CallWorkers&) = delete;
    // Cancels and joins whatever still runs (an unwinding caller).
    ~CallWorkers();

    // Starts one more worker thread. Answers false when the system cannot
    // start one (no memory for its stack, a thread limit): the call then runs
    // on the threads it has, which gives the same results.
    bool spawn(Body body);

    // On the calling thread: until `step()` answers true (everything done)
    // or every worker has ended, runs `step` after each wake-up and polls
    // `stop` (which may throw Stopped). Then joins the workers and rethrows
    // the first worker failure, if any.
    void wait(const StopCheck& stop, const std::function<bool()>& step);
    // On the calling thread: runs `own(stop)`, the caller's share of the
    // work, then wait(stop, step). A worker failure cancels the others at
    // once but reaches the caller only when `own` returns; an exception out
    // of `own` leaves the workers to the destructor.
    void work_and_wait(const Body& own, const StopCheck& stop, const std::function<bool()>& step);

    // For workers: wakes the waiting caller.
    void notify_caller();
    // The lock that guards the caller's and the workers' shared state; the
    // workers' condition, woken by notify_workers and by cancellation.
    std::mutex& mutex() { return mutex_; }
    std::condition_variable& worker_condition() { return worker_cv_; }
    void notify_workers() { worker_cv_.notify_all(); }
    bool cancelled() const noexcept { return cancelled_.load(std::memory_order_relaxed); }

private:
    void cancel();
    void join_all();
    void run_worker(const Body& body);

    std::mutex mutex_;
    std::condition_variable caller_cv_;
    std::condition_variable worker_cv_;
    bool progress_ = false;                 // guarded by mutex_
    std::size_t finished_ = 0;              // guarded by mutex_
    std::exception_ptr failure_;            // guarded by mutex_
    std::atomic<bool> cancelled_{false};
    std::vector<std::thread> threads_;
};

// Runs task(t, stop_for_t) for every t in [0, count): on the calling thread
// with `stop` when `threads` is 1 or there is a single task, otherwise on
// min(threads, count) threads, the calling thread (with `stop`) among them,
// that take tasks in order. Tasks must be independent; each writes its own
// result slot.
void run_tasks(std::uint64_t count, unsigned threads, const StopCheck& stop,
               const std::function<void(std::uint64_t task, const StopCheck& task_stop)>& task);

}  // namespace vorn

#include "threads/call_workers.h"

#include <chrono>
#include <system_error>

#include "common/thread_error_state.h"

namespace vorn {
namespace {

bool read_flag(void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load(std::memory_order_relaxed); }

constexpr std::chrono::milliseconds kCallerWake{1};

}  // namespace

CallWorkers::~CallWorkers() {
    cancel();
    join_all();
}

void CallWorkers::cancel() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_.store(true, std::memory_order_relaxed);
    }
    worker_cv_.notify_all();
}

void CallWorkers::join_all() {
    for (std::thread& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
    threads_.clear();
}

void CallWorkers::run_worker(const Body& body) {
    prepare_thread_error_state();
    // The worker's own check: consulted every few milliseconds of its work,
    // it answers yes once the call is cancelled.
    StopCheck worker_stop(&read_flag, &cancelled_);
    try {
        body(worker_stop);
    } catch (const Stopped&) {
        // Cancelled: the caller knows why.
    } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!failure_) failure_ = std::current_exception();
        cancelled_.store(true, std::memory_order_relaxed);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++finished_;
        progress_ = true;
    }
    worker_cv_.notify_all();
    caller_cv_.notify_one();
}

bool CallWorkers::spawn(Body body) {
    threads_.reserve(threads_.size() + 1);  // a failure to grow is a MemoryError, not a lost thread
    try {
        threads_.emplace_back([this, body = std::move(body)] { run_worker(body); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CallWorkers::notify_caller() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        progress_ = true;
    }
    caller_cv_.notify_one();
}

void CallWorkers::wait(const StopCheck& stop, const std::function<bool()>& step) {
    auto last_check = std::chrono::steady_clock::now();
    for (;;) {
        if (step()) break;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (failure_ || finished_ == threads_.size()) break;
            caller_cv_.wait_for(lock, kCallerWake, [this] { return progress_; });
            progress_ = false;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - last_check >= StopCheck::kInterval) {
            last_check = now;
            stop.check_now();  // throws Stopped; the destructor cancels and joins
        }
    }
    // Whatever the workers left undone is not needed (or cannot be finished).
    cancel();
    join_all();
    if (failure_) std::rethrow_exception(failure_);
}

void CallWorkers::work_and_wait(const Body& own, const StopCheck& stop, const std::function<bool()>& step) {
    own(stop);
    wait(stop, step);
}

void run_tasks(std::uint64_t count, unsigned threads, const StopCheck& stop,
               const std::function<void(std::uint64_t task, const StopCheck& task_stop)>& task) {
    if (threads <= 1 || count <= 1) {
        for (std::uint64_t t = 0; t < count; ++t) task(t, stop);
        return;
    }
    const std::uint64_t workers = count < threads ? count : threads;
    std::atomic<std::uint64_t> next{0};
    std::atomic<std::uint64_t> done{0};
    CallWorkers team;
    const CallWorkers::Body take_tasks = [&](const StopCheck& task_stop) {
        for (std::uint64_t t = next.fetch_add(1); t < count; t = next.fetch_add(1)) {
            if (task_stop.stop_requested() || team.cancelled()) return;
            task(t, task_stop);
            done.fetch_add(1);
        }
    };
    for (std::uint64_t w = 1; w < workers; ++w) {
        if (!team.spawn(take_tasks)) break;  // the threads that started do all the work
    }
    team.work_and_wait(take_tasks, stop, [&] { return done.load() == count; });
}

}  // namespace vorn

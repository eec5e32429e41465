// Cooperative cancellation for calls that can run for seconds (route searches,
// ensembles, sensitivity analyses, comparisons).
//
// The caller hands the core a plain callback that answers "must this call stop
// now?"; the Python bridge passes one that runs pending signal handlers, so a
// KeyboardInterrupt set by a handler is left in place for the bridge to
// re-raise unchanged. Long loops call poll() once per unit of work (one route
// search expansion, one ensemble run, one round); poll() is an increment and a
// compare, reads the clock every kClockStride units and consults the callback
// at most once per kInterval of wall time. When the callback answers yes,
// poll() throws Stopped; every frame unwinds through RAII, so the objects the
// call works on are left as they were.
//
// A StopCheck belongs to the thread that made the call: worker threads started
// inside the call never poll it. Each worker polls a StopCheck of its own whose
// callback reads the call's cancel flag (threads/call_workers.h), which the
// calling thread sets before it joins them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>

namespace vorn {

// Thrown by StopCheck::poll when the caller's callback asked the call to end.
// The reason (for Python: the pending exception) stays with the caller.
struct Stopped : std::exception {
    const char* what() const noexcept override { return "the call was stopped by its caller"; }
};

class StopCheck {
public:
    // Returns true when the call must stop. Called on the calling thread only.
    using Callback = bool (*)(void* state);

    static constexpr std::uint32_t kClockStride = 256;
    static constexpr std::chrono::milliseconds kInterval{2};

    // Never stops.
    StopCheck() = default;
    StopCheck(Callback callback, void* state) : callback_(callback), state_(state) {}
    StopCheck(const StopCheck&) = delete;
    StopCheck& operator=(const StopCheck&) = delete;

    // One unit of work done. Throws Stopped when the callback asks to stop.
    void poll() const {
        if (callback_ == nullptr || ++count_ < kClockStride) return;
        poll_clock();
    }

    // Consults the callback now, whatever the time since the last consultation.
    void check_now() const;

    // For worker threads of the call: has the call been asked to stop?
    bool stop_requested() const noexcept { return stop_.load(std::memory_order_relaxed); }
    void request_stop() const noexcept { stop_.store(true, std::memory_order_relaxed); }

    bool can_stop() const noexcept { return callback_ != nullptr; }

private:
    void poll_clock() const;

    Callback callback_ = nullptr;
    void* state_ = nullptr;
    mutable std::uint32_t count_ = 0;
    mutable std::chrono::steady_clock::time_point last_{};
    mutable std::atomic<bool> stop_{false};
};

// The check of calls made without one: never stops.
const StopCheck& never_stop();

}  // namespace vorn

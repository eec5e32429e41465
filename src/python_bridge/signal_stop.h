// The stop check that calls from Python hand to the core.
//
// On the main thread it runs the interpreter's pending signal handlers every
// few milliseconds of work: a handler that raises, KeyboardInterrupt
// included, stops the call; its exception stays set and the error funnel
// lets it propagate unchanged.
//
// Elsewhere no handler can run (the interpreter runs them on the main thread
// only, and this call holds the interpreter lock the main thread needs), so
// a Ctrl-C would wait for the call to end. There the check stops the call
// with KeyboardInterrupt once SIGINT has arrived since the call began: the
// call's thread sees the interrupt, and the main thread, which gets the lock
// back, then runs its own handler as usual. SIGINT is observed by a handler
// that counts arrivals and hands each on to the handler it replaced (the
// interpreter's), put in place when a call starts if it is not there. A call
// on a daemon thread also ends (SystemExit) once the main thread has finished
// and the interpreter is exiting: nothing waits for it, and the exit needs
// the lock it holds.
//
// Every check also counts the calls it nests in on its thread: a signal
// handler that starts a call while one runs (and so on) gets RecursionError
// past kMaxNestedCalls, long before the C stack runs out.
#pragma once

#include <cstdint>

#include "common/stop_check.h"
#include "python_bridge/python_api.h"

namespace vorn::py {

class SignalStop : public StopCheck {
public:
    static constexpr int kMaxNestedCalls = 16;

    // Throws ErrorAlreadySet (RecursionError set) past kMaxNestedCalls.
    SignalStop();
    ~SignalStop();
    SignalStop(const SignalStop&) = delete;
    SignalStop& operator=(const SignalStop&) = delete;

private:
    static bool check(void* self);

    enum class Thread : std::uint8_t { kUnknown, kMain, kOther };
    Thread thread_ = Thread::kUnknown;
    std::uint64_t interrupts_at_start_ = 0;
};

}  // namespace vorn::py

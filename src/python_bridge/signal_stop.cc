#include "python_bridge/signal_stop.h"

#include <atomic>
#include <csignal>
#include <cstdint>

#include "python_bridge/instance.h"
#include "python_bridge/messages.h"
#include "python_bridge/py_ref.h"

namespace vorn::py {
namespace {

thread_local int nested_calls = 0;

// SIGINT arrivals, counted by the hook; the handler it hands them on to.
std::atomic<std::uint64_t> interrupts{0};
struct sigaction replaced_handler{};

void count_interrupt(int signal_number, siginfo_t* info, void* context) {
    interrupts.fetch_add(1, std::memory_order_relaxed);
    if ((replaced_handler.sa_flags & SA_SIGINFO) != 0) {
        if (replaced_handler.sa_sigaction != nullptr) replaced_handler.sa_sigaction(signal_number, info, context);
    } else if (replaced_handler.sa_handler != SIG_DFL && replaced_handler.sa_handler != SIG_IGN) {
        replaced_handler.sa_handler(signal_number);
    }
}

bool is_hook(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == &count_interrupt;
}

// Puts the counting hook in front of the interpreter's SIGINT handler (or
// the one a program installed since), unless
// it is there already or SIGINT is not handled by a function (default or
// ignored: then Ctrl-C does not reach Python code anyway). Runs with the
// interpreter lock held, so two threads never install at once; the replaced
// handler is written before the hook can run.
void hook_interrupts() {
    struct sigaction current{};
    if (sigaction(SIGINT, nullptr, &current) != 0 || is_hook(current)) return;
    const bool function = (current.sa_flags & SA_SIGINFO) != 0
                              ? current.sa_sigaction != nullptr
                              : current.sa_handler != SIG_DFL && current.sa_handler != SIG_IGN;
    if (!function) return;
    replaced_handler = current;
    struct sigaction hook = current;
    hook.sa_flags |= SA_SIGINFO;
    hook.sa_sigaction = &count_interrupt;
    sigaction(SIGINT, &hook, nullptr);
}

enum class ThreadKind : std::uint8_t { kMain, kOther, kHandlerRaised };

// Is this the thread that runs the interpreter's signal handlers? Asking
// runs Python code, and with it any pending signal handler: one that raised
// leaves its exception set (kHandlerRaised), which must end the call as
// PyErr_CheckSignals would have.
ThreadKind this_thread_kind() {
    Ref threading = Ref::steal(PyImport_ImportModule("threading"));
    Ref main = threading ? Ref::steal(PyObject_CallMethod(threading.get(), "main_thread", nullptr)) : Ref();
    Ref ident = main ? Ref::steal(PyObject_GetAttrString(main.get(), "ident")) : Ref();
    if (!ident) return ThreadKind::kHandlerRaised;
    const unsigned long main_ident = PyLong_AsUnsignedLong(ident.get());
    if (PyErr_Occurred()) PyErr_Clear();
    return main_ident == PyThread_get_thread_ident() ? ThreadKind::kMain : ThreadKind::kOther;
}

// Is this a daemon thread of an interpreter whose main thread has finished
// (the interpreter is exiting)? Nothing waits for a daemon thread, but its
// call holds the lock that the exit needs, so the call ends (SystemExit,
// which ends a thread quietly) and the process can exit. Other threads are
// waited for at exit, and their calls go on. Asks with Python calls, every
// few milliseconds of a call off the main thread only.
bool abandoned_at_exit() {
    Ref threading = Ref::steal(PyImport_ImportModule("threading"));
    Ref main = threading ? Ref::steal(PyObject_CallMethod(threading.get(), "main_thread", nullptr)) : Ref();
    Ref alive = main ? Ref::steal(PyObject_CallMethod(main.get(), "is_alive", nullptr)) : Ref();
    Ref current = threading ? Ref::steal(PyObject_CallMethod(threading.get(), "current_thread", nullptr)) : Ref();
    Ref daemon = current ? Ref::steal(PyObject_GetAttrString(current.get(), "daemon")) : Ref();
    if (!alive || !daemon) {
        PyErr_Clear();  // the threading module is being torn down: nothing to tell
        return false;
    }
    return PyObject_IsTrue(alive.get()) == 0 && PyObject_IsTrue(daemon.get()) == 1;
}

}  // namespace

SignalStop::SignalStop() : StopCheck(&SignalStop::check, this) {
    if (nested_calls >= kMaxNestedCalls) {
        PyErr_SetString(PyExc_RecursionError, msg::kCallsNestTooDeep);
        throw ErrorAlreadySet();
    }
    // Before the call starts, so that no SIGINT during it goes uncounted
    // (one system call when the hook is in place already).
    hook_interrupts();
    interrupts_at_start_ = interrupts.load(std::memory_order_relaxed);
    ++nested_calls;
}

SignalStop::~SignalStop() { --nested_calls; }

bool SignalStop::check(void* self) {
    auto& stop = *static_cast<SignalStop*>(self);
    if (stop.thread_ == Thread::kUnknown) {
        const ThreadKind kind = this_thread_kind();
        if (kind == ThreadKind::kHandlerRaised) return true;  // its exception stays set
        stop.thread_ = kind == ThreadKind::kMain ? Thread::kMain : Thread::kOther;
    }
    if (stop.thread_ == Thread::kMain) return PyErr_CheckSignals() != 0;
    if (interrupts.load(std::memory_order_relaxed) != stop.interrupts_at_start_) {
        PyErr_SetNone(PyExc_KeyboardInterrupt);
        return true;
    }
    if (abandoned_at_exit()) {
        PyErr_SetNone(PyExc_SystemExit);
        return true;
    }
    return false;
}

}  // namespace vorn::py

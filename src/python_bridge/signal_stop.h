// The stop check that calls from Python hand to the core: every few
// milliseconds of work it runs the interpreter's pending signal handlers (on
// the main thread; elsewhere there is nothing to run). A handler that raises,
// KeyboardInterrupt included, stops the call; its exception stays set and the
// error funnel lets it propagate unchanged.
#pragma once

#include "common/stop_check.h"
#include "python_bridge/python_api.h"

namespace vorn::py {

inline bool run_signal_handlers(void*) { return PyErr_CheckSignals() != 0; }

class SignalStop : public StopCheck {
public:
    SignalStop() : StopCheck(&run_signal_handlers, nullptr) {}
};

}  // namespace vorn::py

// System calls that a signal can interrupt (open of a FIFO, read, write).
//
// A call that fails with EINTR is not a failure of the file: a signal
// arrived while it blocked. As the interpreter does for its own file calls,
// the stop check is consulted at once (on the main thread that runs the
// pending signal handlers, and a handler that raised ends the call with
// Stopped) and the call is then made again.
#pragma once

#include <cerrno>

#include "common/stop_check.h"

namespace vorn {

// Calls `call()` until it returns something other than -1 with errno EINTR;
// returns that result with errno as the call left it.
template <class Call>
auto retry_interrupted(const StopCheck& stop, Call call) {
    for (;;) {
        const auto result = call();
        if (result != -1 || errno != EINTR) return result;
        stop.check_now();
    }
}

}  // namespace vorn

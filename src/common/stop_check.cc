#include "common/stop_check.h"

namespace vorn {

void StopCheck::poll_clock() const {
    count_ = 0;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < kInterval) return;
    last_ = now;
    check_now();
}

void StopCheck::check_now() const {
    if (callback_ == nullptr) return;
    if (stop_requested() || callback_(state_)) {
        request_stop();
        throw Stopped();
    }
}

const StopCheck& never_stop() {
    static const StopCheck check;
    return check;
}

}  // namespace vorn

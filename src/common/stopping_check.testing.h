// A stop check whose callback asks for a stop at every consultation, for
// tests that a long loop polls its check: the loop must end with Stopped
// once it has done a few hundred units of work.
#pragma once

#include <cstddef>

#include "common/stop_check.h"

namespace vorn::test_support {

inline bool stop_at_once(void* /*state*/) { return true; }

class StoppingCheck : public StopCheck {
public:
    StoppingCheck() : StopCheck(&stop_at_once, nullptr) {}
};

// More units of work than a StopCheck does between two consultations.
inline constexpr std::size_t kManyUnits = 4 * StopCheck::kClockStride;

}  // namespace vorn::test_support

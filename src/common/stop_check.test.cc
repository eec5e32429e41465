#include "common/stop_check.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace vorn {
namespace {

struct Counter {
    int calls = 0;
    int stop_after = 0;
};

bool count_and_answer(void* state) {
    auto* counter = static_cast<Counter*>(state);
    return ++counter->calls > counter->stop_after;
}

}  // namespace

TEST(StopCheck, stop_check_consults_the_callback_at_most_once_per_interval_and_stops_when_it_answers_yes) {
    Counter counter{0, 1};
    StopCheck check(&count_and_answer, &counter);
    // A burst of work far shorter than the interval consults the callback once.
    for (std::uint32_t i = 0; i < 4 * StopCheck::kClockStride; ++i) check.poll();
    EXPECT_EQ(counter.calls, 1);
    EXPECT_FALSE(check.stop_requested());
    std::this_thread::sleep_for(StopCheck::kInterval + std::chrono::milliseconds(1));
    EXPECT_THROW(
        {
            for (std::uint32_t i = 0; i < 2 * StopCheck::kClockStride; ++i) check.poll();
        },
        Stopped);
    EXPECT_EQ(counter.calls, 2);
    EXPECT_TRUE(check.stop_requested());
    // Once asked to stop, it keeps stopping without asking again.
    EXPECT_THROW(check.check_now(), Stopped);
    EXPECT_EQ(counter.calls, 2);
}

TEST(StopCheck, stop_check_without_callback_never_stops) {
    for (int i = 0; i < 100000; ++i) never_stop().poll();
    never_stop().check_now();
    EXPECT_FALSE(never_stop().stop_requested());
    EXPECT_FALSE(never_stop().can_stop());
}

}  // namespace vorn

#include "simulation/round_loop.h"

#include <cmath>

#include <gtest/gtest.h>

// With an unbounded budget and cutoff and a target that is never met, the
// clock eventually stops advancing (2^55 + 2.5 rounds back to 2^55): the
// request then ends as out of time at that clock instead of looping forever.
TEST(RoundLoop, rounds_end_when_the_clock_stops_advancing) {
    vorn::RequestPlan plan;
    plan.fidelity_target = 2.0;
    plan.max_latency_ms = INFINITY;
    plan.total_time_cutoff_ms = INFINITY;
    plan.start_fidelity = 0.9;
    plan.baseline_purify_factor = 0.0;
    const double start = std::ldexp(1.0, 55) - 64.0;
    // A hop that always fails (every round abandoned), and one that always
    // succeeds (every round complete, purification then back-off).
    for (const double p : {0.0, 2.0}) {
        plan.hop_probability = {p};
        plan.hop_win_bound = {vorn::closed01_win_bound(p)};
        std::uint64_t drops = 0;
        vorn::ChaCha12Generator request(vorn::ChaCha12Generator::Key{}), loss(vorn::ChaCha12Generator::Key{}, 1);
        const vorn::RoundsResult result = vorn::run_rounds(plan, drops, request, loss, vorn::never_stop(), start);
        EXPECT_FALSE(result.success);
        EXPECT_EQ(result.latency_ms, std::ldexp(1.0, 55));
        EXPECT_GT(result.rounds, 1);
        EXPECT_LT(result.rounds, 40);
    }
}

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

// Once a round is abandoned the remaining rounds are counted, not stepped:
// the count and the final clock must match stepping the clock by 2.5 ms, for
// start clocks whose sums are exact (multiples of 0.5, 0.25) and ones that
// round (after purifications of 0.85 ms), with and without the memo.
TEST(RoundLoop, abandoned_rounds_match_stepping_the_clock) {
    vorn::RequestPlan plan;
    plan.fidelity_target = 2.0;
    plan.total_time_cutoff_ms = 2e5;
    plan.start_fidelity = 0.9;
    plan.hop_probability = {0.0, 0.0};
    plan.hop_win_bound = {0, 0};
    bool all_equal = true;
    vorn::AbandonedRoundsMemo memo;
    for (const double start : {0.0, 0.25, 2.5, 3.35, 100.85, 4096.1, 1.5e5 + 0.85, 1e9 + 0.5}) {
        for (const double budget : {1.0, 2.5, 100.0, 5000.0, 5000.3, 1e5, 1e300, HUGE_VAL}) {
            plan.max_latency_ms = budget;
            // The reference: one round is always run, then the clock steps.
            std::uint64_t rounds = 0;
            double clock = start;
            if (budget > clock && plan.total_time_cutoff_ms > clock) {
                rounds = 1;
                for (;;) {
                    const double next = clock + 2.5;
                    if (next == clock) break;
                    clock = next;
                    if (!(budget > clock && plan.total_time_cutoff_ms > clock)) break;
                    ++rounds;
                }
            }
            for (vorn::AbandonedRoundsMemo* use : {static_cast<vorn::AbandonedRoundsMemo*>(nullptr), &memo, &memo}) {
                std::uint64_t drops = 0;
                vorn::ChaCha12Generator request(vorn::ChaCha12Generator::Key{}), loss(vorn::ChaCha12Generator::Key{}, 1);
                const vorn::RoundsResult result =
                    vorn::run_rounds(plan, drops, request, loss, vorn::never_stop(), start, use);
                all_equal = all_equal && result.rounds == rounds && result.latency_ms == clock &&
                            drops == 2 * rounds && request.words_drawn() == 4 * rounds;
            }
            memo = vorn::AbandonedRoundsMemo();  // the memo holds one plan's answers
        }
    }
    EXPECT_TRUE(all_equal);
}

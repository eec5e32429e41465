#include "simulation/round_loop.h"

#include <cmath>
#include <vector>

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
                vorn::ChaCha12Generator request(vorn::ChaCha12Generator::Key{}),
                    loss(vorn::ChaCha12Generator::Key{}, 1);
                const vorn::RoundsResult result =
                    vorn::run_rounds(plan, drops, request, loss, vorn::never_stop(), start, use);
                all_equal = all_equal && result.rounds == rounds && result.latency_ms == clock && drops == 2 * rounds &&
                            request.words_drawn() == 4 * rounds;
            }
            memo = vorn::AbandonedRoundsMemo();  // the memo holds one plan's answers
        }
    }
    EXPECT_TRUE(all_equal);
}

namespace {

// The reference for abandoned_end_clock: step the clock as the round loop does.
double stepped_end_clock(double clock, double budget, double cutoff) {
    for (;;) {
        const double next = clock + 2.5;
        if (next == clock) return clock;
        clock = next;
        if (!(budget > clock && cutoff > clock)) return clock;
    }
}

}  // namespace

// The closed-form end clock of abandoned rounds equals stepping the clock,
// from starts just below binade ends (where the step changes), in the binade
// of 1 ms spacing where sums tie (odd and even starts), and up to where the
// clock stops advancing; limits a few thousand steps ahead, on a binade edge,
// unbounded, NaN and already passed.
TEST(RoundLoop, abandoned_end_clock_matches_stepping) {
    std::vector<double> starts = {0.0, 0.85, 3.35, 1e9 + 0.5};
    for (const int e : {10, 30, 51, 52, 53, 54, 55}) {
        const double edge = std::ldexp(1.0, e);
        for (const double back : {1.0, 1.5, 2.5, 3.0, 7.25, 1e3, 1e4 + 0.5}) starts.push_back(edge - back);
        starts.push_back(edge + 1.0);
        starts.push_back(edge + 3.0);
    }
    int compared = 0;
    for (const double start : starts) {
        for (const double ahead : {-1.0, 0.0, 2.5, 100.0, 4096.3, 9e4, HUGE_VAL}) {
            const double budget = start + ahead;
            // Unbounded limits only where stepping ends in reasonable time
            // (it stops advancing at 2^55).
            if (ahead == HUGE_VAL && start < std::ldexp(1.0, 55) - 1e5) continue;
            for (const double cutoff : {HUGE_VAL, budget + 10.0, start + 50.0, std::nan("")}) {
                EXPECT_EQ(vorn::abandoned_end_clock(start, budget, cutoff), stepped_end_clock(start, budget, cutoff))
                    << "start " << start << " budget " << budget << " cutoff " << cutoff;
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 300);
    // Unbounded from the first round: the clock stops advancing at 2^55 ms,
    // where the spacing is 8 and 2.5 rounds away.
    EXPECT_EQ(vorn::abandoned_end_clock(2.5, HUGE_VAL, HUGE_VAL), std::ldexp(1.0, 55));
}

// A single request's outcome skips its abandoned rounds but ends where the
// counted rounds end.
TEST(RoundLoop, outcome_only_rounds_end_where_counted_rounds_end) {
    vorn::RequestPlan plan;
    plan.fidelity_target = 2.0;
    plan.total_time_cutoff_ms = 2e5;
    plan.start_fidelity = 0.9;
    plan.hop_probability = {0.5, 0.5};
    plan.hop_win_bound = {vorn::closed01_win_bound(0.5), vorn::closed01_win_bound(0.5)};
    for (const double budget : {1.0, 100.0, 5000.3, 1e5, HUGE_VAL}) {
        plan.max_latency_ms = budget;
        for (std::uint64_t stream = 0; stream < 32; ++stream) {
            std::uint64_t drops = 0;
            vorn::ChaCha12Generator request(vorn::ChaCha12Generator::Key{}, stream),
                loss(vorn::ChaCha12Generator::Key{}, 99);
            const vorn::RoundsResult counted = vorn::run_rounds(plan, drops, request, loss);
            vorn::ChaCha12Generator request2(vorn::ChaCha12Generator::Key{}, stream),
                loss2(vorn::ChaCha12Generator::Key{}, 99);
            drops = 0;
            const vorn::RoundsResult outcome = vorn::run_rounds(plan, drops, request2, loss2, vorn::never_stop(), 0.0,
                                                                nullptr, vorn::RoundsKept::kOutcomeOnly);
            EXPECT_EQ(outcome.success, counted.success);
            EXPECT_EQ(outcome.latency_ms, counted.latency_ms);
            EXPECT_EQ(outcome.fidelity, counted.fidelity);
        }
    }
}

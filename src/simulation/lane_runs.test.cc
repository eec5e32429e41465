#include "simulation/lane_runs.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "random/chacha12.h"
#include <gtest/gtest.h>

namespace {

struct PlanRow {
    std::vector<double> hop_probability;
    double start_fidelity, swapped_fidelity, target, budget, cutoff, beta;
};

vorn::RequestPlan make_plan(const PlanRow& row) {
    vorn::RequestPlan plan;
    plan.hop_probability = row.hop_probability;
    for (const double p : row.hop_probability) plan.hop_win_bound.push_back(vorn::closed01_win_bound(p));
    plan.start_fidelity = row.start_fidelity;
    plan.swaps = row.hop_probability.size() >= 2;
    plan.swapped_fidelity = row.swapped_fidelity;
    plan.fidelity_target = row.target;
    plan.max_latency_ms = row.budget;
    plan.total_time_cutoff_ms = row.cutoff;
    plan.baseline_purify_factor = row.beta;
    return plan;
}

}  // namespace

// Every run played in lanes, on every kernel this CPU can run, against the
// same run played by run_rounds on its own two generators: the same latency,
// fidelity and success bit for bit, and the same totals (successes, failed
// attempts, rounds, keystream words). The plans cover 1 to 8 hops, first
// rounds that end a run, purification retries over many rounds (runs that
// wait in the pool for further blocks of either stream), abandoned runs whose
// remaining draws end inside the buffered block or need sweeps longer than
// one lane's piece, budgets that admit no round, a cutoff below the budget,
// and run counts that do not fill the last lane-width.
TEST(LaneRuns, runs_in_lanes_match_run_rounds_on_generators) {
    const PlanRow rows[] = {
        {{0.8875, 0.8875, 0.8875}, 0.8, 0.99, 0.9, 100.0, 1e9, 0.12},
        {{0.8875, 0.8875, 0.8875}, 0.8, 0.99, 0.9, 5000.0, 1e9, 0.12},
        {{0.98, 0.5, 0.8, 0.6}, 0.7, 0.6, 0.95, 300.0, 1e9, 0.02},
        {{0.98}, 0.55, 0.0, 0.97, 5000.0, 1e9, 0.01},
        {{0.98, 0.98}, 0.6, 0.62, 0.99, 400.0, 120.0, 0.005},
        {{0.9, 0.95, 0.97, 0.98, 0.9, 0.95, 0.97, 0.98}, 0.9, 0.93, 0.92, 250.0, 1e9, 0.03},
        {{0.7, 0.7, 0.7, 0.7, 0.7}, 0.9, 0.95, 0.9, 2.5, 1e9, 0.12},
        {{0.9, 0.9}, 0.9, 0.95, 0.9, 0.0, 1e9, 0.12},
        {{0.99999, 0.0}, 0.9, 0.95, 0.9, 40.0, 1e9, 0.12},
    };
    for (const vorn::KeystreamKernel& kernel : vorn::keystream_kernels()) {
        if (!kernel.supported()) continue;
        for (const PlanRow& row : rows) {
            const vorn::RequestPlan plan = make_plan(row);
            ASSERT_TRUE(vorn::runs_in_lanes(plan));
            const std::uint64_t runs = 3 * kernel.lanes * 5 + 3;
            const std::uint64_t first_seed = 0xFFFFFFFFFFFFFF00ULL;  // seeds wrap past 2^64 - 1
            std::vector<double> latency(runs), fidelity(runs);
            std::unique_ptr<bool[]> success(new bool[runs]);
            vorn::RunTotals totals;
            vorn::AbandonedRoundsMemo memo;
            vorn::run_in_lanes(plan, {kernel,
                                      first_seed,
                                      runs,
                                      {latency.data(), fidelity.data(), success.get()},
                                      totals,
                                      memo,
                                      vorn::never_stop()});

            vorn::RunTotals expected;
            std::uint64_t mismatched_runs = 0;
            for (std::uint64_t j = 0; j < runs; ++j) {
                const vorn::ChaCha12Generator::Key key = vorn::ChaCha12Generator::key_from_u64(first_seed + j);
                vorn::ChaCha12Generator request(key, 0, kernel), loss(key, 1, kernel);
                std::uint64_t drops = 0;
                const vorn::RoundsResult result = vorn::run_rounds(plan, drops, request, loss);
                expected.successes += result.success ? 1 : 0;
                expected.drops += drops;
                expected.attempts_per_hop += result.rounds;
                expected.keystream_words += request.words_drawn() + loss.words_drawn();
                if (std::bit_cast<std::uint64_t>(result.latency_ms) != std::bit_cast<std::uint64_t>(latency[j]) ||
                    std::bit_cast<std::uint64_t>(result.fidelity) != std::bit_cast<std::uint64_t>(fidelity[j]) ||
                    result.success != success[j]) {
                    ++mismatched_runs;
                }
            }
            const std::string where = std::string(kernel.name) + " plan " + std::to_string(&row - rows);
            EXPECT_EQ(mismatched_runs, 0u) << where;
            EXPECT_EQ(totals.successes, expected.successes) << where;
            EXPECT_EQ(totals.drops, expected.drops) << where;
            EXPECT_EQ(totals.attempts_per_hop, expected.attempts_per_hop) << where;
            EXPECT_EQ(totals.keystream_words, expected.keystream_words) << where;
        }
    }
}

// Plans outside what a lane buffers, or with a hop that can never fail, are
// left to run_rounds.
TEST(LaneRuns, runs_in_lanes_takes_one_to_eight_hops_that_can_fail) {
    EXPECT_FALSE(vorn::runs_in_lanes(make_plan({{}, 1.0, 0.0, 0.9, 100.0, 1e9, 0.12})));
    EXPECT_TRUE(vorn::runs_in_lanes(make_plan({std::vector<double>(8, 0.9), 0.9, 0.9, 0.9, 100.0, 1e9, 0.12})));
    EXPECT_FALSE(vorn::runs_in_lanes(make_plan({std::vector<double>(9, 0.9), 0.9, 0.9, 0.9, 100.0, 1e9, 0.12})));
    EXPECT_FALSE(vorn::runs_in_lanes(make_plan({{0.9, 2.0}, 0.9, 0.9, 0.9, 100.0, 1e9, 0.12})));
    vorn::RequestPlan early = make_plan({{0.9}, 0.9, 0.9, 0.9, 100.0, 1e9, 0.12});
    early.ends_early = true;
    EXPECT_FALSE(vorn::runs_in_lanes(early));
}

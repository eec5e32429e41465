#include "physical/chain_run.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "physical/chains.testing.h"
#include <gtest/gtest.h>

namespace {

using vorn::ChaCha12Generator;
using vorn::ChainPlan;
using vorn::ChainRunner;
using vorn::ChainRunResult;
using vorn::PhysicalModel;
using vorn::test_support::end_to_end;
using vorn::test_support::fiber_chain;

// Every attempt succeeds: no loss, a perfect source.
PhysicalModel lossless() {
    PhysicalModel model;
    model.attenuation_db_km = 0.0;
    model.source_efficiency = 1.0;
    return model;
}

ChainRunResult run_once(const ChainPlan& plan, std::uint64_t seed, std::vector<std::uint64_t>& attempts) {
    ChainRunner runner(plan);
    ChaCha12Generator generator = ChaCha12Generator::seed_from_u64(seed);
    attempts.assign(plan.hops(), 0);
    return runner.run(generator, attempts.data());
}

TEST(PhysicalChainRun, GeometricAttemptsByInversion) {
    EXPECT_EQ(vorn::geometric_attempts(UINT64_MAX, 1.0 / std::log1p(-0.25)), 1.0);  // U = 1
    // U = 2^-53, the smallest draw, gives the longest wait: log(2^-53) / log(0.1)
    // is 15.96, so 16 attempts at p = 0.9.
    EXPECT_EQ(vorn::geometric_attempts(0, 1.0 / std::log(0.1)), 16.0);
    EXPECT_EQ(vorn::geometric_attempts(0, 1.0 / -INFINITY), 1.0);  // p = 1
    // U = 3/4 at p = 1/2: one failure has probability 1/2, so one attempt.
    EXPECT_EQ(vorn::geometric_attempts(std::uint64_t{3} << 62, 1.0 / std::log(0.5)), 1.0);
    // p = 1e-12 still takes one draw and gives a wait of order 1 / p.
    const double k = vorn::geometric_attempts(std::uint64_t{1} << 63, 1.0 / std::log1p(-1e-12));  // U = 1/2
    EXPECT_NEAR(k, std::log(2.0) * 1e12, 1e3);
}

TEST(PhysicalChainRun, OneLosslessHopDeliversAfterOneAttemptAndTheSignal) {
    std::vector<std::uint64_t> attempts;
    const ChainPlan plan = vorn::plan_chain(fiber_chain(1, 10.0, 0.9, 1000.0), end_to_end(1), lossless());
    const ChainRunResult run = run_once(plan, 7, attempts);
    ASSERT_TRUE(run.delivered);
    EXPECT_DOUBLE_EQ(run.delivery_ms, 1.0 + 10.0 / 200.0);
    EXPECT_DOUBLE_EQ(run.fidelity, 0.9);
    EXPECT_EQ(attempts[0], 1u);
}

TEST(PhysicalChainRun, SwappingWernerPairsGivesTheClosedForm) {
    const double table[][2] = {{0.9, 0.8}, {0.99, 0.6}, {1.0, 0.7}, {0.25, 0.9}, {0.5, 0.5}};
    for (const auto& [f1, f2] : table) {
        vorn::NetworkTopologyPayload chain = fiber_chain(2, 10.0, f1, 1000.0);
        chain.links[1].base_fidelity = f2;
        std::vector<std::uint64_t> attempts;
        const ChainRunResult run = run_once(vorn::plan_chain(chain, end_to_end(2), lossless()), 1, attempts);
        ASSERT_TRUE(run.delivered);
        EXPECT_NEAR(run.fidelity, f1 * f2 + (1 - f1) * (1 - f2) / 3, 1e-14) << f1 << " " << f2;
    }
}

TEST(PhysicalChainRun, EveryStoredQubitDecaysForItsOwnWait) {
    // Hop 0 every 1 ms, hop 1 every 2 ms, T2 = 1 s at every node: the middle
    // qubit of hop 0 waits 1 ms for the swap at 2 ms; delivery at 2.1 ms, so
    // the end qubits wait 1.1 ms and 0.1 ms.
    vorn::NetworkTopologyPayload chain = fiber_chain(2, 10.0, 0.9, 1000.0, 1.0);
    chain.links[1].generation_rate_hz = 500.0;
    std::vector<std::uint64_t> attempts;
    const ChainRunResult run = run_once(vorn::plan_chain(chain, end_to_end(2), lossless()), 3, attempts);
    ASSERT_TRUE(run.delivered);
    EXPECT_DOUBLE_EQ(run.delivery_ms, 2.1);
    const double w = (4 * 0.9 - 1) / 3;
    EXPECT_NEAR(run.fidelity, (1 + 3 * w * w * std::exp(-(1.0 + 1.1 + 0.1) / 1000.0)) / 4, 1e-14);
}

TEST(PhysicalChainRun, EndlessMemoriesDoNotDecay) {
    vorn::NetworkTopologyPayload chain = fiber_chain(3, 10.0, 0.9, 1000.0, INFINITY);
    chain.links[1].generation_rate_hz = 100.0;
    std::vector<std::uint64_t> attempts;
    const ChainRunResult run = run_once(vorn::plan_chain(chain, end_to_end(3), lossless()), 3, attempts);
    const double w = (4 * 0.9 - 1) / 3;
    EXPECT_NEAR(run.fidelity, (1 + 3 * w * w * w) / 4, 1e-14);
}

TEST(PhysicalChainRun, APairOlderThanTheCutoffRestartsItsHop) {
    // Hop 0 every 1 ms, hop 1 every 4 ms. With a 2.5 ms cutoff hop 0's pair
    // is dropped at 3.5 ms and the next one arrives at 4.5 ms, after hop 1's.
    vorn::NetworkTopologyPayload chain = fiber_chain(2, 10.0, 0.9, 1000.0);
    chain.links[1].generation_rate_hz = 250.0;
    PhysicalModel model = lossless();
    model.memory_cutoff_ms = 2.5;
    std::vector<std::uint64_t> attempts;
    ChainRunResult run = run_once(vorn::plan_chain(chain, end_to_end(2), model), 5, attempts);
    ASSERT_TRUE(run.delivered);
    EXPECT_DOUBLE_EQ(run.delivery_ms, 4.5 + 0.1);
    EXPECT_EQ(attempts[0], 2u);
    EXPECT_EQ(attempts[1], 1u);
    // A pair exactly at the cutoff age is still swapped by a pair arriving then.
    model.memory_cutoff_ms = 3.0;
    run = run_once(vorn::plan_chain(chain, end_to_end(2), model), 5, attempts);
    EXPECT_DOUBLE_EQ(run.delivery_ms, 4.0 + 0.1);
    EXPECT_EQ(attempts[0], 1u);
}

TEST(PhysicalChainRun, AZeroCutoffKeepsOnlyPairsThatMeetAtOnce) {
    // Equal lossless hops arrive together and swap at once; with hop 1 on
    // attempts of sqrt(2) ms its pairs never arrive with hop 0's, which
    // arrive on whole milliseconds, so the run restarts until it gives up.
    PhysicalModel model = lossless();
    model.memory_cutoff_ms = -5.0;  // acts as 0
    std::vector<std::uint64_t> attempts;
    const ChainRunResult together =
        run_once(vorn::plan_chain(fiber_chain(2, 10.0, 0.9, 1000.0), end_to_end(2), model), 1, attempts);
    EXPECT_TRUE(together.delivered);
    vorn::NetworkTopologyPayload uneven = fiber_chain(2, 10.0, 0.9, 1000.0);
    uneven.links[1].generation_rate_hz = 1000.0 / std::sqrt(2.0);
    const ChainRunResult apart = run_once(vorn::plan_chain(uneven, end_to_end(2), model), 1, attempts);
    EXPECT_FALSE(apart.delivered);
    EXPECT_TRUE(apart.abandoned);
}

TEST(PhysicalChainRun, AFailedSwapRestartsBothPairsOfItsNode) {
    // Lossless hops every 1 ms: each swap attempt takes 1 ms and the run's
    // attempts per hop equal the swaps it took.
    PhysicalModel model = lossless();
    model.swap_success = 0.5;
    const ChainPlan plan = vorn::plan_chain(fiber_chain(2, 10.0, 0.9, 1000.0), end_to_end(2), model);
    std::vector<std::uint64_t> attempts;
    bool some_failed = false;
    for (std::uint64_t seed = 0; seed < 64; ++seed) {
        const ChainRunResult run = run_once(plan, seed, attempts);
        ASSERT_TRUE(run.delivered);
        EXPECT_EQ(attempts[0], attempts[1]);
        EXPECT_DOUBLE_EQ(run.delivery_ms, static_cast<double>(attempts[0]) + 0.1);
        some_failed = some_failed || attempts[0] > 1;
    }
    EXPECT_TRUE(some_failed);
}

TEST(PhysicalChainRun, RunsWithoutRestartsMatchTheEventSimulation) {
    // Hops of different lengths, rates and memories, lossy enough for many
    // orders of arrival and ties.
    const double rates[] = {1000.0, 500.0, 1000.0, 250.0, 2000.0};
    const double t2s[] = {1.0, 0.01, 0.0, 5.0, 0.2, 1.0};
    for (int hops = 1; hops <= 5; ++hops) {
        vorn::NetworkTopologyPayload chain = fiber_chain(hops, 20.0, 0.93, 1000.0);
        for (int h = 0; h < hops; ++h) chain.links[h].generation_rate_hz = rates[h];
        for (int n = 0; n <= hops; ++n) chain.nodes[n].memory_lifetime_t2 = t2s[n];
        const ChainPlan plan = vorn::plan_chain(chain, end_to_end(hops), PhysicalModel{});
        ChainRunner closed(plan);
        ChainRunner events(plan);
        for (std::uint64_t seed = 0; seed < 200; ++seed) {
            ChaCha12Generator a = ChaCha12Generator::seed_from_u64(seed);
            ChaCha12Generator b = ChaCha12Generator::seed_from_u64(seed);
            std::vector<std::uint64_t> attempts_a(plan.hops(), 0), attempts_b(plan.hops(), 0);
            const ChainRunResult x = closed.run(a, attempts_a.data());
            const ChainRunResult y = events.run_events(b, attempts_b.data());
            ASSERT_TRUE(x.delivered && y.delivered);
            EXPECT_EQ(x.delivery_ms, y.delivery_ms);
            EXPECT_NEAR(x.fidelity, y.fidelity, 1e-14);
            EXPECT_EQ(attempts_a, attempts_b);
            EXPECT_EQ(a.words_drawn(), b.words_drawn());
        }
    }
}

TEST(PhysicalChainRun, ARunOutOfTimeEndsUndeliveredAtTheBudget) {
    PhysicalModel model;  // p = 0.5 x 10^-2 at 100 km: about 200 attempts of 1 ms
    const ChainPlan plan = vorn::plan_chain(fiber_chain(1, 100.0, 0.9, 1000.0), end_to_end(1, 3.0), model);
    std::vector<std::uint64_t> attempts;
    int out_of_time = 0;
    for (std::uint64_t seed = 0; seed < 32; ++seed) {
        const ChainRunResult run = run_once(plan, seed, attempts);
        if (run.delivered) {
            EXPECT_LE(run.delivery_ms, 3.0);
            continue;
        }
        ++out_of_time;
        EXPECT_FALSE(run.abandoned);
        EXPECT_EQ(run.elapsed_ms, 3.0);
        // The pair had to form by 3 - 0.5 ms of signalling: two 1 ms attempts ended by then.
        EXPECT_EQ(attempts[0], 2u);
    }
    EXPECT_GT(out_of_time, 24);
}

TEST(PhysicalChainRun, SuccessNeedsTheFidelityTarget) {
    vorn::EntanglementRequest request = end_to_end(2);
    request.fidelity_target = 0.85;  // two pairs of 0.9 swap to 0.8133
    std::vector<std::uint64_t> attempts;
    const ChainRunResult run =
        run_once(vorn::plan_chain(fiber_chain(2, 10.0, 0.9, 1000.0), request, lossless()), 2, attempts);
    EXPECT_TRUE(run.delivered);
    EXPECT_FALSE(run.success);
}

}  // namespace

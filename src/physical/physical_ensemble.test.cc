#include "physical/physical_ensemble.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "physical/chain_plan.h"
#include "physical/chain_run.h"
#include "physical/delivery_histogram.h"
#include "physical/chains.testing.h"
#include <gtest/gtest.h>

namespace {

using vorn::PhysicalModel;
using vorn::PhysicalTotals;
using vorn::test_support::end_to_end;
using vorn::test_support::fiber_chain;

// Equal fiber hops of `km` at 1 kHz whose attempts succeed with p.
PhysicalModel model_with_probability(double km, double p) {
    PhysicalModel model;
    model.source_efficiency = p / std::pow(10.0, -model.attenuation_db_km * km / 10.0);
    return model;
}

double mean_delivery(const PhysicalTotals& totals) {
    return totals.delivery_ms_sum / static_cast<double>(totals.delivered);
}

TEST(PhysicalEnsemble, OneHopWaitsTauOverPPlusTheSignal) {
    for (const double p : {0.5, 0.05}) {
        const std::uint64_t runs = 100'000;
        const PhysicalTotals totals = vorn::run_physical_ensemble(fiber_chain(1, 50.0, 0.9, 1000.0), end_to_end(1),
                                                                  model_with_probability(50.0, p), runs, 11);
        ASSERT_EQ(totals.delivered, runs);
        // Geometric wait of tau = 1 ms: mean 1 / p, standard deviation sqrt(1 - p) / p.
        const double sigma = std::sqrt(1.0 - p) / p / std::sqrt(static_cast<double>(runs));
        EXPECT_NEAR(mean_delivery(totals), 1.0 / p + 50.0 / 200.0, 4.0 * sigma) << p;
        EXPECT_NEAR(static_cast<double>(totals.attempts_per_link.at("N0->N1")) / runs, 1.0 / p, 4.0 * sigma);
    }
}

TEST(PhysicalEnsemble, TwoEqualHopsWaitForTheLargerOfTwoGeometricWaits) {
    for (const double p : {0.5, 0.1}) {
        const std::uint64_t runs = 100'000;
        const PhysicalTotals totals = vorn::run_physical_ensemble(fiber_chain(2, 20.0, 0.9, 1000.0), end_to_end(2),
                                                                  model_with_probability(20.0, p), runs, 5);
        // The larger of two waits has variance below the sum of theirs.
        const double sigma = std::sqrt(2.0 * (1.0 - p)) / p / std::sqrt(static_cast<double>(runs));
        EXPECT_NEAR(mean_delivery(totals), (3.0 - 2.0 * p) / (p * (2.0 - p)) + 40.0 / 200.0, 4.0 * sigma) << p;
        const double w = (4 * 0.9 - 1) / 3.0;
        EXPECT_NEAR(totals.fidelity_sum / static_cast<double>(totals.delivered), (1 + 3 * w * w) / 4, 1e-12);
    }
}

TEST(PhysicalEnsemble, RunIDrawsFromTheGeneratorOfSeedPlusI) {
    // The per-run reference: a fresh runner and seed_from_u64(seed + i) per
    // run, summed in run order (one chunk), against the batched ensemble.
    PhysicalModel model = model_with_probability(30.0, 0.3);
    model.swap_success = 0.8;
    const auto chain = fiber_chain(3, 30.0, 0.95, 1000.0, 0.5);
    const vorn::ChainPlan plan = vorn::plan_chain(chain, end_to_end(3), model);
    const std::uint64_t seed = 1234, runs = 100;
    double delivery_sum = 0.0, fidelity_sum = 0.0;
    std::uint64_t delivered = 0;
    std::vector<std::uint64_t> attempts(plan.hops(), 0);
    for (std::uint64_t i = 0; i < runs; ++i) {
        vorn::ChainRunner runner(plan);
        vorn::ChaCha12Generator generator = vorn::ChaCha12Generator::seed_from_u64(seed + i);
        const vorn::ChainRunResult run = runner.run(generator, attempts.data());
        if (!run.delivered) continue;
        ++delivered;
        delivery_sum += run.delivery_ms;
        fidelity_sum += run.fidelity;
    }
    const PhysicalTotals totals = vorn::run_physical_ensemble(chain, end_to_end(3), model, runs, seed);
    EXPECT_EQ(totals.delivered, delivered);
    EXPECT_EQ(totals.delivery_ms_sum, delivery_sum);
    EXPECT_EQ(totals.fidelity_sum, fidelity_sum);
    EXPECT_EQ(totals.attempts_per_link.at("N0->N1"), attempts[0]);
    EXPECT_EQ(totals.attempts_per_link.at("N2->N3"), attempts[2]);
}

TEST(PhysicalEnsemble, SwapsThatAlwaysFailNeverDeliver) {
    PhysicalModel model;
    model.swap_success = 0.0;
    const PhysicalTotals totals =
        vorn::run_physical_ensemble(fiber_chain(3, 20.0, 0.9, 1000.0), end_to_end(3), model, 1000, 1);
    EXPECT_EQ(totals.total_runs, 1000u);
    EXPECT_EQ(totals.delivered, 0u);
    EXPECT_EQ(totals.successes, 0u);
}

TEST(PhysicalEnsemble, TotalsAreBitIdenticalForAnyThreadCount) {
    PhysicalModel model = model_with_probability(30.0, 0.2);
    model.swap_success = 0.7;
    model.memory_cutoff_ms = 12.0;
    const auto chain = fiber_chain(4, 30.0, 0.95, 1000.0, 0.5);
    // More than one round of 256 chunks of 4096 runs, the last chunk partial.
    const std::uint64_t runs = 256 * vorn::kPhysicalChunkRuns + 5'000;
    const PhysicalTotals one =
        vorn::run_physical_ensemble(chain, end_to_end(4), model, runs, 99, vorn::never_stop(), 1);
    for (const unsigned threads : {2u, 3u}) {
        const PhysicalTotals many =
            vorn::run_physical_ensemble(chain, end_to_end(4), model, runs, 99, vorn::never_stop(), threads);
        EXPECT_EQ(many.delivered, one.delivered);
        EXPECT_EQ(many.successes, one.successes);
        EXPECT_EQ(many.delivery_ms_sum, one.delivery_ms_sum);
        EXPECT_EQ(many.fidelity_sum, one.fidelity_sum);
        EXPECT_EQ(many.elapsed_ms_sum, one.elapsed_ms_sum);
        EXPECT_EQ(many.attempts_per_link, one.attempts_per_link);
        EXPECT_EQ(many.delivery_histogram, one.delivery_histogram);
    }
    EXPECT_GT(one.delivered, 0u);
}

TEST(PhysicalEnsemble, ConsecutiveRunRangesAddUpToTheWhole) {
    const auto chain = fiber_chain(3, 40.0, 0.9, 1000.0, 1.0);
    const PhysicalModel model;
    const PhysicalTotals whole = vorn::run_physical_ensemble(chain, end_to_end(3), model, 10'000, 7);
    const PhysicalTotals head = vorn::run_physical_ensemble(chain, end_to_end(3), model, 3'000, 7);
    const PhysicalTotals tail = vorn::run_physical_ensemble(chain, end_to_end(3), model, 7'000, 7 + 3'000);
    EXPECT_EQ(head.delivered + tail.delivered, whole.delivered);
    for (const auto& [key, attempts] : whole.attempts_per_link) {
        EXPECT_EQ(head.attempts_per_link.at(key) + tail.attempts_per_link.at(key), attempts);
    }
    std::uint64_t counted = 0;
    for (const auto& [midpoint, count] : whole.delivery_histogram) {
        const auto in_head = head.delivery_histogram.find(midpoint);
        const auto in_tail = tail.delivery_histogram.find(midpoint);
        EXPECT_EQ((in_head == head.delivery_histogram.end() ? 0 : in_head->second) +
                      (in_tail == tail.delivery_histogram.end() ? 0 : in_tail->second),
                  count);
        counted += count;
    }
    EXPECT_EQ(counted, whole.delivered);
    EXPECT_NEAR(head.delivery_ms_sum + tail.delivery_ms_sum, whole.delivery_ms_sum, 1e-9 * whole.delivery_ms_sum);
}

TEST(PhysicalEnsemble, HistogramBinsHoldTheirTimesWithinOnePartIn128) {
    for (const double ms : {1e-3, 0.3, 1.0, 1.05, 7.5, 1234.5, 9.9e9}) {
        const double midpoint = vorn::DeliveryHistogram::midpoint(vorn::DeliveryHistogram::bin_of(ms));
        EXPECT_LE(std::fabs(midpoint - ms), ms / 128.0) << ms;
    }
    EXPECT_EQ(vorn::DeliveryHistogram::bin_of(0.0), 0u);
    EXPECT_EQ(vorn::DeliveryHistogram::bin_of(INFINITY), vorn::DeliveryHistogram::kBins - 1);
}

}  // namespace

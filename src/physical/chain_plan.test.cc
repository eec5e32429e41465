#include "physical/chain_plan.h"

#include <cmath>

#include "physical/chains.testing.h"
#include <gtest/gtest.h>

namespace {

using vorn::LinkDefinition;
using vorn::LinkType;
using vorn::PhysicalModel;
using vorn::SatelliteConditions;
using vorn::test_support::end_to_end;
using vorn::test_support::fiber_chain;

TEST(PhysicalChainPlan, HundredKilometresOfFiberAtPointTwoDecibelsKeepOnePercent) {
    const LinkDefinition link{"A", "B", 100.0, 0.9, 1000.0, LinkType::Fiber, std::nullopt};
    PhysicalModel model;
    EXPECT_NEAR(vorn::attempt_success_probability(link, model), 0.5 * 0.01, 1e-15);
    model.source_efficiency = 0.8;
    EXPECT_NEAR(vorn::attempt_success_probability(link, model), 0.8 * 0.01, 1e-15);
}

TEST(PhysicalChainPlan, SatelliteLinksLoseTheirFixedLossTimesTheirConditions) {
    LinkDefinition link{"A", "B", 1000.0, 0.9, 1000.0, LinkType::Satellite, SatelliteConditions{0.5, 0.8}};
    PhysicalModel model;
    EXPECT_NEAR(vorn::attempt_success_probability(link, model), 0.5 * 0.5 * 0.8 * 1e-3, 1e-15);
    link.satellite_conditions.reset();  // conditions default to 1.0
    EXPECT_NEAR(vorn::attempt_success_probability(link, model), 0.5 * 1e-3, 1e-15);
}

TEST(PhysicalChainPlan, ProbabilitiesAreClampedToTheUnitInterval) {
    const LinkDefinition link{"A", "B", 0.0, 0.9, 1000.0, LinkType::Fiber, std::nullopt};
    PhysicalModel model;
    model.source_efficiency = 3.0;
    EXPECT_EQ(vorn::attempt_success_probability(link, model), 1.0);
    model.source_efficiency = -1.0;
    EXPECT_EQ(vorn::attempt_success_probability(link, model), 0.0);
    model.source_efficiency = NAN;
    EXPECT_EQ(vorn::attempt_success_probability(link, model), 0.0);
}

TEST(PhysicalChainPlan, AttemptTimeIsTheSlowerOfTheSourceAndTheHerald) {
    // 10 km: herald 0.05 ms, source 1 ms; 1000 km: herald 5 ms, source 1 ms.
    const vorn::ChainPlan near = vorn::plan_chain(fiber_chain(1, 10.0, 0.9, 1000.0), end_to_end(1), PhysicalModel{});
    ASSERT_EQ(near.hops(), 1u);
    EXPECT_DOUBLE_EQ(near.attempt_ms[0], 1.0);
    const vorn::ChainPlan far = vorn::plan_chain(fiber_chain(1, 1000.0, 0.9, 1000.0), end_to_end(1), PhysicalModel{});
    EXPECT_DOUBLE_EQ(far.attempt_ms[0], 5.0);
    EXPECT_DOUBLE_EQ(far.signalling_ms, 5.0);
}

TEST(PhysicalChainPlan, WernerParametersAndDecayRatesComeFromLinksAndNodes) {
    const vorn::ChainPlan plan =
        vorn::plan_chain(fiber_chain(3, 10.0, 0.85, 1000.0, 2.0), end_to_end(3), PhysicalModel{});
    ASSERT_EQ(plan.path.size(), 4u);
    EXPECT_EQ(plan.hop_keys[2], "N2->N3");
    EXPECT_DOUBLE_EQ(plan.werner[1], (4.0 * 0.85 - 1.0) / 3.0);
    EXPECT_DOUBLE_EQ(plan.decay_per_ms[3], 1.0 / 2000.0);
    EXPECT_DOUBLE_EQ(plan.signalling_ms, 30.0 / 200.0);
    EXPECT_TRUE(plan.can_deliver);
}

TEST(PhysicalChainPlan, NodesWithoutPositiveMemoryLifetimeDoNotDecohere) {
    vorn::NetworkTopologyPayload chain = fiber_chain(2, 10.0, 0.9, 1000.0, 0.0);
    chain.nodes.erase(chain.nodes.begin() + 1);  // N1 has no entry
    const vorn::ChainPlan plan = vorn::plan_chain(chain, end_to_end(2), PhysicalModel{});
    ASSERT_EQ(plan.decay_per_ms.size(), 3u);
    for (const double rate : plan.decay_per_ms) EXPECT_EQ(rate, 0.0);
}

TEST(PhysicalChainPlan, RequestsThatCanNeverDeliverAreKnownBeforeAnyRun) {
    PhysicalModel never_swaps;
    never_swaps.swap_success = 0.0;
    EXPECT_FALSE(vorn::plan_chain(fiber_chain(2, 10.0, 0.9, 1000.0), end_to_end(2), never_swaps).can_deliver);
    // One hop needs no swap.
    EXPECT_TRUE(vorn::plan_chain(fiber_chain(1, 10.0, 0.9, 1000.0), end_to_end(1), never_swaps).can_deliver);
    // No source, or no route, or a budget below the signalling time.
    EXPECT_FALSE(vorn::plan_chain(fiber_chain(1, 10.0, 0.9, 0.0), end_to_end(1), PhysicalModel{}).can_deliver);
    vorn::EntanglementRequest unknown = end_to_end(1);
    unknown.to = "X";
    EXPECT_FALSE(vorn::plan_chain(fiber_chain(1, 10.0, 0.9, 1000.0), unknown, PhysicalModel{}).can_deliver);
    EXPECT_FALSE(
        vorn::plan_chain(fiber_chain(1, 1000.0, 0.9, 1000.0), end_to_end(1, 4.0), PhysicalModel{}).can_deliver);
}

}  // namespace

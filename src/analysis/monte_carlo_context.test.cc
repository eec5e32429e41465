#include "analysis/monte_carlo_context.h"

#include <gtest/gtest.h>

using namespace vorn;

TEST(MonteCarloContext, context_capture_copies_network_request_and_configuration) {
    Engine engine{EngineConfig{0.07, 150.0, 2500.0, 0.2}};
    engine.build_network({{"B", 1.0}, {"A", 2.0}, {"B", 3.0}},
                         {{"A", "B", 5.0, 0.9, 100.0, LinkType::Satellite, SatelliteConditions{0.5, 0.5}},
                          {"B", "C", 6.0, 0.8, 200.0, LinkType::Fiber, std::nullopt}});
    const MonteCarloContext context =
        capture_monte_carlo_context(engine, {"A", "C", 0.85, 40.0, StrategyType::HighestSuccess}, 99);

    EXPECT_TRUE(context.seed == std::optional<std::uint64_t>(99));
    // Node-table order: first definition's position, last definition's value.
    EXPECT_EQ(context.nodes, (std::vector<std::pair<std::string, double>>{{"B", 3.0}, {"A", 2.0}}));
    EXPECT_EQ(context.links.size(), 2u);
    EXPECT_EQ(context.links[0], std::make_tuple(std::string("A"), std::string("B"), 5.0, 0.9, 100.0));
    EXPECT_EQ(context.links[1], std::make_tuple(std::string("B"), std::string("C"), 6.0, 0.8, 200.0));
    EXPECT_EQ(context.from_node + context.to_node, std::string("AC"));
    EXPECT_EQ(context.fidelity_target, 0.85);
    EXPECT_EQ(context.max_latency_ms, 40.0);
    EXPECT_TRUE(context.strategy == std::optional<std::uint8_t>(2));
    EXPECT_EQ(context.baseline_purify_factor, 0.07);
    EXPECT_EQ(context.total_time_cutoff_ms, 2500.0);
    EXPECT_EQ(context.step_resolution_ms, 0.2);

    const MonteCarloContext unseeded = capture_monte_carlo_context(engine, {"A", "C", 0.85, 40.0, std::nullopt}, {});
    EXPECT_FALSE(unseeded.seed.has_value());
    EXPECT_FALSE(unseeded.strategy.has_value());
    EXPECT_TRUE(capture_monte_carlo_context(engine, {"A", "C", 0.8, 1.0, StrategyType::LowestLatency}, 0).strategy ==
                std::optional<std::uint8_t>(0));
}

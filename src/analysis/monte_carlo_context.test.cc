#include <memory>
#include "analysis/monte_carlo_context.h"

#include <gtest/gtest.h>

using namespace vorn;

TEST(MonteCarloContext, context_outlives_the_graph_and_the_request) {
    // The context is read long after the call that captured it: it must own
    // every value, sharing no storage with the graph or the request.
    auto graph = std::make_unique<NetworkGraph>(
        build_graph({{"B", 1.0}, {"A", 2.0}, {"B", 3.0}},
                    {{"A", "B", 5.0, 0.9, 100.0, LinkType::Satellite, SatelliteConditions{0.5, 0.5}},
                     {"B", "C", 6.0, 0.8, 200.0, LinkType::Fiber, std::nullopt}}));
    std::string from(64, 'A'), to(64, 'C');  // longer than any small-string buffer
    auto request =
        std::make_unique<EntanglementRequest>(EntanglementRequest{from, to, 0.85, 40.0, StrategyType::HighestSuccess});
    const MonteCarloContext context =
        capture_monte_carlo_context(*graph, EngineConfig{0.07, 150.0, 2500.0, 0.2}, *request, 99);

    // Overwrite the graph, then free it and the request outright.
    *graph = build_graph({{std::string(64, 'Z'), 9.0}}, {{"Z", "Y", 1.0, 0.1, 1.0, LinkType::Fiber, std::nullopt}});
    graph.reset();
    request.reset();
    from.assign(64, 'x');
    to.assign(64, 'y');

    EXPECT_EQ(context.seed, std::optional<std::uint64_t>(99));
    // Node-table order: first definition's position, last definition's value.
    EXPECT_EQ(context.nodes, (std::vector<std::pair<std::string, double>>{{"B", 3.0}, {"A", 2.0}}));
    using Link = std::tuple<std::string, std::string, double, double, double>;
    EXPECT_EQ(context.links, (std::vector<Link>{{"A", "B", 5.0, 0.9, 100.0}, {"B", "C", 6.0, 0.8, 200.0}}));
    EXPECT_EQ(context.from_node, std::string(64, 'A'));
    EXPECT_EQ(context.to_node, std::string(64, 'C'));
    EXPECT_EQ(context.fidelity_target, 0.85);
    EXPECT_EQ(context.max_latency_ms, 40.0);
    EXPECT_EQ(context.strategy, std::optional<std::uint8_t>(2));
    EXPECT_EQ(context.baseline_purify_factor, 0.07);
    EXPECT_EQ(context.total_time_cutoff_ms, 2500.0);
    EXPECT_EQ(context.step_resolution_ms, 0.2);
}

TEST(MonteCarloContext, context_keeps_absent_seed_and_strategy_absent) {
    const NetworkGraph graph =
        build_graph({{"A", 1.0}, {"C", 1.0}}, {{"A", "C", 5.0, 0.9, 100.0, LinkType::Fiber, std::nullopt}});
    const EngineConfig config{0.07, 150.0, 2500.0, 0.2};
    const MonteCarloContext unseeded =
        capture_monte_carlo_context(graph, config, {"A", "C", 0.85, 40.0, std::nullopt}, {});
    EXPECT_FALSE(unseeded.seed.has_value());
    EXPECT_FALSE(unseeded.strategy.has_value());
    EXPECT_EQ(capture_monte_carlo_context(graph, config, {"A", "C", 0.8, 1.0, StrategyType::LowestLatency}, 0).strategy,
              std::optional<std::uint8_t>(0));
}

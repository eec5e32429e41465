#include "common/errors.h"
#include "engine/engine.h"
#include <gmock/gmock.h>
#include <gtest/gtest.h>

TEST(RunEnsemble, ensemble_requires_a_network) {
    EXPECT_THAT([] { vorn::run_ensemble(vorn::Engine{}, {"A", "B", 0.9, 10.0, {}}, 3, 1); },
                ::testing::ThrowsMessage<vorn::InternalFault>(
                    ::testing::StrEq("No network defined. Call define_network() first.")));
}

// The engine hands its own graph and configuration down: the outcome and the
// captured context are those of the graph-level calls with the same inputs.
TEST(RunEnsemble, engine_ensemble_and_context_use_the_engine_graph_and_configuration) {
    const vorn::EngineConfig config{0.05, 150.0, 3000.0, 0.2};
    const std::vector<vorn::NodeDefinition> nodes{{"A", 1.0}, {"B", 2.0}, {"C", 3.0}};
    const std::vector<vorn::LinkDefinition> links{{"A", "B", 40.0, 0.93, 900.0, vorn::LinkType::Fiber, {}},
                                                  {"B", "C", 60.0, 0.91, 700.0, vorn::LinkType::Fiber, {}}};
    vorn::Engine engine(config);
    engine.build_network(nodes, links);
    const vorn::NetworkGraph graph = vorn::build_graph(nodes, links);
    const vorn::EntanglementRequest request{"A", "C", 0.85, 60.0, {}};

    const vorn::EnsembleOutcome mine = vorn::run_ensemble(engine, request, 400, 9);
    const vorn::EnsembleOutcome direct = vorn::run_ensemble(graph, config, request, 400, 9);
    EXPECT_GT(mine.empirical_success_rate, 0.0);
    EXPECT_LT(mine.empirical_success_rate, 1.0);
    EXPECT_EQ(mine.empirical_success_rate, direct.empirical_success_rate);
    EXPECT_EQ(mine.mean_latency_ms, direct.mean_latency_ms);
    EXPECT_EQ(mine.link_usage, direct.link_usage);

    const vorn::MonteCarloContext captured = vorn::capture_monte_carlo_context(engine, request, 9);
    const vorn::MonteCarloContext expected = vorn::capture_monte_carlo_context(graph, config, request, 9);
    EXPECT_EQ(captured.nodes, expected.nodes);
    EXPECT_EQ(captured.links, expected.links);
    EXPECT_EQ(captured.baseline_purify_factor, 0.05);
    EXPECT_EQ(captured.step_resolution_ms, 0.2);
    // Without a network the lists stay empty; the request and configuration are kept.
    const vorn::MonteCarloContext bare = vorn::capture_monte_carlo_context(vorn::Engine(config), request, {});
    EXPECT_TRUE(bare.nodes.empty());
    EXPECT_TRUE(bare.links.empty());
    EXPECT_EQ(bare.total_time_cutoff_ms, 3000.0);
    EXPECT_EQ(bare.from_node, "A");
}

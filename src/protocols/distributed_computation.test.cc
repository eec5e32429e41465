#include "protocols/distributed_computation.h"

#include <cmath>

#include "common/errors.h"
#include "protocols/scripted_requests.testing.h"
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vorn;
using vorn::test_support::scripted_failure;
using vorn::test_support::scripted_success;
using vorn::test_support::ScriptedRequests;
using Names = std::vector<std::string>;

namespace {

Engine engine_with(const Names& ids) {
    std::vector<NodeDefinition> nodes;
    for (const std::string& id : ids) nodes.push_back({id, 1.0});
    Engine engine;
    engine.build_network(nodes, {});
    return engine;
}

bool near(double a, double b) { return std::fabs(a - b) < 1e-12; }

}  // namespace

TEST(DistributedComputation, distributed_star_on_participant_center_gathers_all_edges) {
    ScriptedRequests script{{scripted_success(0.9, 1.0), scripted_success(0.6, 2.0), scripted_failure(3.0, 0.8)}, {}};
    const Names parties{"A", "B", "C", "D"};
    const DistributedComputingResult r =
        execute_distributed_computation(engine_with(parties), parties, StarShape{"B"}, 0.85, 5.0, script.runner());
    EXPECT_EQ(script.seen.size(), 3u);
    EXPECT_EQ(r.resource_links_used, (Names{"A->B", "C->B", "D->B"}));
    for (const EntanglementRequest& request : script.seen) {
        EXPECT_EQ(request.fidelity_target, 0.9);
        EXPECT_EQ(request.max_latency_ms, 50.0);
        EXPECT_EQ(request.strategy, StrategyType::HighestFidelity);
    }
    // Edge fidelities 0.9, 0.6 and 0.0 (a failed request counts 0 whatever it reports).
    EXPECT_EQ(r.party_results.size(), 4u);
    EXPECT_TRUE(near(r.party_results[0].local_fidelity, 0.9 * 0.85));
    EXPECT_TRUE(near(r.party_results[1].local_fidelity, (0.9 + 0.6 + 0.0) / 3.0 * 0.85));
    EXPECT_FALSE(r.party_results[1].successful_measurement);
    EXPECT_TRUE(r.party_results[2].successful_measurement);
    EXPECT_EQ(r.party_results[3].local_fidelity, 0.0);
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.computation_fidelity, 0.0);
    EXPECT_EQ(r.total_latency_ms, 6.0);
    EXPECT_EQ(r.coordination_overhead_ms, 15.0);
}

TEST(DistributedComputation, distributed_star_center_outside_participants_gets_no_outcome) {
    ScriptedRequests script{{scripted_success(0.95, 0.0)}, {}};
    const Names parties{"A", "B"};
    const DistributedComputingResult r =
        execute_distributed_computation(engine_with(parties), parties, StarShape{"H"}, 1.0, 5.0, script.runner());
    EXPECT_EQ(script.seen.size(), 2u);
    EXPECT_EQ(r.party_results.size(), 2u);
    EXPECT_TRUE(r.success);
    EXPECT_TRUE(near(r.computation_fidelity, 0.95 * 0.95));
    EXPECT_EQ(r.coordination_overhead_ms, 10.0);
}

TEST(DistributedComputation, distributed_self_edge_counts_once_and_threshold_is_strict) {
    ScriptedRequests script{{scripted_success(0.9, 0.0), scripted_success(0.5, 0.0)}, {}};
    const Names parties{"A", "B"};
    const DistributedComputingResult r = execute_distributed_computation(
        engine_with(parties), parties, ArbitraryShape{{{"A", "A"}, {"A", "B"}}}, 1.0, 5.0, script.runner());
    EXPECT_TRUE(near(r.party_results[0].local_fidelity, 0.7));  // (0.9 + 0.5) / 2, not (0.9 + 0.9 + 0.5) / 3
    EXPECT_FALSE(r.party_results[0].successful_measurement);    // 0.5 is not above 0.5
    EXPECT_FALSE(r.party_results[1].successful_measurement);
    EXPECT_FALSE(r.success);
}

TEST(DistributedComputation, distributed_caps_locals_but_multiplies_uncapped_values) {
    ScriptedRequests script{{scripted_success(0.99, 0.0)}, {}};
    const Names parties{"A", "B"};
    const DistributedComputingResult r =
        execute_distributed_computation(engine_with(parties), parties, MeshShape{}, 1.5, 5.0, script.runner());
    EXPECT_EQ(r.party_results[0].local_fidelity, 0.999);
    EXPECT_EQ(r.computation_fidelity, 0.999);  // 1.485² capped
    ScriptedRequests half{{scripted_success(0.99, 0.0)}, {}};
    const DistributedComputingResult mixed = execute_distributed_computation(
        engine_with(parties), parties, ArbitraryShape{{{"A", "A"}}}, 1.01, 5.0, half.runner());
    // A: 0.99 × 1.01 = 0.9999 (capped to 0.999 in its outcome); B: no edges, 1.0 × 1.01.
    EXPECT_EQ(mixed.party_results[0].local_fidelity, 0.999);
    EXPECT_EQ(mixed.party_results[1].local_fidelity, 0.999);
    EXPECT_EQ(mixed.computation_fidelity, 0.999);
    // With one uncapped local above the cap and one below, the product uses the raw value.
    ScriptedRequests third{{scripted_success(0.99, 0.0), scripted_success(0.6, 0.0)}, {}};
    const DistributedComputingResult product = execute_distributed_computation(
        engine_with(parties), parties, ArbitraryShape{{{"A", "A"}, {"B", "B"}}}, 1.01, 5.0, third.runner());
    EXPECT_TRUE(near(product.computation_fidelity, (0.99 * 1.01) * (0.6 * 1.01)));
}

TEST(DistributedComputation, distributed_ring_of_one_and_mesh_overhead) {
    ScriptedRequests ring{{scripted_success(0.8, 1.5)}, {}};
    const DistributedComputingResult one =
        execute_distributed_computation(engine_with({"A"}), {"A"}, RingShape{}, 0.85, 5.0, ring.runner());
    EXPECT_EQ(ring.seen.size(), 1u);
    EXPECT_EQ(ring.seen[0].from_node, std::string("A"));
    EXPECT_EQ(ring.seen[0].to, std::string("A"));
    EXPECT_EQ(one.resource_links_used, (Names{"A->A"}));
    EXPECT_TRUE(one.success);
    EXPECT_EQ(one.coordination_overhead_ms, 5.0);

    ScriptedRequests mesh{{scripted_success(0.95, 0.5)}, {}};
    const Names parties{"A", "B", "C", "D"};
    const DistributedComputingResult four =
        execute_distributed_computation(engine_with(parties), parties, MeshShape{}, 0.85, 5.0, mesh.runner());
    EXPECT_EQ(four.coordination_overhead_ms, 30.0);
    EXPECT_EQ(four.total_latency_ms, 3.0);
    EXPECT_EQ(four.resource_links_used.size(), 6u);
}

TEST(DistributedComputation, distributed_wrong_case_kind_runs_no_requests) {
    ScriptedRequests script{{scripted_success(0.9, 0.0)}, {}};
    DistributedComputingParameters params{{"A", "B", "C"}, {"Star", std::nullopt, std::nullopt}, {}, 5.0};
    params.measurement_basis.correlation_strength = 0.9;
    const Engine engine = engine_with(params.participants);
    const DistributedComputingResult r = execute_distributed_computation(
        engine, params.participants, to_coordination_shape(params.coordination_topology), 0.9, 5.0, script.runner());
    EXPECT_EQ(script.seen.size(), 0u);
    EXPECT_TRUE(r.success);
    EXPECT_EQ(r.party_results.size(), 3u);
    EXPECT_EQ(r.party_results[2].local_fidelity, 0.9);
    EXPECT_TRUE(r.party_results[2].successful_measurement);
    EXPECT_TRUE(near(r.computation_fidelity, 0.9 * 0.9 * 0.9));
    EXPECT_EQ(r.coordination_overhead_ms, 0.0);
    EXPECT_EQ(r.total_latency_ms, 0.0);
    // No edges means no overhead, whatever the relay latency.
    EXPECT_EQ(
        execute_distributed_computation(engine, params.participants, ArbitraryShape{}, 0.9, INFINITY, script.runner())
            .coordination_overhead_ms,
        0.0);
    // The same through the record form and the engine's own request path.
    const DistributedComputingResult recorded = distributed_computation(engine, params);
    EXPECT_TRUE(recorded.success);
    EXPECT_TRUE(near(recorded.computation_fidelity, r.computation_fidelity));
}

TEST(DistributedComputation, distributed_empty_participants_and_missing_network) {
    ScriptedRequests script{{scripted_success(0.9, 0.0)}, {}};
    const DistributedComputingResult empty =
        execute_distributed_computation(engine_with({"A"}), {}, StarShape{""}, 0.85, 5.0, script.runner());
    EXPECT_FALSE(empty.success);
    EXPECT_EQ(empty.computation_fidelity, 0.999);
    EXPECT_EQ(script.seen.size(), 0u);
    const DistributedComputingResult edges_only = execute_distributed_computation(
        engine_with({"A"}), {}, ArbitraryShape{{{"A", "B"}}}, 0.85, 5.0, script.runner());
    EXPECT_EQ(script.seen.size(), 1u);
    EXPECT_FALSE(edges_only.success);

    const DistributedComputingResult none =
        execute_distributed_computation(Engine{}, {"A", "B"}, MeshShape{}, 0.85, 5.0, script.runner());
    EXPECT_EQ(script.seen.size(), 1u);
    EXPECT_FALSE(none.success);
    EXPECT_EQ(none.computation_fidelity, 0.0);
    ASSERT_TRUE(none.party_results.empty());
    EXPECT_TRUE(none.resource_links_used.empty());
    EXPECT_EQ(none.coordination_overhead_ms, 0.0);
}

TEST(DistributedComputation, distributed_text_arguments_are_checked_before_the_network) {
    const std::string topology_text = "coordination_topology must be one of: 'star', 'ring', 'mesh'";
    const std::string basis_text = "basis_type must be one of: 'ghz', 'cluster', 'graph'";
    const Engine no_network;
    const Names parties{"A", "B"};
    struct Case {
        const char* topology;
        const char* basis;
        const std::string* message;
    };
    const Case cases[] = {
        {"Star", "ghz", &topology_text}, {"arbitrary", "ghz", &topology_text}, {"", "", &topology_text},
        {"ring", "GHZ", &basis_text},    {"mesh", "graphgraph", &basis_text},
    };
    for (const Case& c : cases) {
        EXPECT_THAT(
            [&] { run_distributed_computation(no_network, parties, c.topology, c.basis, std::nullopt, std::nullopt); },
            ::testing::ThrowsMessage<ValueError>(::testing::StrEq(*c.message)));
    }
    for (const char* basis : {"ghz", "cluster", "graph"}) {
        const DistributedComputingResult r =
            run_distributed_computation(no_network, parties, "star", basis, std::nullopt, std::nullopt);
        EXPECT_FALSE(r.success);
        EXPECT_TRUE(r.party_results.empty());
    }
    EXPECT_EQ(parse_basis_type("graph"), BasisType::GraphGraph);
    EXPECT_EQ(parse_basis_type("cluster"), BasisType::Cluster);
}

TEST(DistributedComputation, distributed_text_star_centres_on_first_participant_through_engine) {
    // Requests from a node to itself succeed with fidelity 1.0; between two
    // nodes without a link they fail.
    const Engine engine = engine_with({"A", "B", "C"});
    const DistributedComputingResult star =
        run_distributed_computation(engine, {"A", "B", "C"}, "star", "ghz", 0.5, 2.0);
    EXPECT_EQ(star.resource_links_used, (Names{"B->A", "C->A"}));
    EXPECT_EQ(star.coordination_overhead_ms, 4.0);
    EXPECT_FALSE(star.success);

    const DistributedComputingResult ring = run_distributed_computation(engine, {"A"}, "ring", "cluster", {}, {});
    EXPECT_TRUE(ring.success);
    EXPECT_EQ(ring.computation_fidelity, 0.85);
    EXPECT_EQ(ring.coordination_overhead_ms, 5.0);

    const DistributedComputingResult nobody = run_distributed_computation(engine, {}, "star", "ghz", {}, {});
    EXPECT_FALSE(nobody.success);
    EXPECT_TRUE(nobody.resource_links_used.empty());
    EXPECT_EQ(nobody.computation_fidelity, 0.999);
}

TEST(DistributedComputation, distributed_representations) {
    EXPECT_EQ(party_outcome_repr({"A", true, 0.765}), std::string("PartyOutcome(A, success=true, fidelity=0.7650)"));
    DistributedComputingResult r;
    r.success = true;
    r.computation_fidelity = 0.12344;
    r.party_results.resize(3);
    EXPECT_EQ(distributed_result_repr(r),
              std::string("DistributedComputingResult(success=true, fidelity=0.1234, parties=3)"));
    EXPECT_EQ(distributed_stats_repr({10, 0.8, 0.12345, 0.5}),
              std::string("DistributedComputingStats(runs=10, success=80, fidelity=0.1235)"));
}

#include "topologies/topology_comparison.h"

#include "common/errors.h"
#include <gtest/gtest.h>

using namespace vorn;
using Endpoints = std::vector<TopologyEndpoints>;

namespace {

// Records what each ensemble was asked to do and answers with prepared rates.
struct ScriptedEnsembles {
    struct Call {
        EngineConfig config;
        std::vector<std::string> node_ids;
        std::size_t link_count = 0;
        EntanglementRequest request;
        std::uint64_t runs = 0;
        std::optional<std::uint64_t> seed;
    };
    std::vector<EnsembleOutcome> outcomes;
    std::vector<Call> calls;

    EnsembleRunner runner() {
        return [this](const NetworkGraph& graph, const EngineConfig& config, const EntanglementRequest& request,
                      std::uint64_t runs, std::optional<std::uint64_t> seed) {
            Call call{config, {}, graph.links.size(), request, runs, seed};
            for (const NodeEntry& node : graph.nodes.entries()) call.node_ids.push_back(node.id);
            calls.push_back(std::move(call));
            const std::size_t i = calls.size() - 1;
            return outcomes.empty() ? EnsembleOutcome{} : outcomes.at(i < outcomes.size() ? i : outcomes.size() - 1);
        };
    }
};

EnsembleOutcome outcome(double rate, double latency, double fidelity) {
    EnsembleOutcome o;
    o.total_runs = 10;
    o.empirical_success_rate = rate;
    o.mean_latency_ms = latency;
    o.mean_fidelity = fidelity;
    o.link_usage = {{"A->B", 7}};
    return o;
}

std::string value_error_text(const Endpoints& endpoints, std::uint64_t runs, ScriptedEnsembles& script) {
    try {
        compare_topologies(endpoints, 0.8, 100.0, runs, std::nullopt, script.runner());
    } catch (const ValueError& e) {
        return e.what();
    }
    return "<no ValueError>";
}

}  // namespace

TEST(TopologyComparison, comparison_rejects_zero_runs_first) {
    ScriptedEnsembles script;
    EXPECT_EQ(value_error_text({}, 0, script), std::string("runs must be at least 1"));
    EXPECT_EQ(value_error_text({{"nowhere", "A", "B"}, {"telecom_backbone", "Y", "Z"}}, 0, script),
              std::string("runs must be at least 1"));
    EXPECT_EQ(script.calls.size(), 0u);
}

TEST(TopologyComparison, comparison_checks_every_name_before_evaluating) {
    ScriptedEnsembles script;
    EXPECT_EQ(value_error_text({{"telecom_backbone", "A", "C"}, {"hybrid", "Toronto", "Z"}, {"Fiber_Only", "A", "B"}},
                               5, script),
              std::string("Unknown topology in endpoints: 'Fiber_Only'. Supported: fiber_only, telecom_backbone, "
                          "repeater_chain, hybrid_satellite_fiber, hybrid"));
    EXPECT_EQ(script.calls.size(), 0u);
}

TEST(TopologyComparison, comparison_node_messages_list_the_topology_nodes) {
    ScriptedEnsembles script;
    EXPECT_EQ(value_error_text({{"telecom_backbone", "A", "Z"}}, 5, script),
              std::string("Target node 'Z' not found in topology 'telecom_backbone'. Available nodes: "
                          "[\"A\", \"B\", \"C\", \"D\", \"E\", \"F\"]"));
    EXPECT_EQ(value_error_text({{"telecom_backbone", "Y", "Z"}}, 5, script),
              std::string("Source node 'Y' not found in topology 'telecom_backbone'. Available nodes: "
                          "[\"A\", \"B\", \"C\", \"D\", \"E\", \"F\"]"));
    EXPECT_EQ(value_error_text({{"repeater_chain", "N0", "N4"}}, 5, script),
              std::string("Target node 'N4' not found in topology 'repeater_chain'. Available nodes: "
                          "[\"N0\", \"N1\", \"N2\", \"N3\"]"));
    // A later endpoint's missing node discards the results already computed.
    EXPECT_EQ(value_error_text({{"fiber_only", "A", "B"}, {"hybrid", "toronto", "London"}}, 5, script),
              std::string("Source node 'toronto' not found in topology 'hybrid'. Available nodes: "
                          "[\"Toronto\", \"Montreal\", \"London\", \"SAT-1\"]"));
    EXPECT_EQ(script.calls.size(), 1u);
}

TEST(TopologyComparison, comparison_runs_unseeded_ensembles_on_fresh_default_engines) {
    ScriptedEnsembles script{{outcome(0.5, 12.0, 0.9), outcome(0.7, 20.0, 0.8), outcome(0.7, 9.0, 0.85)}, {}};
    const Endpoints endpoints{
        {"fiber_only", "A", "C"}, {"repeater_chain", "N0", "N3"}, {"hybrid", "Toronto", "London"}};
    const TopologyComparisonReport report =
        compare_topologies(endpoints, 0.75, 5000.0, 1000, StrategyType::HighestSuccess, script.runner());

    EXPECT_EQ(script.calls.size(), 3u);
    for (const ScriptedEnsembles::Call& call : script.calls) {
        EXPECT_EQ(call.config.baseline_purify_factor, 0.12);
        EXPECT_EQ(call.config.speed_of_light_in_fiber_km_ms, 200.0);
        EXPECT_EQ(call.config.total_time_cutoff_ms, 5000.0);
        EXPECT_EQ(call.config.step_resolution_ms, 0.1);
        EXPECT_EQ(call.runs, 1000u);
        EXPECT_FALSE(call.seed.has_value());
        EXPECT_EQ(call.request.fidelity_target, 0.75);
        EXPECT_EQ(call.request.max_latency_ms, 5000.0);
        EXPECT_EQ(call.request.strategy, StrategyType::HighestSuccess);
    }
    EXPECT_EQ(script.calls[0].node_ids.size(), 6u);  // the backbone under its alias
    EXPECT_EQ(script.calls[0].link_count, 7u);
    EXPECT_EQ(script.calls[1].node_ids.back(), std::string("N3"));
    EXPECT_EQ(script.calls[2].node_ids.back(), std::string("SAT-1"));
    EXPECT_EQ(script.calls[2].request.from_node + "/" + script.calls[2].request.to, std::string("Toronto/London"));

    EXPECT_EQ(report.source_node, std::string("A"));
    EXPECT_EQ(report.target_node, std::string("C"));
    EXPECT_EQ(report.runs, 1000u);
    EXPECT_EQ(report.fidelity_target, 0.75);
    EXPECT_EQ(report.results.size(), 3u);
    EXPECT_EQ(report.results[1].topology_name, std::string("repeater_chain"));
    EXPECT_EQ(report.results[1].mean_latency_ms, 20.0);
    EXPECT_EQ(report.results[1].link_utilization, (std::map<std::string, std::uint64_t>{{"A->B", 7}}));
    EXPECT_EQ(report.recommended_topology, std::string("hybrid"));  // last of the two 0.7 rates
    EXPECT_EQ(report.summary,
              std::string("Evaluated 3 topologies. Recommended: hybrid. Best success rate: 70 (hybrid), Best "
                          "latency: 9.00ms (hybrid). Average fidelity: 0.8500."));
}

TEST(TopologyComparison, comparison_empty_and_repeated_endpoints) {
    ScriptedEnsembles script{{outcome(0.4, 3.0, 0.9)}, {}};
    const TopologyComparisonReport empty = compare_topologies({}, 0.8, 10.0, 3, std::nullopt, script.runner());
    ASSERT_TRUE(empty.source_node.empty());
    ASSERT_TRUE(empty.target_node.empty());
    EXPECT_TRUE(empty.results.empty());
    EXPECT_EQ(empty.recommended_topology, std::string("unknown"));
    EXPECT_EQ(empty.summary, std::string("No topologies evaluated"));

    const TopologyComparisonReport repeated = compare_topologies(
        {{"telecom_backbone", "A", "B"}, {"telecom_backbone", "B", "C"}}, 0.8, 10.0, 3, std::nullopt, script.runner());
    EXPECT_EQ(repeated.results.size(), 2u);
    EXPECT_EQ(script.calls.size(), 2u);
    EXPECT_FALSE(script.calls[0].request.strategy.has_value());
    EXPECT_EQ(repeated.source_node + repeated.target_node, std::string("AB"));
}

TEST(TopologyComparison, comparison_with_real_ensembles) {
    const TopologyComparisonReport report = compare_topologies(
        {{"telecom_backbone", "A", "B"}, {"repeater_chain", "N0", "N1"}}, 0.9, 100.0, 20, std::nullopt);
    EXPECT_EQ(report.results.size(), 2u);
    for (const TopologyComparisonResult& r : report.results) {
        EXPECT_GE(r.success_rate, 0.0);
        EXPECT_LE(r.success_rate, 1.0);
        EXPECT_FALSE(r.link_utilization.empty());
    }
    EXPECT_EQ(report.results[0].link_utilization.count("A->B"), 1);
    EXPECT_EQ(report.summary.rfind("Evaluated 2 topologies. Recommended: ", 0), 0);
}

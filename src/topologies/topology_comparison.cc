#include "topologies/topology_comparison.h"

#include <algorithm>
#include <string>

#include "common/errors.h"
#include "common/messages.h"
#include "topologies/builtin_topologies.h"
#include "topologies/comparison_summary.h"

namespace vorn {

namespace {

// ["A", "B", "C"]
std::string node_list_text(const std::vector<NodeDefinition>& nodes) {
    std::string text = "[";
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (i > 0) text += ", ";
        text += '"';
        text += nodes[i].id;
        text += '"';
    }
    text += ']';
    return text;
}

// The configuration of an engine created without one.
constexpr EngineConfig kComparisonEngineConfig{0.12, 200.0, 5000.0, 0.1};

bool has_node(const std::vector<NodeDefinition>& nodes, const std::string& id) {
    return std::any_of(nodes.begin(), nodes.end(), [&](const NodeDefinition& node) { return node.id == id; });
}

}  // namespace

TopologyComparisonReport compare_topologies(const std::vector<TopologyEndpoints>& endpoints, double fidelity_target,
                                            double max_latency_ms, std::uint64_t runs,
                                            std::optional<StrategyType> strategy) {
    return compare_topologies(endpoints, fidelity_target, max_latency_ms, runs, strategy, run_ensemble);
}

TopologyComparisonReport compare_topologies(const std::vector<TopologyEndpoints>& endpoints, double fidelity_target,
                                            double max_latency_ms, std::uint64_t runs,
                                            std::optional<StrategyType> strategy, const EnsembleRunner& run) {
    if (runs == 0) throw ValueError(std::string(msg::kComparisonRunsAtLeastOne));
    for (const TopologyEndpoints& endpoint : endpoints) {
        if (!is_library_topology(endpoint.topology_name)) {
            throw ValueError(msg::unknown_comparison_topology(endpoint.topology_name));
        }
    }

    TopologyComparisonReport report;
    if (!endpoints.empty()) {
        report.source_node = endpoints.front().from_node;
        report.target_node = endpoints.front().to_node;
    }
    report.fidelity_target = fidelity_target;
    report.max_latency_ms = max_latency_ms;
    report.runs = runs;
    report.results.reserve(endpoints.size());

    for (const TopologyEndpoints& endpoint : endpoints) {
        const NetworkTopologyPayload network = *library_topology(endpoint.topology_name);
        if (!has_node(network.nodes, endpoint.from_node)) {
            throw ValueError(msg::comparison_node_missing("Source", endpoint.from_node, endpoint.topology_name,
                                                          node_list_text(network.nodes)));
        }
        if (!has_node(network.nodes, endpoint.to_node)) {
            throw ValueError(msg::comparison_node_missing("Target", endpoint.to_node, endpoint.topology_name,
                                                          node_list_text(network.nodes)));
        }
        // Every topology gets its own engine, discarded after its ensemble.
        Engine engine{kComparisonEngineConfig};
        engine.build_network(network.nodes, network.links);
        const EnsembleOutcome outcome = run(
            engine, {endpoint.from_node, endpoint.to_node, fidelity_target, max_latency_ms, strategy}, runs,
            std::nullopt);
        report.results.push_back({endpoint.topology_name, outcome.empirical_success_rate, outcome.mean_latency_ms,
                                  outcome.mean_fidelity, outcome.link_usage});
    }

    report.recommended_topology = recommend_topology(report.results);
    report.summary = comparison_summary(report.results);
    return report;
}

}  // namespace vorn

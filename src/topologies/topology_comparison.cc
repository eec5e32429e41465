#include "topologies/topology_comparison.h"

#include <algorithm>
#include <string>

#include "common/errors.h"
#include "common/messages.h"
#include "network/network_graph.h"
#include "threads/call_workers.h"
#include "threads/thread_count.h"
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
constexpr EngineConfig kComparisonConfig{0.12, 200.0, 5000.0, 0.1};

bool has_node(const std::vector<NodeDefinition>& nodes, const std::string& id) {
    return std::any_of(nodes.begin(), nodes.end(), [&](const NodeDefinition& node) { return node.id == id; });
}

}  // namespace

TopologyComparisonReport compare_topologies(const std::vector<TopologyEndpoints>& endpoints, double fidelity_target,
                                            double max_latency_ms, std::uint64_t runs,
                                            std::optional<StrategyType> strategy, const StopCheck& stop) {
    const unsigned threads = call_thread_count();
    // Ensembles too small to split run side by side, one per worker.
    const bool side_by_side = threads > 1 && endpoints.size() > 1 && runs < kParallelEnsembleRuns;
    if (!side_by_side) {
        return compare_topologies(
            endpoints, fidelity_target, max_latency_ms, runs, strategy,
            [&stop](const NetworkGraph& graph, const EngineConfig& config, const EntanglementRequest& request,
                    std::uint64_t n,
                    std::optional<std::uint64_t> seed) { return run_ensemble(graph, config, request, n, seed, stop); });
    }
    // Check every endpoint first (the runner below is only reached once all
    // pass), then run the ensembles side by side and replay their outcomes
    // in endpoint order.
    (void)compare_topologies(endpoints, fidelity_target, max_latency_ms, runs, strategy,
                             [](const NetworkGraph&, const EngineConfig&, const EntanglementRequest&, std::uint64_t,
                                std::optional<std::uint64_t>) { return EnsembleOutcome{}; });
    std::vector<EnsembleOutcome> outcomes(endpoints.size());
    run_tasks(endpoints.size(), threads, stop, [&](std::uint64_t e, const StopCheck& task_stop) {
        const TopologyEndpoints& endpoint = endpoints[e];
        const NetworkTopologyPayload network = *library_topology(endpoint.topology_name);
        const NetworkGraph graph = build_graph(network.nodes, network.links);
        outcomes[e] = run_ensemble(graph, kComparisonConfig,
                                   {endpoint.from_node, endpoint.to_node, fidelity_target, max_latency_ms, strategy},
                                   runs, std::nullopt, task_stop, 1);
    });
    std::size_t replayed = 0;
    return compare_topologies(endpoints, fidelity_target, max_latency_ms, runs, strategy,
                              [&](const NetworkGraph&, const EngineConfig&, const EntanglementRequest&, std::uint64_t,
                                  std::optional<std::uint64_t>) { return outcomes[replayed++]; });
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
        // Every topology gets its own graph, discarded after its ensemble.
        const NetworkGraph graph = build_graph(network.nodes, network.links);
        const EnsembleOutcome outcome =
            run(graph, kComparisonConfig,
                {endpoint.from_node, endpoint.to_node, fidelity_target, max_latency_ms, strategy}, runs, std::nullopt);
        report.results.push_back({endpoint.topology_name, outcome.empirical_success_rate, outcome.mean_latency_ms,
                                  outcome.mean_fidelity, outcome.link_usage});
    }

    report.recommended_topology = recommend_topology(report.results);
    report.summary = comparison_summary(report.results);
    return report;
}

}  // namespace vorn

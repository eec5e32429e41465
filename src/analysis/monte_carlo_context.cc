#include "analysis/monte_carlo_context.h"

namespace vorn {

MonteCarloContext capture_monte_carlo_context(const NetworkGraph& graph, const EngineConfig& config,
                                              const EntanglementRequest& request, std::optional<std::uint64_t> seed) {
    MonteCarloContext context;
    context.seed = seed;
    context.nodes.reserve(graph.nodes.size());
    for (const NodeEntry& node : graph.nodes.entries()) context.nodes.emplace_back(node.id, node.memory_lifetime_t2);
    context.links.reserve(graph.links.size());
    for (const GraphLink& link : graph.links) {
        context.links.emplace_back(link.from_node, link.to, link.distance_km, link.base_fidelity,
                                   link.generation_rate_hz);
    }
    context.from_node = request.from_node;
    context.to_node = request.to;
    context.fidelity_target = request.fidelity_target;
    context.max_latency_ms = request.max_latency_ms;
    if (request.strategy) context.strategy = static_cast<std::uint8_t>(*request.strategy);
    context.total_time_cutoff_ms = config.total_time_cutoff_ms;
    context.step_resolution_ms = config.step_resolution_ms;
    context.baseline_purify_factor = config.baseline_purify_factor;
    return context;
}

}  // namespace vorn

// A self-contained copy of the network and the request of one ensemble, from
// which sensitivity analysis rebuilds perturbed networks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "network/network_graph.h"
#include "network/network_model.h"
#include "simulation/request.h"

namespace vorn {

struct MonteCarloContext {
    std::optional<std::uint64_t> seed;  // as the caller gave it, not the clock-derived one
    std::vector<std::pair<std::string, double>> nodes;  // id, memory_lifetime_t2
    // from_node, to, distance_km, base_fidelity, generation_rate_hz
    std::vector<std::tuple<std::string, std::string, double, double, double>> links;
    std::string from_node;
    std::string to_node;
    double fidelity_target = 0.0;
    double max_latency_ms = 0.0;
    std::optional<std::uint8_t> strategy;  // strategy code; any byte may be stored
    double total_time_cutoff_ms = 0.0;
    double step_resolution_ms = 0.0;
    double baseline_purify_factor = 0.0;
};

// Copies the graph's nodes (node-table order) and links (link order, the five
// numeric and text fields only; link type is not kept), the request and the
// configuration values that a rerun needs.
MonteCarloContext capture_monte_carlo_context(const NetworkGraph& graph, const EngineConfig& config,
                                              const EntanglementRequest& request, std::optional<std::uint64_t> seed);

}  // namespace vorn

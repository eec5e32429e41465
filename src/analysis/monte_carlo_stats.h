// The statistics of one Monte Carlo ensemble, with the captured context that
// sensitivity analysis reruns from.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "analysis/monte_carlo_context.h"

namespace vorn {

struct MonteCarloStats {
    std::uint64_t total_runs = 0;
    double empirical_success_rate = 0.0;
    double mean_latency_ms = 0.0;
    double mean_fidelity = 0.0;
    std::uint64_t aggregate_congestion_drops = 0;
    std::map<std::string, std::uint64_t> link_utilization_heatmap;
    std::optional<MonteCarloContext> context;
};

}  // namespace vorn

// Monte Carlo ensembles: one request repeated with seeded generators,
// aggregated into rates, means, drops and a link-usage heat map.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "engine/engine.h"
#include "simulation/request.h"

namespace vorn {

struct EnsembleOutcome {
    std::map<std::string, std::uint64_t> link_usage;
    std::uint64_t total_runs = 0;
    double empirical_success_rate = 0.0;
    double mean_latency_ms = 0.0;
    double mean_fidelity = 0.0;
    std::uint64_t aggregate_congestion_drops = 0;
};

// Run i draws its generation trials from seed_from_u64(base + i) and its
// memory-loss draws from the same key on stream 1, so a seeded ensemble is
// exactly reproducible; without a seed the base is the wall clock in
// nanoseconds. Seeds wrap (2^64 - 1 + 1 is 0). Runs 0 gives NaN rate and
// latency. Requires a network (InternalFault otherwise).
EnsembleOutcome run_ensemble(const Engine& engine, const EntanglementRequest& request, std::uint64_t runs,
                             std::optional<std::uint64_t> seed);

}  // namespace vorn

// Monte Carlo ensembles: one request repeated with seeded generators,
// aggregated into rates, means, drops and a link-usage heat map.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "common/stop_check.h"
#include "network/network_graph.h"
#include "network/network_model.h"
#include "simulation/request.h"

namespace vorn {

struct EnsembleOutcome {
    std::map<std::string, std::uint64_t> link_usage;
    std::uint64_t total_runs = 0;
    double empirical_success_rate = 0.0;
    double mean_latency_ms = 0.0;
    double mean_fidelity = 0.0;
    std::uint64_t aggregate_congestion_drops = 0;
    // Keystream words the runs read (for throughput figures; not reported).
    std::uint64_t keystream_words = 0;
};

// Ensembles of at least this many runs are split over worker threads.
inline constexpr std::uint64_t kParallelEnsembleRuns = 8192;

// Run i draws its generation trials from seed_from_u64(base + i) and its
// memory-loss draws from the same key on stream 1, so a seeded ensemble is
// exactly reproducible; without a seed the base is the wall clock in
// nanoseconds. Seeds wrap (2^64 - 1 + 1 is 0). Runs 0 gives NaN rate and
// latency. The request runs over `graph` with the given configuration.
//
// `threads` 0 means call_thread_count(). Large ensembles run in chunks on up
// to `threads` worker threads; every per-run latency and fidelity is still
// added in run order, so the outcome is bit-identical for any thread count.
// `stop` is polled throughout (Stopped).
EnsembleOutcome run_ensemble(const NetworkGraph& graph, const EngineConfig& config, const EntanglementRequest& request,
                             std::uint64_t runs, std::optional<std::uint64_t> seed,
                             const StopCheck& stop = never_stop(), unsigned threads = 0);

}  // namespace vorn

// Seeded ensembles of the physical model: run i draws from the ChaCha12
// stream of seed_from_u64(seed + i), so every run depends on seed + i alone.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/stop_check.h"
#include "network/network_model.h"
#include "physical/physical_model.h"
#include "simulation/request.h"

namespace vorn {

// Exact totals of an ensemble (the sums are over delivered runs, except
// elapsed_ms_sum, over all runs), from which means, rates and quantiles
// follow; totals of consecutive run ranges add up to those of the whole.
struct PhysicalTotals {
    std::uint64_t total_runs = 0;
    std::uint64_t delivered = 0;
    std::uint64_t successes = 0;
    std::uint64_t abandoned = 0;
    double delivery_ms_sum = 0.0;
    double fidelity_sum = 0.0;
    double elapsed_ms_sum = 0.0;
    std::vector<std::string> path;
    double signalling_ms = 0.0;
    // Attempts per hop, keyed "a->b" in path direction.
    std::map<std::string, std::uint64_t> attempts_per_link;
    // Delivery times of delivered runs: bin midpoint -> count (DeliveryHistogram).
    std::map<double, std::uint64_t> delivery_histogram;
};

// Ensembles of at least this many runs are split over worker threads, in
// chunks of kPhysicalChunkRuns whose sums are added in run order: the totals
// are bit-identical for any thread count. `threads` 0 means
// call_thread_count(). `stop` is polled once per run (Stopped).
inline constexpr std::uint64_t kPhysicalChunkRuns = 4096;

PhysicalTotals run_physical_ensemble(const NetworkTopologyPayload& network, const EntanglementRequest& request,
                                     const PhysicalModel& model, std::uint64_t runs, std::uint64_t seed,
                                     const StopCheck& stop = never_stop(), unsigned threads = 0);

}  // namespace vorn

// One entanglement request evaluated across several library topologies, each
// on a fresh graph with the default engine configuration and an unseeded
// ensemble, ranked into a report.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/ensemble_runner.h"
#include "simulation/request.h"
#include "topologies/comparison_records.h"

namespace vorn {

// Raises ValueError, before anything is evaluated, when `runs` is 0 (an
// ensemble of no runs has no rates to rank) or when any endpoint names a
// topology outside the library table; raises ValueError when an endpoint's
// source or target node is not in its topology (source checked first).
// Every endpoint is checked before any ensemble runs. Small ensembles of
// several endpoints run side by side on worker threads, large ones one after
// another, each split over the threads. `stop` is polled throughout.
TopologyComparisonReport compare_topologies(const std::vector<TopologyEndpoints>& endpoints, double fidelity_target,
                                            double max_latency_ms, std::uint64_t runs,
                                            std::optional<StrategyType> strategy, const StopCheck& stop = never_stop());
TopologyComparisonReport compare_topologies(const std::vector<TopologyEndpoints>& endpoints, double fidelity_target,
                                            double max_latency_ms, std::uint64_t runs,
                                            std::optional<StrategyType> strategy, const EnsembleRunner& run);

}  // namespace vorn

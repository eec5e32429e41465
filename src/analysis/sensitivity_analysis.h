// Which network parameter most influences an ensemble's success rate: every
// node and link parameter of the captured context, and the loss coefficient,
// is scaled by 0.9 and 1.1 in turn and the ensemble rerun on a freshly built network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/ensemble_runner.h"
#include "analysis/impact_ranking.h"
#include "analysis/monte_carlo_context.h"

namespace vorn {

// Runs per rerun: 50 per node, at least 200.
std::uint64_t sensitivity_runs(std::size_t node_count);

// Parameters, in this order: each node's T2; per link its distance, fidelity
// and rate; the loss coefficient "alpha_loss_db_km" (the stored purification
// factor, scaled like every other entry). Entry k reruns with seed
// seed_base + 2k for the 0.9 factor and seed_base + 2k + 1 for the 1.1 factor
// (wrapping). Impact = (|plus - b| + |minus - b|) / b, or 0.0 when the
// baseline b is below 0.01. Result in descending impact order with unique
// display names ("memory_lifetime_t2:A", "distance_km:A->B", ...).
//
// The reruns are independent seeded ensembles: they run side by side on up
// to call_thread_count() threads, with the same rates as one after another.
// `stop` is polled throughout (Stopped).
std::vector<NamedImpact> sensitivity_analysis(const MonteCarloContext& context, double baseline_success_rate,
                                              std::uint64_t seed_base, const StopCheck& stop = never_stop());
std::vector<NamedImpact> sensitivity_analysis(const MonteCarloContext& context, double baseline_success_rate,
                                              std::uint64_t seed_base, const EnsembleRunner& run);

}  // namespace vorn

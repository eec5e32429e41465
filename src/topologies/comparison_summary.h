// Ranking of comparison results and the one-line summary of a report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "topologies/comparison_records.h"

namespace vorn {

// Index of the highest success rate, the last one among equal highest. A
// not-a-number rate never beats a number. `results` must not be empty.
std::size_t best_success_index(const std::vector<TopologyComparisonResult>& results);
// Index of the lowest mean latency, the first one among equal lowest. A
// not-a-number latency never beats a number. `results` must not be empty.
std::size_t best_latency_index(const std::vector<TopologyComparisonResult>& results);

// The best-success topology's name, or "unknown" without results.
std::string recommend_topology(const std::vector<TopologyComparisonResult>& results);

// rate × 100 with the fraction dropped; negative and not-a-number give 0.
std::uint64_t truncated_percent(double rate);

// "Evaluated 2 topologies. Recommended: x. Best success rate: 85 (x), Best
// latency: 12.50ms (y). Average fidelity: 0.8123.", or "No topologies
// evaluated" without results.
std::string comparison_summary(const std::vector<TopologyComparisonResult>& results);

}  // namespace vorn

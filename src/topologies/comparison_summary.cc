#include "topologies/comparison_summary.h"

#include <cmath>

#include "common/messages.h"
#include "common/repr_text.h"
#include "common/saturating_u64.h"

namespace vorn {

std::size_t best_success_index(const std::vector<TopologyComparisonResult>& results) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < results.size(); ++i) {
        const double rate = results[i].success_rate;
        if (std::isnan(rate)) continue;
        if (std::isnan(results[best].success_rate) || rate >= results[best].success_rate) best = i;
    }
    return best;
}

std::size_t best_latency_index(const std::vector<TopologyComparisonResult>& results) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < results.size(); ++i) {
        const double latency = results[i].mean_latency_ms;
        if (std::isnan(latency)) continue;
        if (std::isnan(results[best].mean_latency_ms) || latency < results[best].mean_latency_ms) best = i;
    }
    return best;
}

std::string recommend_topology(const std::vector<TopologyComparisonResult>& results) {
    if (results.empty()) return std::string(msg::kUnknownRecommendation);
    return results[best_success_index(results)].topology_name;
}

std::uint64_t truncated_percent(double rate) { return truncate_to_u64(rate * 100.0); }

std::string comparison_summary(const std::vector<TopologyComparisonResult>& results) {
    if (results.empty()) return std::string(msg::kNoTopologiesEvaluated);
    const TopologyComparisonResult& best_success = results[best_success_index(results)];
    const TopologyComparisonResult& best_latency = results[best_latency_index(results)];
    double fidelity_sum = 0.0;
    for (const TopologyComparisonResult& result : results) fidelity_sum += result.mean_fidelity;

    std::string text = "Evaluated ";
    append_decimal(text, results.size());
    text += " topologies. Recommended: ";
    text += best_success.topology_name;
    text += ". Best success rate: ";
    append_decimal(text, truncated_percent(best_success.success_rate));
    text += " (";
    text += best_success.topology_name;
    text += "), Best latency: ";
    append_fixed(text, best_latency.mean_latency_ms, 2);
    text += "ms (";
    text += best_latency.topology_name;
    text += "). Average fidelity: ";
    append_fixed(text, fidelity_sum / static_cast<double>(results.size()), 4);
    text += '.';
    return text;
}

}  // namespace vorn

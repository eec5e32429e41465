// The records of a topology comparison: what to evaluate, one result per
// evaluated endpoint, and the report that ranks them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vorn {

struct TopologyEndpoints {
    std::string topology_name;
    std::string from_node;
    std::string to_node;
};

struct TopologyComparisonResult {
    std::string topology_name;
    double success_rate = 0.0;
    double mean_latency_ms = 0.0;
    double mean_fidelity = 0.0;
    std::map<std::string, std::uint64_t> link_utilization;
};

struct TopologyComparisonReport {
    std::string source_node;
    std::string target_node;
    double fidelity_target = 0.0;
    double max_latency_ms = 0.0;
    std::uint64_t runs = 0;
    std::vector<TopologyComparisonResult> results;
    std::string recommended_topology;
    std::string summary;
};

}  // namespace vorn

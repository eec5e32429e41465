#include "routing/hop_values.h"

namespace vorn {

std::vector<double> hop_values(const NetworkGraph& graph, const SearchGraph& search, RouteObjective objective) {
    std::vector<double> values(search.node_count(), 0.0);
    for (std::uint32_t node = 0; node < values.size(); ++node) {
        const std::uint32_t l = search.first_link_touching(node);
        if (l == SearchGraph::kNoLink) continue;
        const GraphLink& link = graph.links[l];
        switch (objective) {
            case RouteObjective::kLowestLatency: values[node] = link.distance_km; break;
            case RouteObjective::kHighestFidelity: values[node] = link.base_fidelity; break;
            case RouteObjective::kHighestSuccess: values[node] = link.base_fidelity * link.generation_rate_hz; break;
        }
    }
    return values;
}

}  // namespace vorn

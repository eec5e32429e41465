#include "routing/hop_values.h"

namespace vorn {

std::vector<double> hop_values(const NetworkGraph& graph, const SearchGraph& search, std::uint8_t strategy_code) {
    std::vector<double> values(search.node_count(), 0.0);
    for (std::uint32_t node = 0; node < values.size(); ++node) {
        const std::uint32_t l = search.first_link_touching(node);
        if (l == SearchGraph::kNoLink) continue;
        const GraphLink& link = graph.links[l];
        values[node] = strategy_code == 0   ? link.distance_km
                       : strategy_code == 1 ? link.base_fidelity
                                            : link.base_fidelity * link.generation_rate_hz;
    }
    return values;
}

}  // namespace vorn

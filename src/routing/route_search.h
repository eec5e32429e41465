// Path selection: an exhaustive search over the link list for every simple
// path between two nodes, scored by a strategy, with fixed tie rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/stop_check.h"
#include "network/network_graph.h"
#include "routing/route_objective.h"

namespace vorn {

struct Route {
    static constexpr std::size_t kNoLink = SIZE_MAX;

    // From the start node to the end node, both included.
    std::vector<std::string> path;
    // Product over the hops of the base fidelity of the first link joining
    // the hop's two nodes (either orientation); 1.0 for a single-node path.
    double fidelity = 1.0;
    // Per hop, the index in the graph's links of that first joining link.
    std::vector<std::size_t> hop_links;
};

// LowestLatency minimises the summed hop distances, HighestFidelity maximises
// the product of hop fidelities, HighestSuccess the summed fidelity x rate. A
// hop is valued by the first link that touches its far node. No route when
// the node table is empty, either endpoint has no node entry, or no path
// joins them. The search polls `stop` as it works (throws Stopped).
std::optional<Route> find_route(const NetworkGraph& graph, std::string_view from_node, std::string_view to,
                                RouteObjective objective, const StopCheck& stop = never_stop());

// Every candidate path in the order in which the search reaches it, repeats
// included (the order that decides ties). Empty where find_route has no route.
std::vector<std::vector<std::string>> list_route_candidates(const NetworkGraph& graph, std::string_view from_node,
                                                            std::string_view to);

}  // namespace vorn

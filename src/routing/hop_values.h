// The value a hop contributes to a route's score under a strategy: read from
// the first link that touches the hop's far node, whichever node the link's
// other end is (0 where no link touches it).
#pragma once

#include <cstdint>
#include <vector>

#include "network/network_graph.h"
#include "routing/route_objective.h"
#include "routing/search_graph.h"

namespace vorn {

// Per node of `search`: distance (LowestLatency), fidelity (HighestFidelity)
// or fidelity x rate (HighestSuccess) of its first touching link.
std::vector<double> hop_values(const NetworkGraph& graph, const SearchGraph& search, RouteObjective objective);

}  // namespace vorn

// The value a hop contributes to a route's score under a strategy: read from
// the first link that touches the hop's far node, whichever node the link's
// other end is (0 where no link touches it).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/network_graph.h"
#include "routing/search_graph.h"

namespace vorn {

// Per node of `search`: distance (code 0), fidelity (code 1) or fidelity x
// rate (other codes) of its first touching link.
std::vector<double> hop_values(const NetworkGraph& graph, const SearchGraph& search, std::uint8_t strategy_code);

}  // namespace vorn

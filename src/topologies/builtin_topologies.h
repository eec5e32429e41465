// The library of fixed reference networks. Every call builds fresh records in
// table order; nothing is shared between calls.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "network/network_model.h"

namespace vorn {

// Six fiber nodes A to F and seven links of growing length.
NetworkTopologyPayload telecom_backbone();
// Nodes N0 .. N(n-1), each joined to the next by a 100 km fiber link.
NetworkTopologyPayload repeater_chain(std::size_t node_count);
// Three cities on fiber plus one satellite with two satellite links.
NetworkTopologyPayload hybrid_satellite_fiber();

// The library uses chains of this length.
inline constexpr std::size_t kLibraryRepeaterChainNodes = 4;

// Builds "telecom_backbone", "repeater_chain" or "hybrid_satellite_fiber";
// any other name (exact, case-sensitive match) raises ValueError.
NetworkTopologyPayload generate_topology(std::string_view name);

// The comparison's five-name table: the three names above plus "fiber_only"
// (the backbone) and "hybrid" (the hybrid network). nullopt for other names.
std::optional<NetworkTopologyPayload> library_topology(std::string_view name);
bool is_library_topology(std::string_view name);

}  // namespace vorn

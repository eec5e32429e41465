// The exact JSON text of a topology snapshot: two-space indentation, keys in
// the order metadata, nodes, links, config, reals in shortest round-trip form
// (whole numbers keep ".0", non-finite values become null), no final newline.
#pragma once

#include <string>

#include "files/topology_snapshot.h"

namespace vorn {

std::string snapshot_json_text(const TopologySnapshot& snapshot);

}  // namespace vorn

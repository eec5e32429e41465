// The exact JSON text of a topology snapshot: two-space indentation, keys in
// the order metadata, nodes, links, config, reals in shortest round-trip form
// (whole numbers keep ".0"), no final newline. A NaN or infinity in a real
// member throws NonFiniteMemberError naming the record and member.
#pragma once

#include <string>

#include "common/stop_check.h"
#include "files/topology_snapshot.h"

namespace vorn {

std::string snapshot_json_text(const TopologySnapshot& snapshot, const StopCheck& stop = never_stop());

}  // namespace vorn

// Reads the JSON text of a topology snapshot. Keys may come in any order and
// unknown keys are skipped; every key is required except a link's "linkType"
// (absent: Fiber) and "satelliteConditions" (absent or null: none). A record
// may also be an array of its values in key order.
#pragma once

#include <string_view>

#include "common/stop_check.h"
#include "files/topology_snapshot.h"

namespace vorn {

// Throws the JSON reader's error, whose message names the offending field or
// token and its position.
TopologySnapshot parse_snapshot_text(std::string_view text, const StopCheck& stop = never_stop());

}  // namespace vorn

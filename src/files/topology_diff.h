// Comparison of two topology snapshots node by node and link by link.
#pragma once

#include <string>
#include <vector>

#include "files/change_lists.h"
#include "files/topology_snapshot.h"

namespace vorn {

struct TopologyDiff : ChangeLists {
    std::string name;
    std::string summary;
};

// Nodes keyed by id, links by "from->to" (a later record with the same key
// wins). A node is modified when its T2 differs by more than 0.001; a link
// when any field differs (NaN never agrees). Lists follow the order in which
// keys first appear in their snapshot.
TopologyDiff diff_topologies(const TopologySnapshot& first, const TopologySnapshot& second);

}  // namespace vorn

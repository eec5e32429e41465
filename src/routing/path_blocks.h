// The biconnected blocks that the simple paths between two nodes pass
// through.
//
// In the block-cut tree of a connected graph the simple paths from `from` to
// `to` visit exactly the blocks on the tree path between them, in that
// order, each entered at one fixed node and left at another (the cut nodes
// between consecutive blocks, `from` in the first block, `to` in the last),
// and no node outside those blocks. A simple path is therefore a chain of
// simple paths, one inside each block from its entry to its exit, and every
// such chain is a simple path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/stop_check.h"
#include "routing/adjacency.h"

namespace vorn {

struct PathBlocks {
    // Block i holds nodes[start[i], start[i + 1]) (its entry and exit
    // included), is entered at entry[i] and left at exit[i] = entry[i + 1].
    std::vector<std::uint32_t> start{0};
    std::vector<std::uint32_t> nodes;
    std::vector<std::uint32_t> entry;
    std::vector<std::uint32_t> exit;

    std::size_t count() const { return entry.size(); }
    std::span<const std::uint32_t> nodes_of(std::size_t block) const {
        return {nodes.data() + start[block], nodes.data() + start[block + 1]};
    }
};

// The blocks between two different nodes, in path order; none when no path
// joins them. One iterative pass over the component of `to`.
PathBlocks path_blocks(const Adjacency& joined, std::uint32_t from, std::uint32_t to, const StopCheck& stop);

}  // namespace vorn

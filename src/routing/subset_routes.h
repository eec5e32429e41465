// The routes through one small block by dynamic programming over the set of
// nodes visited so far and the node last reached: every route from the
// block's entry to its exit, exactly, in time proportional to
// 2^(nodes - 2) x nodes x links per node instead of to the number of routes.
//
// The search starts from several chains at once (the routes through the
// blocks before this one, each with its partial score) and extends them all.
// Two partial routes that reach the same state (visited set, last node) have
// the same continuations, so of two with one partial score only the later in
// candidate order can be chosen, and one more than `slack` behind the best
// partial score of its state can never be chosen. The results are, for every
// distinct score within `slack` of the best at the exit, the latest route
// with that score.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "common/stop_check.h"
#include "routing/ranked_neighbours.h"

namespace vorn {

// Which blocks are searched by subset rather than by branch and bound: the
// subset search costs about 2^(nodes - 2) x links whatever the block, the
// branch and bound little on sparse blocks and very much on dense ones.
struct SubsetRule {
    std::size_t max_nodes = 18;     // never above this
    std::size_t always_nodes = 10;  // always up to this
    // In between, only blocks with at least this many links per node on average.
    double min_links_per_node = 3.0;

    bool applies(std::size_t nodes, std::size_t links) const {
        return nodes <= max_nodes &&
               (nodes <= always_nodes || static_cast<double>(links) >= min_links_per_node * static_cast<double>(nodes));
    }
};

struct ChainStart {
    double score;
    std::uint32_t chain;
};

struct ChainEnd {
    double score;
    std::uint32_t chain;  // the chain it extends
    // Its nodes after the entry (the exit last) are nodes[offset, offset + length).
    std::uint32_t offset;
    std::uint32_t length;
};

struct SubsetResult {
    bool overflowed = false;  // more than `cap` scores kept in some state
    std::vector<ChainEnd> ends;
    std::vector<std::uint32_t> nodes;
};

// `neighbours` and `values` describe the block, renumbered 0 .. n-1;
// `later_chain(a, b)` says whether chain a lies later in candidate order
// than chain b.
SubsetResult subset_routes(const RankedNeighbours& neighbours, const std::vector<double>& values, std::uint32_t entry,
                           std::uint32_t exit, std::span<const ChainStart> starts,
                           const std::function<bool(std::uint32_t, std::uint32_t)>& later_chain, double slack,
                           std::size_t cap, const StopCheck& stop);

}  // namespace vorn

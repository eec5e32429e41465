// The bound for the largest sum over simple paths: the nodes that some simple
// path from the current node to the target can still visit.
//
// Without the nodes already on the path, a simple path from v to the target
// can visit exactly the nodes of the biconnected blocks that lie between v
// and the target in the block-cut tree, and no others (within a block, any
// two nodes are joined by a simple path through any third). On each step the
// search finds those blocks with one Tarjan pass rooted at the target, drops
// every other node from the set still usable below that step, and bounds the
// score by the partial score plus the values of the nodes that remain. Nodes
// dropped below a step come back when the search leaves it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "routing/adjacency.h"
#include "routing/value_domain.h"

namespace vorn {

class SimplePathReach {
public:
    static constexpr bool kLowest = false;
    static constexpr bool kMultiply = false;

    SimplePathReach(const Adjacency& joined, const std::vector<double>& values, std::uint32_t to, BoundMargin margin);

    bool usable(std::uint32_t node) const { return position_[node] < count_; }
    // The nodes still usable below the node entered last, in no order.
    std::span<const std::uint32_t> usable_nodes() const { return {dense_.data(), count_}; }
    bool enter(std::uint32_t node, double score, double& bound);
    void leave(std::uint32_t) {
        count_ = marks_.back();
        marks_.pop_back();
    }

private:
    // Tarjan's blocks of the usable nodes plus v, rooted at the target; marks
    // the blocks on the way from v to the target. False when v is cut off.
    bool find_blocks(std::uint32_t v);
    // Tarjan's walk from the target, the order of steps left to `advance(x,
    // discover)`: it discovers one more child of x (or takes one more link
    // of x) and answers true, or answers false when x is done.
    template <class Advance>
    bool find_blocks_with(std::uint32_t v, Advance&& advance);
    // find_blocks for up to 64 x Words nodes, on neighbour masks: the
    // unvisited neighbours and the links back to ancestors are a mask each.
    template <std::size_t Words>
    bool find_blocks_in_masks(std::uint32_t v);
    bool on_the_way(std::uint32_t node) const;
    void drop(std::uint32_t node);

    const Adjacency& joined_;
    const std::vector<double>& values_;
    const std::uint32_t to_;
    const BoundMargin margin_;
    // The usable nodes are dense_[0, count_); position_ inverts dense_.
    // Dropping swaps a node behind count_, so restoring a count restores the set.
    std::vector<std::uint32_t> dense_;
    std::vector<std::uint32_t> position_;
    std::uint32_t count_ = 0;
    std::vector<std::uint32_t> marks_;
    // Tarjan state, valid where seen_ equals stamp_.
    std::uint32_t stamp_ = 0;
    std::vector<std::uint32_t> seen_;
    std::vector<std::uint32_t> order_;
    std::vector<std::uint32_t> low_;
    std::vector<std::uint32_t> parent_;
    std::vector<std::uint32_t> next_edge_;
    std::vector<std::uint32_t> block_;
    std::vector<std::uint32_t> block_marked_;
    std::vector<std::uint32_t> calls_;
    std::vector<std::uint32_t> pending_;
    // For up to 256 nodes, each node's neighbours as mask_words_ words.
    std::size_t mask_words_ = 0;
    std::vector<std::uint64_t> neighbour_masks_;
};

}  // namespace vorn

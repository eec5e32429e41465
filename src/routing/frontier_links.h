// The links of a large block that a chosen route can use, found by dynamic
// programming over the block's nodes in a fixed order.
//
// The nodes are placed one at a time, each step choosing which of the new
// node's links to already placed nodes the path takes. A placed node whose
// neighbours are all placed can take no more links and leaves the frontier,
// so a partial solution matters to the rest only through the frontier: for
// every frontier node whether the path has not touched it, passes through it,
// or ends a piece there, and which frontier node (or which end of the route)
// ends the same piece. Of the partial solutions with one frontier state only
// the best can be completed to the best route, so the work grows with the
// number of states (a few thousand for a frontier of ten) rather than with
// the number of routes. A greedy order keeps the frontier small: on sparse
// meshes of a few hundred nodes it stays near ten.
//
// A forward pass gives each state the best partial score reaching it, a
// backward pass the best score completing it; a link is kept when a route
// through it, as best completed, scores within `within` of the best route.
// The scores are sums over nodes in the order of the steps, so `within` must
// also cover how far that order rounds from the one a route search sums in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/stop_check.h"
#include "routing/adjacency.h"

namespace vorn {

// Which blocks are narrowed this way, and when it is given up for the plain
// branch and bound.
struct FrontierRule {
    std::size_t min_nodes = 24;  // blocks from this size on
    std::size_t max_width = 16;  // frontier nodes at most (the state has a byte each)
    std::size_t max_states = std::size_t{1} << 21;  // states over all steps
};

// For every entry k of joined.list (the link from its node to joined.list[k]),
// whether a simple path from `from` to `to` through that link scores, as the
// steps sum it, within `within` of the best such path. Scores are the sums of
// `values` (finite, >= 0) over the path's nodes after `from`. None when the
// frontier or the states exceed the rule, or no path joins the ends.
std::optional<std::vector<char>> frontier_links(const Adjacency& joined, const std::vector<double>& values,
                                                std::uint32_t from, std::uint32_t to, double within,
                                                const FrontierRule& rule, const StopCheck& stop);

}  // namespace vorn

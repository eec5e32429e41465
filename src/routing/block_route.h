// The largest-sum route (the strategies other than 0 and 1) found block by
// block.
//
// Every route from `from` to `to` is a chain of sub-routes, one through each
// block of path_blocks() from its entry to its exit, and every such chain is
// a route. A route's score is the left-to-right sum of its nodes' values.
// Its place in the candidate list is the order of its rank sequence
// (ranked_neighbours.h), the concatenation of its sub-routes' rank
// sequences. Two different sub-routes of one block part at a step inside it
// (neither is a prefix of the other: both end at the block's exit, which a
// simple path visits once), so of two routes that first differ in block k
// the later candidate is the one whose sub-route there ranks higher.
//
// Where every sum of the values is exact (a zero margin), a route scores the
// sum of its sub-routes' scores, and the chosen route is the chain of each
// block's chosen sub-route under the same tie rule. Otherwise how a sum
// rounds depends on the score it starts from, and a near-tie in one block can
// be settled by the roundings of later ones. So each block keeps every
// sub-route within a slack of its best: a sub-route farther behind loses,
// whatever the rest of the route, to the same route with the block's best
// sub-route in its place. The chains of kept sub-routes are then extended
// block after block, keeping for each distinct partial score the chain that
// ranks highest and dropping chains more than the slack behind the best
// partial score, for the same reason. The slack is four times the margin's
// relative allowance times the sum of every value a route can meet, which
// covers the rounding of both scores compared. When the route passes one
// block only, no later block can settle a near tie, and that block's search
// settles ties by the exhaustive search's rule itself.
//
// Small or dense blocks are searched by subset (subset_routes.h), which
// extends all live chains at once; the others by branch and bound with the
// reach bound, remembering per state what a continuation can add
// (remembering_reach.h) up to 256 nodes. Before a large block's branch and
// bound, a pass over its frontier states (frontier_links.h) drops the links
// that no kept sub-route can use, which leaves the search little more than
// the best sub-route and its near ties.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/stop_check.h"
#include "routing/ranked_neighbours.h"
#include "routing/frontier_links.h"
#include "routing/search_graph.h"
#include "routing/subset_routes.h"
#include "routing/value_domain.h"

namespace vorn {

struct BlockRoute {
    // False when some block kept too many near-tied sub-routes or chains:
    // the whole graph must be searched at once.
    bool decided = false;
    std::optional<std::vector<std::uint32_t>> path;
};

// `values` must satisfy sums_bounded and `margin` be their sum_margin; from
// and to must differ. `subset` says which blocks are searched by subset,
// the others are searched by branch and bound, narrowed first where
// `frontier` says.
BlockRoute highest_sum_by_blocks(const SearchGraph& graph, const std::vector<double>& values, BoundMargin margin,
                                 const StopCheck& stop, SubsetRule subset = {}, FrontierRule frontier = {});

// Orders every node's neighbours most valuable first (ties: higher rank
// first), so that good routes are found early and cut more.
void most_valuable_first(RankedNeighbours& neighbours, const std::vector<double>& values);

}  // namespace vorn

// The route search with bounds: the exhaustive search's choice for hop values
// where admissible bounds exist, found by branch and bound.
//   code 0 (smallest sum): every value finite and >= 0; bound: the smallest
//       node-weighted sum to the target;
//   code 1 (largest product): every value finite and >= 0; bound: the
//       largest product to the target of the values capped at 1, times the
//       product of every value above 1;
//   other codes (largest sum): every value finite and >= 0; solved block by
//       block (block_route.h); bound: the partial sum plus the values a
//       simple path can still visit.
// Only the values of nodes a route can reach from the start are checked.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/stop_check.h"
#include "routing/route_objective.h"
#include "routing/search_graph.h"

namespace vorn {

struct PrunedRoute {
    // False when the values fall outside the domain of the strategy's bound:
    // the exhaustive search must decide.
    bool applies = false;
    std::optional<std::vector<std::uint32_t>> path;
};

// `values` holds each node's hop value; from and to must differ.
PrunedRoute pruned_route(const SearchGraph& graph, const std::vector<double>& values, RouteObjective objective,
                         const StopCheck& stop = never_stop());

}  // namespace vorn

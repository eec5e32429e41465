// Node-weighted best paths from every node to the target, ignoring that a
// route must not repeat a node: the exact optimistic completion of a partial
// route. The value of a path x -> y1 -> ... -> target folds the values of
// y1 ... target (x itself is not counted); one Dijkstra run from the target.
#pragma once

#include <cstdint>
#include <vector>

#include "common/stop_check.h"
#include "routing/search_graph.h"

namespace vorn {

struct BestToTarget {
    static constexpr std::uint32_t kNone = UINT32_MAX;
    // Per node, the best value; +inf (sums) or 0 (products) where the target
    // cannot be reached.
    std::vector<double> value;
    // Per node, the next node of a best path; kNone at the target and where
    // the target cannot be reached.
    std::vector<std::uint32_t> next;
    std::vector<char> reaches;
};

// Smallest sums, for values that are finite and >= 0.
BestToTarget lowest_sums_to(const SearchGraph& graph, const std::vector<double>& values, std::uint32_t target,
                            const StopCheck& stop);
// Largest products, for values in [0, 1].
BestToTarget highest_products_to(const SearchGraph& graph, const std::vector<double>& values, std::uint32_t target,
                                 const StopCheck& stop);

}  // namespace vorn

// Where the hop values of a search allow bounds, and how far a bound computed
// in floating point may stray from the exact one.
//
// A pruned search compares a computed bound with the score of the best route
// found so far, and both are rounded. The margins here cover every rounding
// along any simple path (left-to-right folds of the score, the sums and
// products of the bounds, in any association), so a subtree is cut only when
// no route in it can win. When every partial sum or product is exact, the
// margin is zero and equal scores compare as equal, which lets the search
// settle exact ties by place instead of exploring them.
#pragma once

#include <cstdint>
#include <vector>

#include "routing/search_graph.h"

namespace vorn {

// The nodes a route from `from` can visit: its component under the joined
// adjacency, `from` first.
std::vector<std::uint32_t> joined_component(const SearchGraph& graph, std::uint32_t from);

struct BoundMargin {
    // A lower bound b is used as b * (1 - relative) - absolute, an upper
    // bound as b * (1 + relative) + absolute.
    double relative = 0.0;
    double absolute = 0.0;
};

// Sums: every value finite and >= 0, and the sum of all of them finite.
bool sums_bounded(const std::vector<double>& values, const std::vector<std::uint32_t>& nodes);
// Products: every value finite and >= 0, and the growth below small enough
// that no score, bound or margin can overflow.
bool products_bounded(const std::vector<double>& values, const std::vector<std::uint32_t>& nodes);
// The product of max(value, 1) over the nodes, rounded up: a route through
// them scores at most this times the product of its values capped at 1.
double product_growth(const std::vector<double>& values, const std::vector<std::uint32_t>& nodes);

// The margins for values that passed the matching check above. The product
// margin applies to bounds that already include product_growth.
BoundMargin sum_margin(const std::vector<double>& values, const std::vector<std::uint32_t>& nodes);
BoundMargin product_margin(const std::vector<double>& values, const std::vector<std::uint32_t>& nodes);

}  // namespace vorn

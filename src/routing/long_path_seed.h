// A good first route for the largest-sum branch and bound: a greedy walk that
// steps where the most value stays within reach (simple_path_reach.h), then
// local improvement, detours inserted and nodes swapped for more valuable
// pairs until no move adds value.
//
// The branch and bound spends most of its time on large blocks finding a
// route near the best one; starting from such a route lets its bound cut from
// the first step. The seed is one of the candidates, so it changes how fast
// the search decides, never what it decides.
#pragma once

#include <cstdint>
#include <vector>

#include "common/stop_check.h"
#include "routing/adjacency.h"
#include "routing/ranked_neighbours.h"

namespace vorn {

// A simple path from `from` to `to` (which must differ) over the neighbour
// lists (`joined` lists the same neighbours), or an empty one when none joins them. `values` are finite and >= 0.
std::vector<std::uint32_t> long_path_seed(const Adjacency& joined, const RankedNeighbours& neighbours,
                                          const std::vector<double>& values, std::uint32_t from, std::uint32_t to,
                                          const StopCheck& stop);

}  // namespace vorn

// Ordering of sensitivity impacts into the dict that the analysis returns.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vorn {

using NamedImpact = std::pair<std::string, double>;

// Stable sort by impact, largest first. A not-a-number impact is neither
// greater nor smaller than any other: it keeps its position and nothing moves
// across it, so each stretch of numbers between two such entries is sorted on
// its own (the order a stable insertion sort gives).
void sort_impacts_descending(std::vector<NamedImpact>& impacts);

// Folds entries with equal names the way successive dict insertions do: the
// name keeps the position of its first entry and takes the value of its last.
std::vector<NamedImpact> merge_equal_names(const std::vector<NamedImpact>& impacts);

}  // namespace vorn

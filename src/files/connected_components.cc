#include "files/connected_components.h"

#include <numeric>
#include <utility>

namespace vorn {

DisjointSets::DisjointSets(std::size_t count) : parent_(count), rank_(count, 0), sets_(count) {
    std::iota(parent_.begin(), parent_.end(), std::size_t{0});
}

std::size_t DisjointSets::find(std::size_t element) {
    // Path halving keeps the trees shallow without recursion.
    while (parent_[element] != element) {
        parent_[element] = parent_[parent_[element]];
        element = parent_[element];
    }
    return element;
}

void DisjointSets::unite(std::size_t a, std::size_t b) {
    std::size_t root_a = find(a), root_b = find(b);
    if (root_a == root_b) return;
    if (rank_[root_a] < rank_[root_b]) std::swap(root_a, root_b);
    parent_[root_b] = root_a;
    if (rank_[root_a] == rank_[root_b]) ++rank_[root_a];
    --sets_;
}

}  // namespace vorn

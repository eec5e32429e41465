// Counting connected components of an undirected graph with union-find.
#pragma once

#include <cstddef>
#include <vector>

namespace vorn {

class DisjointSets {
public:
    explicit DisjointSets(std::size_t count);
    // Joins the sets of a and b (a == b is allowed and changes nothing).
    void unite(std::size_t a, std::size_t b);
    std::size_t find(std::size_t element);
    std::size_t set_count() const { return sets_; }

private:
    std::vector<std::size_t> parent_;
    std::vector<unsigned char> rank_;
    std::size_t sets_;
};

}  // namespace vorn

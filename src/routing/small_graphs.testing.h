// Small graphs for the routing tests as adjacency lists, and every simple
// path between two of their nodes by brute force.
#pragma once

#include <algorithm>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "routing/adjacency.h"

namespace vorn::testing {

// The adjacency of n nodes joined by `edges` (loops dropped, repeats merged),
// each list in ascending order.
inline Adjacency adjacency(std::uint32_t n, const std::vector<std::pair<std::uint32_t, std::uint32_t>>& edges) {
    std::vector<std::set<std::uint32_t>> sets(n);
    for (auto [a, b] : edges) {
        if (a == b) continue;
        sets[a].insert(b);
        sets[b].insert(a);
    }
    Adjacency result;
    for (const auto& s : sets) {
        result.list.insert(result.list.end(), s.begin(), s.end());
        result.start.push_back(static_cast<std::uint32_t>(result.list.size()));
    }
    return result;
}

// Every simple path from `from` to `to`, by brute force.
inline std::vector<std::vector<std::uint32_t>> simple_paths(const Adjacency& joined, std::uint32_t from,
                                                            std::uint32_t to) {
    std::vector<std::vector<std::uint32_t>> found;
    std::vector<std::uint32_t> path{from};
    auto extend = [&](auto& self) -> void {
        if (path.back() == to) {
            found.push_back(path);
            return;
        }
        for (std::uint32_t next : joined.of(path.back())) {
            if (std::find(path.begin(), path.end(), next) != path.end()) continue;
            path.push_back(next);
            self(self);
            path.pop_back();
        }
    };
    extend(extend);
    return found;
}

}  // namespace vorn::testing

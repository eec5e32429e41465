// Compressed per-node lists of node indices: the entries of node i are
// list[start[i], start[i + 1]).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vorn {

// No node, block or position: the "none" of the routing indices.
inline constexpr std::uint32_t kNoIndex = UINT32_MAX;

struct Adjacency {
    std::vector<std::uint32_t> start{0};
    std::vector<std::uint32_t> list;

    std::size_t node_count() const { return start.size() - 1; }
    std::span<const std::uint32_t> of(std::uint32_t node) const {
        return {list.data() + start[node], list.data() + start[node + 1]};
    }
};

}  // namespace vorn

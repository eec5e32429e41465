#include "routing/simple_path_reach.h"

#include <algorithm>
#include <array>
#include <bit>
#include <numeric>

namespace vorn {

SimplePathReach::SimplePathReach(const Adjacency& joined, const std::vector<double>& values, std::uint32_t to,
                                 BoundMargin margin)
    : joined_(joined), values_(values), to_(to), margin_(margin) {
    const std::size_t n = joined.node_count();
    dense_.resize(n);
    std::iota(dense_.begin(), dense_.end(), 0u);
    position_ = dense_;
    count_ = static_cast<std::uint32_t>(n);
    marks_.reserve(n + 1);
    seen_.assign(n, 0);
    order_.resize(n);
    low_.resize(n);
    parent_.resize(n);
    next_edge_.resize(n);
    block_.resize(n);
    block_marked_.assign(n, 0);
    calls_.reserve(n);
    pending_.reserve(n);
    mask_words_ = n <= 64 ? 1 : n <= 256 ? 4 : 0;
    neighbour_masks_.assign(n * mask_words_, 0);
    for (std::uint32_t x = 0; x < n && mask_words_ != 0; ++x) {
        for (std::uint32_t y : joined.of(x)) {
            if (y != x) neighbour_masks_[x * mask_words_ + y / 64] |= std::uint64_t{1} << (y % 64);
        }
    }
}

void SimplePathReach::drop(std::uint32_t node) {
    const std::uint32_t at = position_[node], last = dense_[--count_];
    dense_[at] = last;
    position_[last] = at;
    dense_[count_] = node;
    position_[node] = count_;
}

bool SimplePathReach::enter(std::uint32_t node, double score, double& bound) {
    marks_.push_back(count_);
    drop(node);
    if (!find_blocks(node)) return false;
    double rest = 0.0;
    for (std::uint32_t i = count_; i-- > 0;) {
        const std::uint32_t x = dense_[i];
        if (on_the_way(x)) {
            rest += values_[x];
        } else {
            drop(x);  // swaps in dense_[count_ - 1], which was already kept
        }
    }
    bound = (score + rest) * (1.0 + margin_.relative) + margin_.absolute;
    return true;
}

bool SimplePathReach::on_the_way(std::uint32_t node) const {
    return seen_[node] == stamp_ && (node == to_ || block_marked_[block_[node]] == stamp_);
}

template <class Advance>
bool SimplePathReach::find_blocks_with(std::uint32_t v, Advance&& advance) {
    std::uint32_t time = 0, blocks = 0;
    auto discover = [&](std::uint32_t y, std::uint32_t parent) {
        seen_[y] = stamp_;
        order_[y] = low_[y] = time++;
        parent_[y] = parent;
        calls_.push_back(y);
        if (parent != kNoIndex) pending_.push_back(y);
    };
    calls_.clear();
    pending_.clear();
    discover(to_, kNoIndex);
    while (!calls_.empty()) {
        const std::uint32_t x = calls_.back();
        if (advance(x, discover)) continue;
        calls_.pop_back();
        const std::uint32_t p = parent_[x];
        if (p == kNoIndex) continue;
        low_[p] = std::min(low_[p], low_[x]);
        if (low_[x] >= order_[p]) {  // x's subtree closes a block headed by p
            const std::uint32_t b = blocks++;
            std::uint32_t z;
            do {
                z = pending_.back();
                pending_.pop_back();
                block_[z] = b;
            } while (z != x);
        }
    }
    if (seen_[v] != stamp_) return false;
    for (std::uint32_t z = v; z != to_; z = parent_[z]) block_marked_[block_[z]] = stamp_;
    return true;
}

template <std::size_t Words>
bool SimplePathReach::find_blocks_in_masks(std::uint32_t v) {
    using Mask = std::array<std::uint64_t, Words>;
    auto set = [](Mask& m, std::uint32_t x) { m[x / 64] |= std::uint64_t{1} << (x % 64); };
    auto neighbours = [&](std::uint32_t x) { return neighbour_masks_.data() + std::size_t{x} * Words; };
    Mask present{}, seen{};
    set(present, v);
    set(seen, to_);
    for (std::uint32_t i = 0; i < count_; ++i) set(present, dense_[i]);
    return find_blocks_with(v, [&](std::uint32_t x, auto& discover) {
        const std::uint64_t* around = neighbours(x);
        std::uint32_t y = kNoIndex;
        for (std::size_t w = 0; w < Words && y == kNoIndex; ++w) {
            const std::uint64_t unseen = around[w] & present[w] & ~seen[w];
            if (unseen != 0) y = static_cast<std::uint32_t>(64 * w + std::countr_zero(unseen));
        }
        if (y == kNoIndex) return false;
        set(seen, y);
        discover(y, x);
        // Every neighbour seen before y, but its parent, is an ancestor: a
        // link back.
        const std::uint64_t* next = neighbours(y);
        for (std::size_t w = 0; w < Words; ++w) {
            std::uint64_t back = next[w] & seen[w];
            if (x / 64 == w) back &= ~(std::uint64_t{1} << (x % 64));
            for (; back != 0; back &= back - 1) low_[y] = std::min(low_[y], order_[64 * w + std::countr_zero(back)]);
        }
        return true;
    });
}

bool SimplePathReach::find_blocks(std::uint32_t v) {
    ++stamp_;
    if (mask_words_ == 1) return find_blocks_in_masks<1>(v);
    if (mask_words_ == 4) return find_blocks_in_masks<4>(v);
    auto present = [&](std::uint32_t y) { return y == v || position_[y] < count_; };
    next_edge_[to_] = 0;
    return find_blocks_with(v, [&](std::uint32_t x, auto& discover) {
        const auto edges = joined_.of(x);
        if (next_edge_[x] == edges.size()) return false;
        const std::uint32_t y = edges[next_edge_[x]++];
        if (!present(y)) return true;
        if (seen_[y] != stamp_) {
            discover(y, x);
            next_edge_[y] = 0;
        } else if (y != parent_[x]) {
            low_[x] = std::min(low_[x], order_[y]);
        }
        return true;
    });
}

}  // namespace vorn

#include "routing/simple_path_reach.h"

#include <algorithm>
#include <numeric>

namespace vorn {
namespace {}

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

bool SimplePathReach::find_blocks(std::uint32_t v) {
    ++stamp_;
    auto present = [&](std::uint32_t y) { return y == v || position_[y] < count_; };
    std::uint32_t time = 0, blocks = 0;
    seen_[to_] = stamp_;
    order_[to_] = low_[to_] = time++;
    parent_[to_] = kNoIndex;
    next_edge_[to_] = 0;
    calls_.clear();
    pending_.clear();
    calls_.push_back(to_);
    while (!calls_.empty()) {
        const std::uint32_t x = calls_.back();
        const auto edges = joined_.of(x);
        if (next_edge_[x] < edges.size()) {
            const std::uint32_t y = edges[next_edge_[x]++];
            if (!present(y)) continue;
            if (seen_[y] != stamp_) {
                seen_[y] = stamp_;
                order_[y] = low_[y] = time++;
                parent_[y] = x;
                next_edge_[y] = 0;
                calls_.push_back(y);
                pending_.push_back(y);
            } else if (y != parent_[x]) {
                low_[x] = std::min(low_[x], order_[y]);
            }
            continue;
        }
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

}  // namespace vorn

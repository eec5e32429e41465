// The reach bound of SimplePathReach, tightened by what the search has
// learned: for blocks of at most 64 nodes.
//
// The routes that continue from node u are the simple paths from u to the
// target through the nodes still usable there, so they depend on u and that
// set only, not on how the search got to u. When the search is done below u
// it knows that no route there scored more than some r (the best found, or
// the bound of a subtree it cut), so no continuation from (u, usable set)
// adds more than r - s, where s was the score at u. Another visit to the same
// state, with score s', is then bounded by s' + (r - s) + pad, where the pad
// covers the rounding of both scores (zero when every sum is exact).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "routing/simple_path_reach.h"

namespace vorn {

class RememberingReach {
public:
    static constexpr bool kLowest = false;
    static constexpr bool kMultiply = false;
    static constexpr std::size_t kNodeLimit = 64;
    // States remembered at most, so that memory stays bounded.
    static constexpr std::size_t kStateLimit = std::size_t{1} << 22;

    // `joined` must have at most kNodeLimit nodes.
    RememberingReach(const Adjacency& joined, const std::vector<double>& values, std::uint32_t to, BoundMargin margin,
                     double pad)
        : reach_(joined, values, to, margin), pad_(pad) {
        keys_.reserve(joined.node_count() + 1);
    }

    bool usable(std::uint32_t node) const { return reach_.usable(node); }

    bool enter(std::uint32_t node, double score, double& bound) {
        if (!reach_.enter(node, score, bound)) {
            keys_.push_back({});
            return false;
        }
        State key{0, node};
        for (std::uint32_t x : reach_.usable_nodes()) key.usable |= std::uint64_t{1} << x;
        keys_.push_back(key);
        const auto known = gains_.find(key);
        if (known != gains_.end()) bound = std::min(bound, score + known->second + pad_);
        return true;
    }

    void finished(std::uint32_t, double score, double reached) {
        const double gain = reached - score;
        auto [it, added] = gains_.try_emplace(keys_.back(), gain);
        if (!added) it->second = std::min(it->second, gain);
        if (gains_.size() > kStateLimit) gains_.erase(it);
    }

    void leave(std::uint32_t node) {
        reach_.leave(node);
        keys_.pop_back();
    }

private:
    struct State {
        std::uint64_t usable = 0;
        std::uint32_t node = 0;
        bool operator==(const State&) const = default;
    };
    struct StateHash {
        std::size_t operator()(const State& s) const {
            return std::hash<std::uint64_t>()(s.usable * 0x9E3779B97F4A7C15ull ^ s.node);
        }
    };

    SimplePathReach reach_;
    const double pad_;
    std::vector<State> keys_;  // per entered node, its state
    // Per state, the most a continuation from it can add.
    std::unordered_map<State, double, StateHash> gains_;
};

}  // namespace vorn

// The reach bound of SimplePathReach, tightened by what the search has
// learned: for blocks of at most 64 x Words nodes.
//
// The routes that continue from node u are the simple paths from u to the
// target through the nodes still usable there, so they depend on u and that
// set only, not on how the search got to u. When the search is done below u
// it knows that no route there scored more than some r (the best found, or
// the bound of a subtree it cut), so no continuation from (u, usable set)
// adds more than r - s, where s was the score at u. Another visit to the same
// state, with score s', is then bounded by s' + (r - s) + pad, where the pad
// covers the rounding of both scores (zero when every sum is exact).
//
// With cut_dominated(), a visit is also cut when an earlier visit to the same
// state scored at least as much. Adding a value is monotone in floating
// point, so every continuation then scores at least as much after the
// earlier visit as after this one; and when the search visits neighbours by
// descending rank (reverse candidate order), the earlier visit is the later
// candidate, which wins a tie. No route below this visit can be chosen
// (none below the earlier visit scored more than its r, which then bounds
// this one too). The rule holds for a search that settles ties itself, not
// for one that keeps near ties.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "routing/simple_path_reach.h"

namespace vorn {

template <std::size_t Words>
class RememberingReach {
public:
    static constexpr bool kLowest = false;
    static constexpr bool kMultiply = false;
    static constexpr std::size_t kNodeLimit = 64 * Words;

    // `joined` must have at most kNodeLimit nodes.
    RememberingReach(const Adjacency& joined, const std::vector<double>& values, std::uint32_t to, BoundMargin margin,
                     double pad)
        : reach_(joined, values, to, margin), pad_(pad) {
        keys_.reserve(joined.node_count() + 1);
    }

    bool usable(std::uint32_t node) const { return reach_.usable(node); }

    // Call before the search runs; see above for when it may be used.
    void cut_dominated() { cutting_dominated_ = true; }
    // Whether the node entered last is cut so: the search then does not step
    // below it, and no route below it scores more than dominated_reach().
    bool dominated() const { return dominated_; }
    double dominated_reach() const { return dominated_reach_; }

    bool enter(std::uint32_t node, double score, double& bound) {
        if (!reach_.enter(node, score, bound)) {
            keys_.push_back({});
            return false;
        }
        State key{{}, node};
        for (std::uint32_t x : reach_.usable_nodes()) key.usable[x / 64] |= std::uint64_t{1} << (x % 64);
        keys_.push_back(key);
        const Slot& known = slots_[find(key)];
        dominated_ = false;
        if (known.used) {
            bound = std::min(bound, score + known.gain + pad_);
            dominated_ = cutting_dominated_ && score <= known.top_score;
            dominated_reach_ = known.top_reached;
        }
        return true;
    }

    void finished(std::uint32_t, double score, double reached) {
        const double gain = reached - score;
        Slot& slot = slots_[find(keys_.back())];
        if (slot.used) {
            slot.gain = std::min(slot.gain, gain);
            slot.top_score = std::max(slot.top_score, score);
            slot.top_reached = std::max(slot.top_reached, reached);
            return;
        }
        if (2 * (used_ + 1) > slots_.size() && !grow()) return;  // full: forget
        Slot& fresh = slots_[find(keys_.back())];
        fresh = {keys_.back(), gain, score, reached, true};
        ++used_;
    }

    void leave(std::uint32_t node) {
        reach_.leave(node);
        keys_.pop_back();
    }

private:
    struct State {
        std::array<std::uint64_t, Words> usable{};
        std::uint32_t node = 0;
        bool operator==(const State&) const = default;
    };
    struct StateHash {
        std::size_t operator()(const State& s) const {
            std::uint64_t h = s.node;
            for (std::uint64_t word : s.usable) h = (h ^ word) * 0x9E3779B97F4A7C15ull;
            return std::hash<std::uint64_t>()(h ^ (h >> 29));
        }
    };

    // Per remembered state, the most a continuation from it can add, the
    // best score of a finished visit and the most a route below any finished
    // visit scored. Open
    // addressing with linear probing, at most half full; it doubles (a few
    // times per search, never per step) up to kStateLimit states.
    struct Slot {
        State state;
        double gain = 0.0;
        double top_score = 0.0;
        double top_reached = 0.0;
        bool used = false;
    };
    // States remembered at most, so that the table (at most twice as many
    // slots) stays under 128 MB.
    static constexpr std::size_t kStateLimit = std::bit_floor((std::size_t{64} << 20) / sizeof(Slot));

    std::size_t find(const State& state) const {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = StateHash()(state) & mask;
        while (slots_[i].used && !(slots_[i].state == state)) i = (i + 1) & mask;
        return i;
    }
    bool grow() {
        if (slots_.size() >= 2 * kStateLimit) return false;
        std::vector<Slot> old(2 * slots_.size());
        old.swap(slots_);
        for (const Slot& slot : old) {
            if (slot.used) slots_[find(slot.state)] = slot;
        }
        return true;
    }

    SimplePathReach reach_;
    const double pad_;
    bool cutting_dominated_ = false;
    bool dominated_ = false;
    double dominated_reach_ = 0.0;
    std::vector<State> keys_;  // per entered node, its state
    std::vector<Slot> slots_ = std::vector<Slot>(64);
    std::size_t used_ = 0;
};

}  // namespace vorn

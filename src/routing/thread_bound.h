// A tighter count of what a simple path can still collect through a chain of
// biconnected blocks, from the nodes that have only two neighbours left.
//
// Inside one block the path runs from the block's entry to its exit. A node
// that is neither and has exactly two present neighbours can only be passed
// through, so a maximal run of such nodes (a thread) is either walked whole,
// from one of its two ends to the other, or not at all. Two rules follow:
//   - of threads with the same two ends, at most one is walked (walking a
//     second would need a third visit to the ends);
//   - a walked thread takes one of the path's edges at each end, and the
//     path has two edges at a node it passes, one at the block's entry and
//     one at its exit.
// So the threads add at most the sum over their ends of the largest halves
// of the threads ending there: two halves at a node the path passes, one at
// a block's entry or exit. Every other node counts its full value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "routing/adjacency.h"

namespace vorn {

class ThreadBound {
public:
    ThreadBound(const Adjacency& joined, const std::vector<double>& values);

    // What a path from `from` can still collect, `from` excluded:
    //   kept:      the nodes of the chain of blocks, `from` excluded;
    //   present:   true for the kept nodes and `from`;
    //   home:      for every present node its block: the one it lies in,
    //              for an entry the block it enters, kNoIndex for the target;
    //   terminal:  true for the entries and exits (`from` and the target
    //              among them).
    // Neither allocates once the first call has sized the scratch.
    template <class Present, class Home, class Terminal>
    double collectable(std::span<const std::uint32_t> kept, std::uint32_t from, const Present& present,
                       const Home& home, const Terminal& terminal) {
        ++now_;
        for (std::uint32_t y : kept) {
            if (terminal(y)) continue;
            std::uint32_t degree = 0;
            for (std::uint32_t z : joined_.of(y)) degree += present(z) ? 1 : 0;
            if (degree == 2) mark_inner(y);
        }
        double total = 0.0;
        threads_.clear();
        auto walk_from = [&](std::uint32_t end) {
            for (std::uint32_t first : joined_.of(end)) {
                if (!is_inner(first)) continue;
                std::uint32_t previous = end, at = first;
                double value = 0.0;
                // Every thread ends at a kept node that is not inner; the
                // count only guards against a broken invariant.
                for (std::size_t steps = 0; is_inner(at) && steps <= kept.size(); ++steps) {
                    value += values_[at];
                    std::uint32_t next = previous;
                    for (std::uint32_t z : joined_.of(at)) {
                        if (z != previous && present(z)) next = z;
                    }
                    previous = at;
                    at = next;
                }
                if (end < at && !is_inner(at)) threads_.push_back({end, at, value, home(first)});
            }
        };
        walk_from(from);
        for (std::uint32_t y : kept) {
            if (is_inner(y)) continue;
            total += values_[y];
            walk_from(y);
        }
        return total + threads_total(home, terminal);
    }

private:
    struct Thread {
        std::uint32_t low;   // the end with the smaller index
        std::uint32_t high;  // the other end
        double value;        // the sum of its inner nodes
        std::uint32_t block;
    };

    void mark_inner(std::uint32_t node);
    bool is_inner(std::uint32_t node) const { return inner_stamp_[node] == now_; }

    // The threads' part: one thread per pair of ends (the most valuable),
    // then per end the largest halves it can take.
    template <class Home, class Terminal>
    double threads_total(const Home& home, const Terminal& terminal) {
        keep_best_per_pair();
        ends_.clear();
        for (const Thread& thread : threads_) {
            for (std::uint32_t end : {thread.low, thread.high}) {
                // A passed node takes two halves; an entry one in the block
                // it enters (its home), an exit one in the block it leaves.
                if (!terminal(end)) {
                    add_half(end, 2, 0, thread.value / 2.0);
                } else {
                    add_half(end, 1, home(end) == thread.block ? 0 : 1, thread.value / 2.0);
                }
            }
        }
        return sum_of_halves();
    }
    void keep_best_per_pair();
    void add_half(std::uint32_t end, int cap, int side, double half);
    double sum_of_halves() const;

    const Adjacency& joined_;
    const std::vector<double>& values_;
    std::uint32_t now_ = 0;
    std::vector<std::uint32_t> inner_stamp_;  // equal to now_ for this round's inner nodes
    std::vector<std::uint32_t> half_stamp_;   // equal to now_ where halves_ holds this round's halves
    // Per node: the two largest halves on side 0 (its own block, as a passed
    // node or an entry) and the largest on side 1 (as an exit).
    std::vector<std::array<double, 3>> halves_;
    std::vector<std::uint8_t> caps_;
    std::vector<std::uint32_t> ends_;  // the nodes holding halves this round
    std::vector<Thread> threads_;
};

}  // namespace vorn

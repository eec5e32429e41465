// For every node, its distinct neighbours with the rank that decides a tie
// between two routes that branch there.
//
// The search reaches neighbour o of node c through every link that gives o
// as c's step: the links whose from_node is o, and the links from c to o.
// Steps run in reverse list order, so o is first reached through the highest
// such link index and last reached through the lowest. Two candidates that
// share a prefix up to c and continue to o1 and o2 lie in the candidate list
// in the order of those indices, whatever follows:
//   first wins (lowest score): the candidate whose neighbour is first reached
//       earlier wins a tie, so its rank is its highest link index;
//   last wins (highest score): the candidate whose neighbour is last reached
//       later wins a tie, so its rank is (link count - 1 - its lowest index).
// A greater rank wins. Ranks of one node's neighbours are all different.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "routing/search_graph.h"

namespace vorn {

enum class TieRule : std::uint8_t { kFirstWins, kLastWins };

struct RankedNeighbour {
    std::uint32_t node;
    std::uint32_t rank;
};

class RankedNeighbours {
public:
    // Lists each node's neighbours by descending rank: candidate order for
    // the first-wins rule, reverse candidate order for the last-wins rule.
    RankedNeighbours(const SearchGraph& graph, TieRule rule);
    // The lists of `whole` restricted to `nodes` and renumbered, node nodes[i]
    // becoming i, ranks kept: `local_of` gives each node of `whole` its new
    // number, or kOutside when it is not among `nodes`.
    static constexpr std::uint32_t kOutside = UINT32_MAX;
    RankedNeighbours(const RankedNeighbours& whole, std::span<const std::uint32_t> nodes,
                     const std::vector<std::uint32_t>& local_of);

    std::span<const RankedNeighbour> of(std::uint32_t node) const {
        return {list_.data() + start_[node], list_.data() + start_[node + 1]};
    }
    // The rank of the step from `node` to `neighbour` (which must be joined to it).
    std::uint32_t rank(std::uint32_t node, std::uint32_t neighbour) const;

    // Reorders every node's list; `before(node, a, b)` is a strict weak order.
    template <class Before>
    void reorder(Before&& before) {
        for (std::uint32_t node = 0; node + 1 < start_.size(); ++node) {
            auto begin = list_.begin() + start_[node], end = list_.begin() + start_[node + 1];
            std::sort(begin, end,
                      [&](const RankedNeighbour& a, const RankedNeighbour& b) { return before(node, a, b); });
        }
    }

    // Keeps in every node's list only the neighbours for which
    // `keep(node, neighbour)` holds, in their order.
    template <class Keep>
    void keep_only(Keep&& keep) {
        std::uint32_t write = 0;
        for (std::uint32_t node = 0; node + 1 < start_.size(); ++node) {
            const std::uint32_t begin = start_[node], end = start_[node + 1];
            start_[node] = write;
            for (std::uint32_t k = begin; k < end; ++k) {
                if (keep(node, list_[k].node)) list_[write++] = list_[k];
            }
        }
        start_.back() = write;
        list_.resize(write);
    }

private:
    std::vector<std::uint32_t> start_;
    std::vector<RankedNeighbour> list_;
};

}  // namespace vorn

#include "routing/ranked_neighbours.h"

#include <algorithm>

namespace vorn {

RankedNeighbours::RankedNeighbours(const SearchGraph& graph, TieRule rule) {
    const std::uint32_t n = static_cast<std::uint32_t>(graph.node_count());
    const std::uint32_t last_link = static_cast<std::uint32_t>(graph.link_count()) - 1;
    constexpr std::uint32_t kNone = SearchGraph::kNoLink;
    // Per node: the lowest and highest index among the links it is from_node of.
    std::vector<std::uint32_t> low_from(n, kNone), high_from(n, kNone);
    for (std::uint32_t node = 0; node < n; ++node) {
        const auto own = graph.links_from(node);
        if (!own.empty()) {
            low_from[node] = own.front();
            high_from[node] = own.back();
        }
    }
    // Per neighbour of the node being ranked: the lowest and highest index
    // among the links from that node to it.
    std::vector<std::uint32_t> low_direct(n, kNone), high_direct(n, kNone);

    start_.assign(n + 1, 0);
    for (std::uint32_t node = 0; node < n; ++node) start_[node + 1] = start_[node] + graph.joined(node).size();
    list_.resize(start_[n]);
    for (std::uint32_t node = 0; node < n; ++node) {
        for (std::uint32_t l : graph.links_from(node)) {
            const std::uint32_t o = graph.link_to(l);
            if (low_direct[o] == kNone) low_direct[o] = l;
            high_direct[o] = l;
        }
        RankedNeighbour* out = list_.data() + start_[node];
        for (std::uint32_t o : graph.joined(node)) {
            std::uint32_t rank;
            if (rule == TieRule::kFirstWins) {
                const std::uint32_t a = high_from[o], b = high_direct[o];
                rank = a == kNone ? b : b == kNone ? a : std::max(a, b);
            } else {
                rank = last_link - std::min(low_from[o], low_direct[o]);
            }
            *out++ = {o, rank};
        }
        for (std::uint32_t l : graph.links_from(node))
            low_direct[graph.link_to(l)] = high_direct[graph.link_to(l)] = kNone;
        std::sort(list_.begin() + start_[node], list_.begin() + start_[node + 1],
                  [](const RankedNeighbour& a, const RankedNeighbour& b) { return a.rank > b.rank; });
    }
}

RankedNeighbours::RankedNeighbours(const RankedNeighbours& whole, std::span<const std::uint32_t> nodes,
                                   const std::vector<std::uint32_t>& local_of) {
    start_.assign(nodes.size() + 1, 0);
    for (std::uint32_t i = 0; i < nodes.size(); ++i) {
        for (const RankedNeighbour& r : whole.of(nodes[i])) {
            if (local_of[r.node] != kOutside) list_.push_back({local_of[r.node], r.rank});
        }
        start_[i + 1] = static_cast<std::uint32_t>(list_.size());
    }
}

std::uint32_t RankedNeighbours::rank(std::uint32_t node, std::uint32_t neighbour) const {
    for (const RankedNeighbour& r : of(node)) {
        if (r.node == neighbour) return r.rank;
    }
    return 0;
}

}  // namespace vorn

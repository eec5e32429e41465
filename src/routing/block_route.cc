#include "routing/block_route.h"

#include <algorithm>

#include "routing/path_blocks.h"
#include "routing/pruned_search.h"
#include "routing/simple_path_reach.h"

namespace vorn {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;
// Near-tied sub-routes kept per block, and chains kept per block boundary,
// before the search falls back to the whole graph.
constexpr std::size_t kNearCap = 64;

// The kept sub-routes of every block, each without its block's entry:
// sub-route r holds nodes[start[r], start[r + 1]) and lies in block[r];
// block i's sub-routes are [first[i], first[i + 1]).
struct SubRoutes {
    std::vector<std::uint32_t> start{0};
    std::vector<std::uint32_t> nodes;
    std::vector<std::uint32_t> block;
    std::vector<std::uint32_t> first{0};

    std::size_t length(std::uint32_t r) const { return start[r + 1] - start[r]; }
    std::uint32_t node(std::uint32_t r, std::size_t i) const { return nodes[start[r] + i]; }
    // Adds the sub-route whose nodes are global_of[*k] for k in [begin, end).
    void add(std::uint32_t in_block, const std::uint32_t* begin, const std::uint32_t* end,
             const std::uint32_t* global_of) {
        for (const std::uint32_t* k = begin; k != end; ++k) nodes.push_back(global_of[*k]);
        start.push_back(static_cast<std::uint32_t>(nodes.size()));
        block.push_back(in_block);
    }
};

// Searches the blocks one at a time, each on a renumbered copy of its part
// of the graph, so that a block costs its own size.
class BlockSolver {
public:
    BlockSolver(const SearchGraph& graph, const std::vector<double>& values, BoundMargin margin, double slack)
        : graph_(graph),
          values_(values),
          margin_(margin),
          slack_(slack),
          ranked_(graph, TieRule::kLastWins),
          local_of_(graph.node_count(), RankedNeighbours::kOutside) {}

    const RankedNeighbours& ranked() const { return ranked_; }

    // Adds block i's kept sub-routes; false when they overflow the cap.
    bool solve(const PathBlocks& blocks, std::uint32_t i, SubRoutes& out, const StopCheck& stop) {
        const auto nodes = blocks.nodes_of(i);
        const std::uint32_t exit = blocks.exit[i];
        if (nodes.size() == 2) {  // a single link: one sub-route
            const std::uint32_t self = 0;
            out.add(i, &self, &self + 1, &exit);
            return true;
        }
        for (std::uint32_t k = 0; k < nodes.size(); ++k) local_of_[nodes[k]] = k;
        Adjacency joined;
        std::vector<double> values(nodes.size());
        for (std::uint32_t k = 0; k < nodes.size(); ++k) {
            for (std::uint32_t other : graph_.joined(nodes[k])) {
                if (local_of_[other] != RankedNeighbours::kOutside) joined.list.push_back(local_of_[other]);
            }
            joined.start.push_back(static_cast<std::uint32_t>(joined.list.size()));
            values[k] = values_[nodes[k]];
        }
        RankedNeighbours neighbours(ranked_, nodes, local_of_);
        const std::uint32_t entry = local_of_[blocks.entry[i]], local_exit = local_of_[exit];
        for (std::uint32_t node : nodes) local_of_[node] = RankedNeighbours::kOutside;
        stop.poll();

        most_valuable_first(neighbours, values);
        SimplePathReach reach(joined, values, local_exit, margin_);
        PrunedSearch<SimplePathReach> search(neighbours, values, entry, local_exit, reach);
        if (slack_ > 0.0) search.keep_near(slack_, kNearCap);
        const std::optional<std::vector<std::uint32_t>> best = search.run(stop);
        if (!best) return false;  // overflowed (a block always has a sub-route)
        // Every route found starts at the entry, which the sub-routes leave out.
        if (slack_ == 0.0) {
            out.add(i, best->data() + 1, best->data() + best->size(), nodes.data());
        } else {
            for (const auto& near : search.near()) {
                const std::uint32_t* begin = search.near_nodes().data() + near.offset;
                out.add(i, begin + 1, begin + near.length, nodes.data());
            }
        }
        return true;
    }

private:
    const SearchGraph& graph_;
    const std::vector<double>& values_;
    const BoundMargin margin_;
    const double slack_;
    const RankedNeighbours ranked_;
    std::vector<std::uint32_t> local_of_;
};

// A chain of sub-routes through the first blocks: its last sub-route and the
// chain before it (an index into the chain tree).
struct Chain {
    double score;
    std::uint32_t parent;
    std::uint32_t sub;
};

class ChainTree {
public:
    ChainTree(const PathBlocks& blocks, const SubRoutes& subs, const RankedNeighbours& ranked)
        : blocks_(blocks), subs_(subs), ranked_(ranked) {
        chains_.push_back({0.0, kNone, kNone});
    }

    const Chain& operator[](std::uint32_t c) const { return chains_[c]; }
    std::uint32_t add(const Chain& chain) {
        chains_.push_back(chain);
        return static_cast<std::uint32_t>(chains_.size() - 1);
    }

    // Whether chain `a` (not yet added) lies later in candidate order than
    // chain `b`, both through the same blocks.
    bool later(const Chain& a, const Chain& b) const {
        if (a.parent == b.parent && a.sub == b.sub) return false;  // one chain
        std::uint32_t sa = a.sub, sb = b.sub;
        for (std::uint32_t pa = a.parent, pb = b.parent; pa != pb; pa = chains_[pa].parent, pb = chains_[pb].parent) {
            sa = chains_[pa].sub;  // the earliest block where they differ so far
            sb = chains_[pb].sub;
        }
        return later_sub(sa, sb);
    }

private:
    // Two different sub-routes of one block: the one ranking higher at the
    // first step where they part.
    bool later_sub(std::uint32_t x, std::uint32_t y) const {
        std::uint32_t previous = blocks_.entry[subs_.block[x]];
        for (std::size_t k = 0;; ++k) {
            const std::uint32_t u = subs_.node(x, k), v = subs_.node(y, k);
            if (u != v) return ranked_.rank(previous, u) > ranked_.rank(previous, v);
            previous = u;
        }
    }

    const PathBlocks& blocks_;
    const SubRoutes& subs_;
    const RankedNeighbours& ranked_;
    std::vector<Chain> chains_;
};

}  // namespace

void most_valuable_first(RankedNeighbours& neighbours, const std::vector<double>& values) {
    neighbours.reorder([&](std::uint32_t, const RankedNeighbour& a, const RankedNeighbour& b) {
        return values[a.node] != values[b.node] ? values[a.node] > values[b.node] : a.rank > b.rank;
    });
}

BlockRoute highest_sum_by_blocks(const SearchGraph& graph, const std::vector<double>& values, BoundMargin margin,
                                 const StopCheck& stop) {
    const PathBlocks blocks = path_blocks(graph.joined_lists(), graph.from(), graph.to(), stop);
    if (blocks.count() == 0) return {true, std::nullopt};
    double total = 0.0;
    for (std::uint32_t node : blocks.nodes) total += values[node];
    const double slack = 4.0 * margin.relative * total * (1.0 + margin.relative);

    BlockSolver solver(graph, values, margin, slack);
    SubRoutes subs;
    for (std::uint32_t i = 0; i < blocks.count(); ++i) {
        if (!solver.solve(blocks, i, subs, stop)) return {};
        subs.first.push_back(static_cast<std::uint32_t>(subs.block.size()));
    }

    ChainTree tree(blocks, subs, solver.ranked());
    std::vector<std::uint32_t> live{0};
    std::vector<Chain> grown;
    for (std::uint32_t i = 0; i < blocks.count(); ++i) {
        stop.poll();
        grown.clear();
        for (std::uint32_t c : live) {
            for (std::uint32_t r = subs.first[i]; r < subs.first[i + 1]; ++r) {
                double score = tree[c].score;
                for (std::size_t k = 0; k < subs.length(r); ++k) score += values[subs.node(r, k)];
                grown.push_back({score, c, r});
            }
        }
        live.clear();
        if (grown.size() == 1) {
            live.push_back(tree.add(grown.front()));
            continue;
        }
        // Best score first; of equal scores, the chain latest in candidate order.
        std::sort(grown.begin(), grown.end(), [&](const Chain& a, const Chain& b) {
            return a.score != b.score ? a.score > b.score : tree.later(a, b);
        });
        const double threshold = grown.front().score - slack;
        for (std::size_t k = 0; k < grown.size() && grown[k].score >= threshold; ++k) {
            if (k > 0 && grown[k].score == grown[k - 1].score) continue;
            live.push_back(tree.add(grown[k]));
        }
        if (live.size() > kNearCap) return {};
    }

    // The live chains have distinct scores, best first.
    std::vector<std::uint32_t> chosen;
    for (std::uint32_t c = live.front(); tree[c].parent != kNone; c = tree[c].parent) chosen.push_back(tree[c].sub);
    std::vector<std::uint32_t> path{graph.from()};
    for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) {
        for (std::size_t k = 0; k < subs.length(*it); ++k) path.push_back(subs.node(*it, k));
    }
    return {true, std::move(path)};
}

}  // namespace vorn

#include "routing/block_route.h"

#include <algorithm>
#include <functional>

#include "routing/frontier_links.h"
#include "routing/long_path_seed.h"
#include "routing/path_blocks.h"
#include "routing/pruned_search.h"
#include "routing/remembering_reach.h"
#include "routing/simple_path_reach.h"
#include "routing/subset_routes.h"
#include "routing/adjacency.h"

namespace vorn {
namespace {

// Near-tied sub-routes kept per block, and chains kept per block boundary,
// before the search falls back to the whole graph.
constexpr std::size_t kNearCap = 64;

// The kept sub-routes of every block, each without its block's entry:
// sub-route r holds nodes[start[r], start[r + 1]) and lies in block[r].
struct SubRoutes {
    std::vector<std::uint32_t> start{0};
    std::vector<std::uint32_t> nodes;
    std::vector<std::uint32_t> block;

    std::size_t length(std::uint32_t r) const { return start[r + 1] - start[r]; }
    std::uint32_t node(std::uint32_t r, std::size_t i) const { return nodes[start[r] + i]; }
    // Adds the sub-route whose nodes are global_of[*k] for k in [begin, end).
    std::uint32_t add(std::uint32_t in_block, const std::uint32_t* begin, const std::uint32_t* end,
                      const std::uint32_t* global_of) {
        for (const std::uint32_t* k = begin; k != end; ++k) nodes.push_back(global_of[*k]);
        start.push_back(static_cast<std::uint32_t>(nodes.size()));
        block.push_back(in_block);
        return static_cast<std::uint32_t>(block.size() - 1);
    }
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
        chains_.push_back({0.0, kNoIndex, kNoIndex});
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

// Extends the live chains through the blocks one at a time, each block
// searched on a renumbered copy of its part of the graph so that it costs its
// own size: single links directly, small or dense blocks by subset
// (subset_routes.h), the others by branch and bound for their sub-routes
// within the slack of the best.
class BlockSolver {
public:
    BlockSolver(const SearchGraph& graph, const std::vector<double>& values, BoundMargin margin, double slack,
                const PathBlocks& blocks, SubsetRule subset, FrontierRule frontier)
        : graph_(graph),
          values_(values),
          margin_(margin),
          slack_(slack),
          blocks_(blocks),
          subset_(subset),
          frontier_(frontier),
          ranked_(graph, TieRule::kLastWins),
          tree_(blocks, subs_, ranked_),
          local_of_(graph.node_count(), RankedNeighbours::kOutside),
          later_chain_([this](std::uint32_t a, std::uint32_t b) { return tree_.later(tree_[a], tree_[b]); }) {}

    // The chosen route, or none when some block kept too many near ties.
    std::optional<std::vector<std::uint32_t>> run(const StopCheck& stop) {
        std::vector<std::uint32_t> live{0};
        for (std::uint32_t i = 0; i < blocks_.count(); ++i) {
            stop.poll();
            grown_.clear();
            if (!grow(i, live, stop) || !keep_best(live)) return std::nullopt;
        }
        // The live chains have distinct scores, best first.
        std::vector<std::uint32_t> chosen;
        for (std::uint32_t c = live.front(); tree_[c].parent != kNoIndex; c = tree_[c].parent)
            chosen.push_back(tree_[c].sub);
        std::vector<std::uint32_t> path{graph_.from()};
        for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) {
            for (std::size_t k = 0; k < subs_.length(*it); ++k) path.push_back(subs_.node(*it, k));
        }
        return path;
    }

private:
    // Every extension of the live chains through block i that may be chosen.
    bool grow(std::uint32_t i, const std::vector<std::uint32_t>& live, const StopCheck& stop) {
        const auto nodes = blocks_.nodes_of(i);
        if (nodes.size() == 2) {  // a single link: one sub-route
            const std::uint32_t self = 0;
            append_to_all(live, subs_.add(i, &self, &self + 1, &blocks_.exit[i]));
            return true;
        }
        for (std::uint32_t k = 0; k < nodes.size(); ++k) local_of_[nodes[k]] = k;
        RankedNeighbours neighbours(ranked_, nodes, local_of_);
        std::vector<double> values(nodes.size());
        for (std::uint32_t k = 0; k < nodes.size(); ++k) values[k] = values_[nodes[k]];
        const std::uint32_t entry = local_of_[blocks_.entry[i]], exit = local_of_[blocks_.exit[i]];
        std::size_t ends = 0;  // twice the links within the block
        for (std::uint32_t k = 0; k < nodes.size(); ++k) ends += neighbours.of(k).size();
        const bool by_subset = subset_.applies(nodes.size(), ends / 2);
        Adjacency joined;
        if (!by_subset) {
            for (std::uint32_t node : nodes) {
                for (std::uint32_t other : graph_.joined(node)) {
                    if (local_of_[other] != RankedNeighbours::kOutside) joined.list.push_back(local_of_[other]);
                }
                joined.start.push_back(static_cast<std::uint32_t>(joined.list.size()));
            }
        }
        for (std::uint32_t node : nodes) local_of_[node] = RankedNeighbours::kOutside;
        stop.poll();

        if (by_subset) {
            starts_.clear();
            for (std::uint32_t c : live) starts_.push_back({tree_[c].score, c});
            const SubsetResult found =
                subset_routes(neighbours, values, entry, exit, starts_, later_chain_, slack_, kNearCap, stop);
            if (found.overflowed) return false;
            for (const ChainEnd& end : found.ends) {
                const std::uint32_t* begin = found.nodes.data() + end.offset;
                grown_.push_back({end.score, end.chain, subs_.add(i, begin, begin + end.length, nodes.data())});
            }
            return true;
        }

        if (nodes.size() >= frontier_.min_nodes) narrow(joined, neighbours, values, entry, exit, stop);
        // A search that keeps near ties looks at good routes first; one that
        // settles ties itself keeps candidate order, so that it may cut
        // dominated visits (remembering_reach.h).
        const bool by_rank = !keeping_near();
        if (!by_rank) most_valuable_first(neighbours, values);
        const std::vector<std::uint32_t> seed = long_path_seed(joined, neighbours, values, entry, exit, stop);
        if (nodes.size() <= RememberingReach<1>::kNodeLimit)
            return remembering<1>(i, live, joined, neighbours, values, entry, exit, seed, by_rank, stop);
        if (nodes.size() <= RememberingReach<4>::kNodeLimit)
            return remembering<4>(i, live, joined, neighbours, values, entry, exit, seed, by_rank, stop);
        if (nodes.size() <= RememberingReach<16>::kNodeLimit)
            return remembering<16>(i, live, joined, neighbours, values, entry, exit, seed, by_rank, stop);
        SimplePathReach reach(joined, values, exit, margin_);
        return add_near(i, live, PrunedSearch<SimplePathReach>(neighbours, values, entry, exit, reach), seed, stop);
    }

    // The branch and bound of block i remembering continuations in states of
    // 64 x Words nodes.
    template <std::size_t Words>
    bool remembering(std::uint32_t i, const std::vector<std::uint32_t>& live, const Adjacency& joined,
                     const RankedNeighbours& neighbours, const std::vector<double>& values, std::uint32_t entry,
                     std::uint32_t exit, const std::vector<std::uint32_t>& seed, bool by_rank, const StopCheck& stop) {
        RememberingReach<Words> reach(joined, values, exit, margin_, slack_);
        if (by_rank) reach.cut_dominated();
        return add_near(i, live, PrunedSearch<RememberingReach<Words>>(neighbours, values, entry, exit, reach), seed,
                        stop);
    }

    // A lone block's best sub-route is the route: nothing after it can
    // settle a near tie, so its search decides ties itself.
    bool keeping_near() const { return slack_ > 0.0 && blocks_.count() > 1; }

    // Drops the block's links that no sub-route the search may keep can use
    // (frontier_links.h), when the block's frontier stays small enough. A
    // kept sub-route scores within the slack of the block's best (none when
    // ties are settled here); the pass sums in another order, which can move
    // a score by up to `error` from the search's sum and the best by as much,
    // so links within the slack plus a few times that are kept.
    void narrow(Adjacency& joined, RankedNeighbours& neighbours, const std::vector<double>& values, std::uint32_t entry,
                std::uint32_t exit, const StopCheck& stop) const {
        double total = 0.0;
        for (double value : values) total += value;
        const double error = margin_.relative * total * (1.0 + margin_.relative) + margin_.absolute;
        const double within = (keeping_near() ? slack_ : 0.0) + 8.0 * error;
        const std::optional<std::vector<char>> useful =
            frontier_links(joined, values, entry, exit, within, frontier_, stop);
        if (!useful) return;
        Adjacency kept;
        for (std::uint32_t node = 0; node < joined.node_count(); ++node) {
            for (std::uint32_t k = joined.start[node]; k < joined.start[node + 1]; ++k) {
                if ((*useful)[k]) kept.list.push_back(joined.list[k]);
            }
            kept.start.push_back(static_cast<std::uint32_t>(kept.list.size()));
        }
        neighbours.keep_only([&](std::uint32_t node, std::uint32_t other) {
            const auto list = kept.of(node);
            return std::find(list.begin(), list.end(), other) != list.end();
        });
        joined = std::move(kept);
    }

    // Runs a block's branch and bound from the seed route and extends the
    // live chains by the sub-routes it keeps.
    template <class Search>
    bool add_near(std::uint32_t i, const std::vector<std::uint32_t>& live, Search&& search,
                  const std::vector<std::uint32_t>& seed, const StopCheck& stop) {
        const auto nodes = blocks_.nodes_of(i);
        const bool keeping_near = this->keeping_near();
        if (keeping_near) search.keep_near(slack_, kNearCap);
        if (!seed.empty()) search.seed(seed);
        const std::optional<std::vector<std::uint32_t>> best = search.run(stop);
        if (!best) return false;  // overflowed (a block always has a sub-route)
        // Every route found starts at the entry, which the sub-routes leave out.
        if (!keeping_near) {
            append_to_all(live, subs_.add(i, best->data() + 1, best->data() + best->size(), nodes.data()));
        } else {
            for (const auto& near : search.near()) {
                const std::uint32_t* begin = search.near_nodes().data() + near.offset;
                append_to_all(live, subs_.add(i, begin + 1, begin + near.length, nodes.data()));
            }
        }
        return true;
    }

    void append_to_all(const std::vector<std::uint32_t>& live, std::uint32_t sub) {
        for (std::uint32_t c : live) {
            double score = tree_[c].score;
            for (std::size_t k = 0; k < subs_.length(sub); ++k) score += values_[subs_.node(sub, k)];
            grown_.push_back({score, c, sub});
        }
    }

    // Makes the grown chains that may still be chosen live, best first;
    // false when more than kNearCap stay.
    bool keep_best(std::vector<std::uint32_t>& live) {
        live.clear();
        if (grown_.size() == 1) {
            live.push_back(tree_.add(grown_.front()));
            return true;
        }
        // Best score first; of equal scores, the chain latest in candidate order.
        std::sort(grown_.begin(), grown_.end(), [&](const Chain& a, const Chain& b) {
            return a.score != b.score ? a.score > b.score : tree_.later(a, b);
        });
        const double threshold = grown_.front().score - slack_;
        for (std::size_t k = 0; k < grown_.size() && grown_[k].score >= threshold; ++k) {
            if (k > 0 && grown_[k].score == grown_[k - 1].score) continue;
            live.push_back(tree_.add(grown_[k]));
        }
        return live.size() <= kNearCap;
    }

    const SearchGraph& graph_;
    const std::vector<double>& values_;
    const BoundMargin margin_;
    const double slack_;
    const PathBlocks& blocks_;
    const SubsetRule subset_;
    const FrontierRule frontier_;
    const RankedNeighbours ranked_;
    SubRoutes subs_;
    ChainTree tree_;
    std::vector<std::uint32_t> local_of_;
    std::vector<Chain> grown_;
    std::vector<ChainStart> starts_;
    const std::function<bool(std::uint32_t, std::uint32_t)> later_chain_;
};

}  // namespace

void most_valuable_first(RankedNeighbours& neighbours, const std::vector<double>& values) {
    neighbours.reorder([&](std::uint32_t, const RankedNeighbour& a, const RankedNeighbour& b) {
        return values[a.node] != values[b.node] ? values[a.node] > values[b.node] : a.rank > b.rank;
    });
}

BlockRoute highest_sum_by_blocks(const SearchGraph& graph, const std::vector<double>& values, BoundMargin margin,
                                 const StopCheck& stop, SubsetRule subset, FrontierRule frontier) {
    const PathBlocks blocks = path_blocks(graph.joined_lists(), graph.from(), graph.to(), stop);
    if (blocks.count() == 0) return {true, std::nullopt};
    double total = 0.0;
    for (std::uint32_t node : blocks.nodes) total += values[node];
    const double slack = 4.0 * margin.relative * total * (1.0 + margin.relative);
    BlockSolver solver(graph, values, margin, slack, blocks, subset, frontier);
    std::optional<std::vector<std::uint32_t>> path = solver.run(stop);
    if (!path) return {};
    return {true, std::move(path)};
}

}  // namespace vorn

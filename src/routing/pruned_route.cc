#include "routing/pruned_route.h"

#include <algorithm>
#include <cmath>

#include "routing/best_to_target.h"
#include "routing/block_route.h"
#include "routing/pruned_search.h"
#include "routing/remembering_reach.h"
#include "routing/ranked_neighbours.h"
#include "routing/long_path_seed.h"
#include "routing/simple_path_reach.h"
#include "routing/value_domain.h"

namespace vorn {
namespace {

// The path a BestToTarget table leads along from `from`.
std::vector<std::uint32_t> follow(const BestToTarget& best, std::uint32_t from) {
    std::vector<std::uint32_t> path{from};
    while (best.next[path.back()] != BestToTarget::kNone) path.push_back(best.next[path.back()]);
    return path;
}

struct LowestSumBound {
    static constexpr bool kLowest = true;
    static constexpr bool kMultiply = false;
    const BestToTarget& best;
    BoundMargin margin;

    bool usable(std::uint32_t) const { return true; }
    bool enter(std::uint32_t node, double score, double& bound) const {
        if (!best.reaches[node]) return false;
        bound = (score + best.value[node]) * (1.0 - margin.relative);
        return true;
    }
    void leave(std::uint32_t) const {}
};

// `best` holds the largest products of the values capped at 1; the values
// above 1 that a route can still meet multiply it by at most `growth`.
struct HighestProductBound {
    static constexpr bool kLowest = false;
    static constexpr bool kMultiply = true;
    const BestToTarget& best;
    BoundMargin margin;
    double growth = 1.0;

    bool usable(std::uint32_t) const { return true; }
    bool enter(std::uint32_t node, double score, double& bound) const {
        if (!best.reaches[node]) return false;
        bound = score * best.value[node] * growth * (1.0 + margin.relative) + margin.absolute;
        return true;
    }
    void leave(std::uint32_t) const {}
};

template <class Bound>
std::optional<std::vector<std::uint32_t>> search_from_best(const SearchGraph& graph, const std::vector<double>& values,
                                                           Bound bound, TieRule rule, const StopCheck& stop) {
    const BestToTarget& best = bound.best;
    if (!best.reaches[graph.from()]) return std::nullopt;
    const RankedNeighbours neighbours(graph, rule);
    PrunedSearch<Bound> search(neighbours, values, graph.from(), graph.to(), bound);
    search.seed(follow(best, graph.from()));
    return search.run(stop);
}

// The whole graph's largest-sum search in candidate order, remembering
// continuations in states of 64 x Words nodes and cutting dominated visits.
template <std::size_t Words>
std::optional<std::vector<std::uint32_t>> remembering_search(const SearchGraph& graph,
                                                             const RankedNeighbours& neighbours,
                                                             const std::vector<double>& values,
                                                             const std::vector<std::uint32_t>& reachable,
                                                             BoundMargin margin, const std::vector<std::uint32_t>& seed,
                                                             const StopCheck& stop) {
    // Pads the remembered gains by the rounding of both scores compared.
    double total = 0.0;
    for (std::uint32_t node : reachable) total += values[node];
    RememberingReach<Words> reach(graph.joined_lists(), values, graph.to(), margin,
                                  4.0 * margin.relative * total * (1.0 + margin.relative));
    reach.cut_dominated();
    PrunedSearch<RememberingReach<Words>> search(neighbours, values, graph.from(), graph.to(), reach);
    if (!seed.empty()) search.seed(seed);
    return search.run(stop);
}

}  // namespace

PrunedRoute pruned_route(const SearchGraph& graph, const std::vector<double>& values, RouteObjective objective,
                         const StopCheck& stop) {
    const std::vector<std::uint32_t> reachable = joined_component(graph, graph.from());
    if (objective == RouteObjective::kLowestLatency) {
        if (!sums_bounded(values, reachable)) return {};
        const BestToTarget best = lowest_sums_to(graph, values, graph.to(), stop);
        return {true, search_from_best(graph, values, LowestSumBound{best, sum_margin(values, reachable)},
                                       TieRule::kFirstWins, stop)};
    }
    if (objective == RouteObjective::kHighestFidelity) {
        if (!products_bounded(values, reachable)) return {};
        // Any product is at most the product of its values capped at 1 times
        // every value above 1 it could meet.
        std::vector<double> capped(values);
        for (double& value : capped) value = std::min(value, 1.0);
        const BestToTarget best = highest_products_to(graph, capped, graph.to(), stop);
        const HighestProductBound bound{best, product_margin(values, reachable), product_growth(values, reachable)};
        return {true, search_from_best(graph, values, bound, TieRule::kLastWins, stop)};
    }
    if (!sums_bounded(values, reachable)) return {};
    const BoundMargin margin = sum_margin(values, reachable);
    BlockRoute by_blocks = highest_sum_by_blocks(graph, values, margin, stop);
    if (by_blocks.decided) return {true, std::move(by_blocks.path)};
    // Too many near ties between blocks: search the whole graph at once, in
    // candidate order, which lets it cut dominated visits.
    const RankedNeighbours neighbours(graph, TieRule::kLastWins);
    const std::vector<std::uint32_t> seed =
        long_path_seed(graph.joined_lists(), neighbours, values, graph.from(), graph.to(), stop);
    if (graph.node_count() <= RememberingReach<4>::kNodeLimit)
        return {true, remembering_search<4>(graph, neighbours, values, reachable, margin, seed, stop)};
    if (graph.node_count() <= RememberingReach<16>::kNodeLimit)
        return {true, remembering_search<16>(graph, neighbours, values, reachable, margin, seed, stop)};
    SimplePathReach reach(graph.joined_lists(), values, graph.to(), margin);
    PrunedSearch<SimplePathReach> search(neighbours, values, graph.from(), graph.to(), reach);
    if (!seed.empty()) search.seed(seed);
    return {true, search.run(stop)};
}

}  // namespace vorn

#include "routing/best_to_target.h"

#include <cmath>
#include <functional>
#include <queue>
#include <utility>

namespace vorn {
namespace {

// `extend(v, best)` is the value of stepping to a node of value v from a node
// whose best is `best`; `better` orders values; both must be monotone so the
// settled values only get worse, which keeps Dijkstra exact under rounding.
template <class Better, class Extend>
BestToTarget best_paths(const SearchGraph& graph, const std::vector<double>& values, std::uint32_t target,
                        double unreached, double at_target, Better better, Extend extend, const StopCheck& stop) {
    const std::size_t n = graph.node_count();
    BestToTarget result{std::vector<double>(n, unreached), std::vector<std::uint32_t>(n, BestToTarget::kNone),
                        std::vector<char>(n, 0)};
    using Entry = std::pair<double, std::uint32_t>;
    auto worse_first = [&](const Entry& a, const Entry& b) { return better(b.first, a.first); };
    std::vector<Entry> storage;
    storage.reserve(n);
    std::priority_queue<Entry, std::vector<Entry>, decltype(worse_first)> queue(worse_first, std::move(storage));
    std::vector<char> settled(n, 0);
    result.value[target] = at_target;
    result.reaches[target] = 1;
    queue.push({at_target, target});
    while (!queue.empty()) {
        stop.poll();
        const auto [best, node] = queue.top();
        queue.pop();
        if (settled[node]) continue;
        settled[node] = 1;
        const double through = extend(values[node], best);
        for (std::uint32_t other : graph.joined(node)) {
            if (settled[other] || (result.reaches[other] && !better(through, result.value[other]))) continue;
            result.value[other] = through;
            result.next[other] = node;
            result.reaches[other] = 1;
            queue.push({through, other});
        }
    }
    return result;
}

}  // namespace

BestToTarget lowest_sums_to(const SearchGraph& graph, const std::vector<double>& values, std::uint32_t target,
                            const StopCheck& stop) {
    return best_paths(
        graph, values, target, INFINITY, 0.0, std::less<double>(), [](double v, double best) { return v + best; },
        stop);
}

BestToTarget highest_products_to(const SearchGraph& graph, const std::vector<double>& values, std::uint32_t target,
                                 const StopCheck& stop) {
    return best_paths(
        graph, values, target, 0.0, 1.0, std::greater<double>(), [](double v, double best) { return v * best; }, stop);
}

}  // namespace vorn

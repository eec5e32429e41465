#include "routing/long_path_seed.h"

#include <algorithm>
#include <cstddef>
#include <deque>

#include "routing/adjacency.h"
#include "routing/simple_path_reach.h"

namespace vorn {
namespace {

class SeedImprover {
public:
    SeedImprover(const RankedNeighbours& neighbours, const std::vector<double>& values, std::size_t n)
        : neighbours_(neighbours), values_(values), on_path_(n, 0), mark_(n, 0) {}

    std::vector<std::uint32_t> fewest_hops(std::uint32_t from, std::uint32_t to) {
        std::vector<std::uint32_t> previous(on_path_.size(), kNoIndex);
        std::deque<std::uint32_t> queue{from};
        previous[from] = from;
        while (!queue.empty() && previous[to] == kNoIndex) {
            const std::uint32_t x = queue.front();
            queue.pop_front();
            for (const RankedNeighbour& step : neighbours_.of(x)) {
                if (previous[step.node] != kNoIndex) continue;
                previous[step.node] = x;
                queue.push_back(step.node);
            }
        }
        std::vector<std::uint32_t> path;
        if (previous[to] == kNoIndex) return path;
        for (std::uint32_t x = to; x != from; x = previous[x]) path.push_back(x);
        path.push_back(from);
        std::reverse(path.begin(), path.end());
        return path;
    }

    // One pass over the path; true when some move added value.
    bool improve(std::vector<std::uint32_t>& path) {
        for (std::uint32_t x : path) on_path_[x] = 1;
        bool changed = false;
        for (std::size_t i = 0; i + 1 < path.size(); ++i) {
            if (detour(path, i) || swap(path, i)) changed = true;
        }
        for (std::uint32_t x : path) on_path_[x] = 0;
        return changed;
    }

private:
    void mark_neighbours(std::uint32_t node) {
        ++stamp_;
        for (const RankedNeighbour& step : neighbours_.of(node)) mark_[step.node] = stamp_;
    }
    bool free(std::uint32_t node) const { return !on_path_[node]; }

    // Inserts between path[i] and path[i + 1] the most valuable free node,
    // or else free pair, joined to both.
    bool detour(std::vector<std::uint32_t>& path, std::size_t i) {
        const std::uint32_t a = path[i], b = path[i + 1];
        mark_neighbours(b);
        std::uint32_t one = kNoIndex, first = kNoIndex, second = kNoIndex;
        double best_one = -1.0, best_two = -1.0;
        for (const RankedNeighbour& s : neighbours_.of(a)) {
            const std::uint32_t w = s.node;
            if (!free(w)) continue;
            if (mark_[w] == stamp_ && values_[w] > best_one) {
                best_one = values_[w];
                one = w;
            }
            for (const RankedNeighbour& t : neighbours_.of(w)) {
                const std::uint32_t u = t.node;
                if (u == a || !free(u) || mark_[u] != stamp_) continue;
                if (values_[w] + values_[u] > best_two) {
                    best_two = values_[w] + values_[u];
                    first = w;
                    second = u;
                }
            }
        }
        if (first != kNoIndex && best_two >= best_one) {
            path.insert(path.begin() + static_cast<std::ptrdiff_t>(i) + 1, {first, second});
            on_path_[first] = on_path_[second] = 1;
            return true;
        }
        if (one == kNoIndex) return false;
        path.insert(path.begin() + static_cast<std::ptrdiff_t>(i) + 1, one);
        on_path_[one] = 1;
        return true;
    }

    // Replaces path[i + 1] (not the target) by a free pair worth more.
    bool swap(std::vector<std::uint32_t>& path, std::size_t i) {
        if (i + 2 >= path.size()) return false;
        const std::uint32_t a = path[i], middle = path[i + 1], c = path[i + 2];
        mark_neighbours(c);
        std::uint32_t first = kNoIndex, second = kNoIndex;
        double best = values_[middle];
        for (const RankedNeighbour& s : neighbours_.of(a)) {
            const std::uint32_t w = s.node;
            if (!free(w)) continue;
            for (const RankedNeighbour& t : neighbours_.of(w)) {
                const std::uint32_t u = t.node;
                if (u == a || !free(u) || mark_[u] != stamp_) continue;
                if (values_[w] + values_[u] > best) {
                    best = values_[w] + values_[u];
                    first = w;
                    second = u;
                }
            }
        }
        if (first == kNoIndex) return false;
        on_path_[middle] = 0;
        path[i + 1] = first;
        path.insert(path.begin() + static_cast<std::ptrdiff_t>(i) + 2, second);
        on_path_[first] = on_path_[second] = 1;
        return true;
    }

    const RankedNeighbours& neighbours_;
    const std::vector<double>& values_;
    std::vector<char> on_path_;
    std::vector<std::uint32_t> mark_;
    std::uint32_t stamp_ = 0;
};

// Steps each time to the neighbour that keeps the most value within reach
// (ties: the one with fewer neighbours left), until the target.
std::vector<std::uint32_t> greedy_walk(const Adjacency& joined, const RankedNeighbours& neighbours,
                                       const std::vector<double>& values, std::uint32_t from, std::uint32_t to,
                                       const StopCheck& stop) {
    SimplePathReach reach(joined, values, to, BoundMargin{});
    std::vector<std::uint32_t> path{from};
    double score = 0.0, bound = 0.0;
    if (!reach.enter(from, score, bound)) return {};
    while (path.back() != to) {
        stop.poll();
        std::uint32_t best = kNoIndex;
        double best_bound = -1.0;
        std::size_t best_left = 0;
        for (const RankedNeighbour& step : neighbours.of(path.back())) {
            const std::uint32_t w = step.node;
            if (!reach.usable(w)) continue;
            const bool entered = reach.enter(w, score + values[w], bound);
            const std::size_t left = reach.usable_nodes().size();
            reach.leave(w);
            if (!entered) continue;
            if (bound > best_bound || (bound == best_bound && left < best_left)) {
                best = w;
                best_bound = bound;
                best_left = left;
            }
        }
        if (best == kNoIndex) return {};  // a broken invariant: the target is always within reach
        score += values[best];
        reach.enter(best, score, bound);
        path.push_back(best);
    }
    return path;
}

}  // namespace

std::vector<std::uint32_t> long_path_seed(const Adjacency& joined, const RankedNeighbours& neighbours, const std::vector<double>& values,
                                          std::uint32_t from, std::uint32_t to, const StopCheck& stop) {
    SeedImprover improver(neighbours, values, values.size());
    std::vector<std::uint32_t> path = improver.fewest_hops(from, to);
    if (path.empty()) return path;
    std::vector<std::uint32_t> walked = greedy_walk(joined, neighbours, values, from, to, stop);
    if (!walked.empty()) path = std::move(walked);
    // Each pass that changes the path adds value; the count guards against
    // moves that only trade equal values.
    for (std::size_t pass = 0; pass < values.size() && improver.improve(path); ++pass) stop.poll();
    return path;
}

}  // namespace vorn

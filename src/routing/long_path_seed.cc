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

    struct Pair {
        std::uint32_t first = kNoIndex;
        std::uint32_t second = kNoIndex;
        double value = -1.0;
    };
    // The most valuable free w, u with w joined to `a` and u to the node
    // whose neighbours are marked, worth more than `floor`.
    Pair best_free_pair(std::uint32_t a, double floor) const {
        Pair best{kNoIndex, kNoIndex, floor};
        for (const RankedNeighbour& s : neighbours_.of(a)) {
            if (!free(s.node)) continue;
            for (const RankedNeighbour& t : neighbours_.of(s.node)) {
                const std::uint32_t u = t.node;
                if (u == a || !free(u) || mark_[u] != stamp_) continue;
                if (values_[s.node] + values_[u] > best.value) best = {s.node, u, values_[s.node] + values_[u]};
            }
        }
        return best;
    }

    // Inserts between path[i] and path[i + 1] the most valuable free node
    // joined to both, or a free pair worth more.
    bool detour(std::vector<std::uint32_t>& path, std::size_t i) {
        const std::uint32_t a = path[i], b = path[i + 1];
        mark_neighbours(b);
        std::uint32_t one = kNoIndex;
        for (const RankedNeighbour& s : neighbours_.of(a)) {
            if (free(s.node) && mark_[s.node] == stamp_ && (one == kNoIndex || values_[s.node] > values_[one])) {
                one = s.node;
            }
        }
        const Pair pair = best_free_pair(a, one == kNoIndex ? -1.0 : values_[one]);
        if (pair.first != kNoIndex) {
            path.insert(path.begin() + static_cast<std::ptrdiff_t>(i) + 1, {pair.first, pair.second});
            on_path_[pair.first] = on_path_[pair.second] = 1;
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
        const std::uint32_t middle = path[i + 1];
        mark_neighbours(path[i + 2]);
        const Pair pair = best_free_pair(path[i], values_[middle]);
        if (pair.first == kNoIndex) return false;
        on_path_[middle] = 0;
        path[i + 1] = pair.first;
        path.insert(path.begin() + static_cast<std::ptrdiff_t>(i) + 2, pair.second);
        on_path_[pair.first] = on_path_[pair.second] = 1;
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

std::vector<std::uint32_t> long_path_seed(const Adjacency& joined, const RankedNeighbours& neighbours,
                                          const std::vector<double>& values, std::uint32_t from, std::uint32_t to,
                                          const StopCheck& stop) {
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

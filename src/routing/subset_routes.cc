#include "routing/subset_routes.h"
#include "routing/adjacency.h"

#include <algorithm>
#include <bit>

namespace vorn {
namespace {

// Partial routes kept at once, across all states, before the search gives up.
constexpr std::size_t kEntryLimit = std::size_t{1} << 22;

// One partial route: its score, the route it extends by one node (kNoIndex for
// a chain's start at the entry), the chain it started from, its last node,
// and the next partial route kept in the same state.
struct Entry {
    double score;
    std::uint32_t parent;
    std::uint32_t chain;
    std::uint32_t node;
    std::uint32_t next;
};

class SubsetSearch {
public:
    SubsetSearch(const RankedNeighbours& neighbours, const std::vector<double>& values, std::uint32_t entry,
                 std::uint32_t exit, const std::function<bool(std::uint32_t, std::uint32_t)>& later_chain, double slack,
                 std::size_t cap)
        : neighbours_(neighbours),
          values_(values),
          entry_(entry),
          exit_(exit),
          later_chain_(later_chain),
          slack_(slack),
          cap_(cap),
          n_(static_cast<std::uint32_t>(values.size())),
          bit_of_(n_, kNoIndex) {
        for (std::uint32_t node = 0; node < n_; ++node) {
            if (node == entry || node == exit) continue;
            bit_of_[node] = static_cast<std::uint32_t>(node_of_bit_.size());
            node_of_bit_.push_back(node);
        }
        head_.assign((std::size_t{1} << node_of_bit_.size()) * n_, kNoIndex);
        trace_a_.reserve(n_);
        trace_b_.reserve(n_);
    }

    SubsetResult run(std::span<const ChainStart> starts, const StopCheck& stop) {
        SubsetResult result;
        for (const ChainStart& start : starts) {
            if (!keep(head_[entry_], {start.score, kNoIndex, start.chain, entry_, kNoIndex})) return overflow();
        }
        const std::uint32_t masks = std::uint32_t{1} << node_of_bit_.size();
        for (std::uint32_t mask = 0; mask < masks; ++mask) {
            stop.poll();
            if (mask == 0) {
                if (!extend(mask, entry_)) return overflow();
                continue;
            }
            for (std::uint32_t rest = mask; rest != 0; rest &= rest - 1) {
                if (!extend(mask, node_of_bit_[std::countr_zero(rest)])) return overflow();
            }
        }
        for (std::uint32_t e = finals_; e != kNoIndex; e = pool_[e].next) {
            trace(e, trace_a_);
            const auto offset = static_cast<std::uint32_t>(result.nodes.size());
            result.nodes.insert(result.nodes.end(), trace_a_.begin(), trace_a_.end());
            result.ends.push_back(
                {pool_[e].score, pool_[e].chain, offset, static_cast<std::uint32_t>(trace_a_.size())});
        }
        return result;
    }

private:
    static SubsetResult overflow() { return {true, {}, {}}; }

    // Extends every partial route kept in state (mask, node) by one step.
    bool extend(std::uint32_t mask, std::uint32_t node) {
        for (std::uint32_t e = head_[key(mask, node)]; e != kNoIndex; e = pool_[e].next) {
            const Entry from = pool_[e];
            for (const RankedNeighbour& step : neighbours_.of(node)) {
                const std::uint32_t u = step.node;
                const Entry next{from.score + values_[u], e, from.chain, u, kNoIndex};
                if (u == exit_) {
                    if (!keep(finals_, next)) return false;
                } else if (u != entry_ && (mask >> bit_of_[u] & 1u) == 0) {
                    if (!keep(head_[key(mask | (1u << bit_of_[u]), u)], next)) return false;
                }
            }
        }
        return true;
    }

    std::size_t key(std::uint32_t mask, std::uint32_t node) const { return std::size_t{mask} * n_ + node; }

    // Adds a partial route to the list starting at `head` unless it can never
    // be chosen; false when the list or the pool grows past its limit.
    bool keep(std::uint32_t& head, const Entry& candidate) {
        double best = candidate.score;
        std::size_t count = 0;
        std::uint32_t same = kNoIndex;
        for (std::uint32_t e = head; e != kNoIndex; e = pool_[e].next) {
            best = std::max(best, pool_[e].score);
            if (pool_[e].score == candidate.score) same = e;
            ++count;
        }
        if (candidate.score < best - slack_) return true;
        pool_.push_back(candidate);
        const auto added = static_cast<std::uint32_t>(pool_.size() - 1);
        if (same != kNoIndex) {
            if (later(added, same)) {
                pool_[same].parent = candidate.parent;
                pool_[same].chain = candidate.chain;
            }
            pool_.pop_back();
            return true;
        }
        pool_[added].next = head;
        head = added;
        if (candidate.score == best) {  // a new best: drop what it leaves behind
            for (std::uint32_t* link = &pool_[added].next; *link != kNoIndex;) {
                if (pool_[*link].score < best - slack_) {
                    *link = pool_[*link].next;
                    --count;
                } else {
                    link = &pool_[*link].next;
                }
            }
        }
        return count + 1 <= cap_ && pool_.size() <= kEntryLimit;
    }

    // The nodes of a partial route after the entry, in route order.
    void trace(std::uint32_t e, std::vector<std::uint32_t>& out) const {
        out.clear();
        for (; pool_[e].parent != kNoIndex; e = pool_[e].parent) out.push_back(pool_[e].node);
        std::reverse(out.begin(), out.end());
    }
    std::uint32_t chain_of(std::uint32_t e) const { return pool_[e].chain; }

    // Whether partial route a lies later in candidate order than b (two
    // different routes, each a prefix of no other route to the same state).
    bool later(std::uint32_t a, std::uint32_t b) {
        if (chain_of(a) != chain_of(b)) return later_chain_(chain_of(a), chain_of(b));
        trace(a, trace_a_);
        trace(b, trace_b_);
        std::uint32_t previous = entry_;
        for (std::size_t k = 0; k < trace_a_.size() && k < trace_b_.size(); ++k) {
            if (trace_a_[k] != trace_b_[k]) {
                return neighbours_.rank(previous, trace_a_[k]) > neighbours_.rank(previous, trace_b_[k]);
            }
            previous = trace_a_[k];
        }
        return false;
    }

    const RankedNeighbours& neighbours_;
    const std::vector<double>& values_;
    const std::uint32_t entry_;
    const std::uint32_t exit_;
    const std::function<bool(std::uint32_t, std::uint32_t)>& later_chain_;
    const double slack_;
    const std::size_t cap_;
    const std::uint32_t n_;
    std::vector<std::uint32_t> bit_of_;
    std::vector<std::uint32_t> node_of_bit_;
    std::vector<std::uint32_t> head_;  // per state (mask, node), its first kept entry
    std::uint32_t finals_ = kNoIndex;     // the routes that reached the exit
    std::vector<Entry> pool_;
    std::vector<std::uint32_t> trace_a_, trace_b_;
};

}  // namespace

SubsetResult subset_routes(const RankedNeighbours& neighbours, const std::vector<double>& values, std::uint32_t entry,
                           std::uint32_t exit, std::span<const ChainStart> starts,
                           const std::function<bool(std::uint32_t, std::uint32_t)>& later_chain, double slack,
                           std::size_t cap, const StopCheck& stop) {
    SubsetSearch search(neighbours, values, entry, exit, later_chain, slack, cap);
    return search.run(starts, stop);
}

}  // namespace vorn

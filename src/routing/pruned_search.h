// Branch and bound over the candidate routes, with the exhaustive search's
// choice.
//
// The candidates are the simple paths from `from` to `to` over the joined
// adjacency. Their order in the candidate list is the order of their rank
// sequences (see ranked_neighbours.h), so the search may visit subtrees in
// any order as long as it compares places by rank where scores are equal:
// a route replaces the best found so far when its score is better, or equal
// with a greater rank where the two first part. A subtree is cut when the
// policy's bound shows that none of its routes can do that.
//
// The policy supplies the fold and the bound:
//   kLowest       true: smaller scores are better; false: larger ones.
//   kMultiply     the score is a product of hop values (else a sum).
//   usable(u)     whether u may still be stepped to (beyond not being on the path);
//   enter(u, s, b) called when the search steps to u with score s: false when
//                 no route continues from u, else the bound b on every score
//                 below u; paired with leave(u) in nesting order.
//
// A policy may also have finished(u, s, r), called just before leave(u) once
// the search is done below u (entered with score s): no route below u scores
// more than r. And dominated(), asked after enter(u) succeeds: true when no
// route below u can be chosen, none of them scoring more than
// dominated_reach().
//
// keep_near(slack, cap) makes the search also collect every route whose
// score lies within `slack` of the best score (the best and its ties
// included): subtrees are then cut only where the bound is more than `slack`
// worse than the best, and ties are not settled by place.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "common/stop_check.h"
#include "routing/ranked_neighbours.h"

namespace vorn {

template <class Policy>
class PrunedSearch {
public:
    PrunedSearch(const RankedNeighbours& neighbours, const std::vector<double>& values, std::uint32_t from,
                 std::uint32_t to, Policy& policy)
        : neighbours_(neighbours), values_(values), from_(from), to_(to), policy_(policy) {
        const std::size_t n = values.size();
        frames_.reserve(n);
        on_path_.assign(n, 0);
        path_.reserve(n + 1);
        ranks_.reserve(n + 1);
        best_path_.reserve(n + 1);
        best_ranks_.reserve(n + 1);
    }

    // Makes a known candidate the best so far (its score is folded here).
    void seed(const std::vector<std::uint32_t>& path) {
        double score = start_score();
        best_ranks_.clear();
        for (std::size_t i = 1; i < path.size(); ++i) {
            score = fold(score, values_[path[i]]);
            best_ranks_.push_back(neighbours_.rank(path[i - 1], path[i]));
        }
        best_path_ = path;
        best_score_ = score;
        has_best_ = true;
    }

    // A route kept by keep_near: its nodes are near_nodes()[offset, offset + length).
    struct NearRoute {
        double score;
        std::uint32_t offset;
        std::uint32_t length;
    };

    // Call before run(). Past `cap` near routes the search gives up: run()
    // returns none and near_overflowed() is true.
    void keep_near(double slack, std::size_t cap) {
        keeping_near_ = true;
        slack_ = slack;
        near_cap_ = cap;
    }
    bool near_overflowed() const { return near_overflowed_; }
    // After run(): the near routes in the order found, each within the slack
    // of the final best.
    const std::vector<NearRoute>& near() const { return near_; }
    const std::vector<std::uint32_t>& near_nodes() const { return near_nodes_; }

    // The chosen route, or none when no candidate exists.
    std::optional<std::vector<std::uint32_t>> run(const StopCheck& stop) {
        double bound = 0.0;
        if (!policy_.enter(from_, start_score(), bound)) {
            policy_.leave(from_);
            return has_best_ ? std::optional(best_path_) : std::nullopt;
        }
        push(from_, start_score(), bound, 0, 0);
        while (!frames_.empty()) {
            Frame& frame = frames_.back();
            const auto list = neighbours_.of(frame.node);
            if (frame.next == list.size() || cut(frame.bound, frame.place)) {
                if (frame.next < list.size()) reach(frame, frame.bound);  // the rest is cut
                pop();
                continue;
            }
            stop.poll();
            const RankedNeighbour step = list[frame.next++];
            const std::uint32_t u = step.node;
            if (on_path_[u] || !policy_.usable(u)) continue;
            const double score = fold(frame.score, values_[u]);
            const std::int8_t place = place_of(frame.place, u, step.rank);
            if (u == to_) {
                reach(frame, score);
                if (keeping_near_ && !keep_near_route(score)) return std::nullopt;
                if (improves(score, place)) take_current(score, step.rank);
                continue;
            }
            if (!policy_.enter(u, score, bound)) {
                policy_.leave(u);
                continue;
            }
            if constexpr (kCutsDominated) {
                if (policy_.dominated()) {
                    reach(frame, policy_.dominated_reach());
                    policy_.leave(u);
                    continue;
                }
            }
            if (cut(bound, place)) {
                reach(frame, bound);
                policy_.leave(u);
                continue;
            }
            push(u, score, bound, place, step.rank);
        }
        if (keeping_near_) {
            drop_far_routes();
            near_overflowed_ = near_.size() > near_cap_;
            if (near_overflowed_) return std::nullopt;
        }
        if (!has_best_) return std::nullopt;
        return best_path_;
    }

private:
    struct Frame {
        std::uint32_t node;
        std::uint32_t next;  // index of the next neighbour to try
        double score;        // score of the path up to this node
        double bound;        // bound on the score of every route below
        // Place of the routes below relative to the best: -1 all earlier
        // (lose a tie), +1 all later (win a tie), 0 the path is a prefix of it.
        std::int8_t place;
        // The most any route below may score, by what was found and cut so
        // far (kept for policies that learn it).
        double reached;
    };

    static constexpr bool kLearns = requires(Policy& p) { p.finished(0u, 0.0, 0.0); };
    static constexpr bool kCutsDominated = requires(Policy& p) { p.dominated(); };
    static void reach(Frame& frame, double score) {
        if constexpr (kLearns) frame.reached = std::max(frame.reached, score);
    }

    static constexpr double start_score() { return Policy::kMultiply ? 1.0 : 0.0; }
    static double fold(double score, double value) { return Policy::kMultiply ? score * value : score + value; }

    bool cut(double bound, std::int8_t place) const {
        if (!has_best_) return false;
        if (keeping_near_) return !within_slack(bound);
        const bool worse = Policy::kLowest ? bound > best_score_ : bound < best_score_;
        return worse || (bound == best_score_ && place < 0);
    }
    bool improves(double score, std::int8_t place) const {
        if (!has_best_) return true;
        const bool better = Policy::kLowest ? score < best_score_ : score > best_score_;
        return better || (score == best_score_ && place > 0);
    }
    // Place of the path extended by the step to u with `rank` from its last node.
    std::int8_t place_of(std::int8_t parent, std::uint32_t u, std::uint32_t rank) const {
        if (!has_best_ || parent != 0) return parent;
        const std::size_t i = path_.size() - 1;  // the step's index
        if (i + 1 < best_path_.size() && best_path_[i + 1] == u) return 0;
        return rank > best_ranks_[i] ? 1 : -1;
    }

    // Whether a score is no more than the slack worse than the best.
    bool within_slack(double score) const {
        return !has_best_ || (Policy::kLowest ? score <= best_score_ + slack_ : score >= best_score_ - slack_);
    }
    // Records the current path as a near route if it is one; false when the
    // near routes overflow their cap.
    bool keep_near_route(double score) {
        if (!within_slack(score)) return true;
        near_.push_back(
            {score, static_cast<std::uint32_t>(near_nodes_.size()), static_cast<std::uint32_t>(path_.size() + 1)});
        near_nodes_.insert(near_nodes_.end(), path_.begin(), path_.end());
        near_nodes_.push_back(to_);
        if (near_.size() <= 2 * near_cap_ + 16) return true;
        drop_far_routes();
        near_overflowed_ = near_.size() > near_cap_;
        return !near_overflowed_;
    }
    // Drops the near routes that the best has left behind, compacting their nodes.
    void drop_far_routes() {
        std::size_t kept = 0;
        std::uint32_t write = 0;
        for (const NearRoute& route : near_) {
            if (!within_slack(route.score)) continue;
            std::copy(near_nodes_.begin() + route.offset, near_nodes_.begin() + route.offset + route.length,
                      near_nodes_.begin() + write);
            near_[kept++] = {route.score, write, route.length};
            write += route.length;
        }
        near_.resize(kept);
        near_nodes_.resize(write);
    }

    void push(std::uint32_t node, double score, double bound, std::int8_t place, std::uint32_t rank) {
        if (!path_.empty()) ranks_.push_back(rank);
        path_.push_back(node);
        on_path_[node] = 1;
        frames_.push_back({node, 0, score, bound, place, -std::numeric_limits<double>::infinity()});
    }
    void pop() {
        const Frame done = frames_.back();
        frames_.pop_back();
        if constexpr (kLearns) {
            static_assert(!Policy::kLowest, "what a search learns is an upper bound");
            policy_.finished(done.node, done.score, done.reached);
            if (!frames_.empty()) reach(frames_.back(), done.reached);
        }
        const std::uint32_t node = done.node;
        policy_.leave(node);
        on_path_[node] = 0;
        path_.pop_back();
        if (!ranks_.empty()) ranks_.pop_back();
    }
    void take_current(double score, std::uint32_t rank) {
        best_path_.assign(path_.begin(), path_.end());
        best_path_.push_back(to_);
        best_ranks_.assign(ranks_.begin(), ranks_.end());
        best_ranks_.push_back(rank);
        best_score_ = score;
        has_best_ = true;
        for (Frame& frame : frames_) frame.place = 0;
    }

    const RankedNeighbours& neighbours_;
    const std::vector<double>& values_;
    const std::uint32_t from_;
    const std::uint32_t to_;
    Policy& policy_;
    std::vector<Frame> frames_;
    std::vector<char> on_path_;
    std::vector<std::uint32_t> path_;
    std::vector<std::uint32_t> ranks_;  // ranks_[i]: rank of the step from path_[i]
    std::vector<std::uint32_t> best_path_;
    std::vector<std::uint32_t> best_ranks_;
    double best_score_ = 0.0;
    bool has_best_ = false;
    bool keeping_near_ = false;
    bool near_overflowed_ = false;
    double slack_ = 0.0;
    std::size_t near_cap_ = 0;
    std::vector<NearRoute> near_;
    std::vector<std::uint32_t> near_nodes_;
};

}  // namespace vorn

#include "routing/frontier_links.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <optional>

namespace vorn {
namespace {

// What the path so far does at a frontier node: nothing yet, passes through
// it (it takes no more links), or ends a piece there whose other end is the
// route's start, the route's end, or frontier slot j (kPieceEnd + j). The
// start and the end of the route begin as pieces of their own.
constexpr std::uint8_t kUntouched = 0, kThrough = 1, kFromPiece = 2, kToPiece = 3, kPieceEnd = 4;
constexpr std::size_t kSlots = 16;
constexpr std::uint8_t kGone = 0xFF;

struct State {
    std::array<std::uint8_t, kSlots> code{};
    bool operator==(const State&) const = default;
    auto operator<=>(const State&) const = default;
};

// The route is whole: nodes placed later stay off it.
constexpr State kWhole = [] {
    State s;
    s.code.fill(0xFF);
    return s;
}();

struct StateHash {
    std::size_t operator()(const State& s) const {
        std::uint64_t lo, hi;
        std::memcpy(&lo, s.code.data(), 8);
        std::memcpy(&hi, s.code.data() + 8, 8);
        const std::uint64_t h = (lo * 0x9E3779B97F4A7C15ull) ^ (hi + 0xC2B2AE3D27D4EB4Full + (lo >> 31));
        return static_cast<std::size_t>((h ^ (h >> 29)) * 0xBF58476D1CE4E5B9ull >> 17);
    }
};

// One placement: the node, the frontier it joins (its nodes by slot, the new
// node last), its links to placed nodes, and where each slot goes after the
// nodes that are done leave.
struct Step {
    std::vector<std::uint32_t> slot_node;
    std::vector<std::uint8_t> earlier_slot;
    std::vector<std::uint8_t> next_slot;  // kGone for nodes that leave
    std::uint32_t node() const { return slot_node.back(); }
    std::uint32_t width() const { return static_cast<std::uint32_t>(slot_node.size()); }
};

// The placement order (greedy: the next node is the one joined to a placed
// node that leaves the smallest frontier, then the one with most placed
// neighbours) as steps; none once a frontier would exceed `max_width`.
std::optional<std::vector<Step>> placement_steps(const std::vector<std::vector<std::uint32_t>>& neighbours,
                                                 std::uint32_t from, std::size_t max_width, const StopCheck& stop) {
    const std::uint32_t n = static_cast<std::uint32_t>(neighbours.size());
    std::vector<std::uint32_t> left(n), touching(n, 0);
    std::vector<char> placed(n, 0);
    for (std::uint32_t v = 0; v < n; ++v) left[v] = static_cast<std::uint32_t>(neighbours[v].size());
    std::vector<std::uint32_t> frontier;
    std::vector<std::uint8_t> slot_of(n, kGone);
    std::vector<Step> steps;
    steps.reserve(n);
    for (std::uint32_t placed_count = 0; placed_count < n; ++placed_count) {
        stop.poll();
        std::uint32_t chosen = from;
        if (placed_count > 0) {
            std::uint64_t best_key = UINT64_MAX;
            for (std::uint32_t c = 0; c < n; ++c) {
                if (placed[c]) continue;
                std::uint32_t done = 0;  // placed neighbours that c completes
                for (std::uint32_t u : neighbours[c]) done += placed[u] && left[u] == 1 ? 1 : 0;
                const std::uint64_t size = frontier.size() + (left[c] > 0 ? 1 : 0) - done;
                const std::uint64_t key = (size << 40) | (std::uint64_t{n - touching[c]} << 20) | c;
                if (touching[c] > 0 && key < best_key) best_key = key;
            }
            if (best_key == UINT64_MAX) {  // the rest is cut off: off every route
                chosen = static_cast<std::uint32_t>(std::find(placed.begin(), placed.end(), 0) - placed.begin());
            } else {
                chosen = static_cast<std::uint32_t>(best_key & 0xFFFFF);
            }
        }
        if (frontier.size() + 1 > max_width) return std::nullopt;
        Step step;
        step.slot_node = frontier;
        step.slot_node.push_back(chosen);
        slot_of[chosen] = static_cast<std::uint8_t>(frontier.size());
        for (std::uint32_t u : neighbours[chosen]) {
            if (placed[u]) step.earlier_slot.push_back(slot_of[u]);
        }
        placed[chosen] = 1;
        for (std::uint32_t u : neighbours[chosen]) {
            --left[u];
            ++touching[u];
        }
        frontier.clear();
        for (std::uint32_t v : step.slot_node) {
            if (left[v] > 0) {
                step.next_slot.push_back(static_cast<std::uint8_t>(frontier.size()));
                slot_of[v] = static_cast<std::uint8_t>(frontier.size());
                frontier.push_back(v);
            } else {
                step.next_slot.push_back(kGone);
                slot_of[v] = kGone;
            }
        }
        steps.push_back(std::move(step));
    }
    return steps;
}

// The states after one step, each with the best partial score reaching it,
// sorted by state for lookup.
struct Layer {
    std::vector<State> states;
    std::vector<double> best;

    std::uint32_t find(const State& s) const {
        const auto it = std::lower_bound(states.begin(), states.end(), s);
        return it != states.end() && *it == s ? static_cast<std::uint32_t>(it - states.begin()) : kNoIndex;
    }
};

class FrontierPass {
public:
    FrontierPass(const std::vector<double>& values, std::uint32_t from, std::uint32_t to)
        : values_(values), from_(from), to_(to) {}

    // Calls emit(next, gain, chosen) for every way to take links at `step`
    // from `state`: chosen lists indices into step.earlier_slot (at most two,
    // kNoIndex for none).
    template <class Emit>
    void for_each_next(const Step& step, const State& state, Emit&& emit) const {
        if (state == kWhole) {
            emit(kWhole, 0.0, std::array{kNoIndex, kNoIndex});
            return;
        }
        const std::uint32_t v = step.node(), width = step.width();
        Codes base{};
        std::copy(state.code.begin(), state.code.begin() + (width - 1), base.begin());
        base[width - 1] = v == from_ ? kFromPiece : v == to_ ? kToPiece : kUntouched;
        const std::uint32_t m = static_cast<std::uint32_t>(step.earlier_slot.size());
        try_links(step, base, {kNoIndex, kNoIndex}, emit);
        for (std::uint32_t a = 0; a < m; ++a) {
            if (base[step.earlier_slot[a]] == kThrough) continue;
            try_links(step, base, {a, kNoIndex}, emit);
            for (std::uint32_t b = a + 1; b < m; ++b) {
                if (base[step.earlier_slot[b]] != kThrough) try_links(step, base, {a, b}, emit);
            }
        }
    }

private:
    using Codes = std::array<std::uint8_t, kSlots>;
    // The far end of the piece a slot lies on: a slot, or one of these.
    static constexpr std::uint32_t kRouteStart = 100, kRouteEnd = 101;

    template <class Emit>
    void try_links(const Step& step, Codes codes, std::array<std::uint32_t, 2> chosen, Emit&& emit) const {
        const std::uint32_t width = step.width(), self = width - 1;
        double gain = 0.0;
        bool whole = false;
        for (std::uint32_t c : chosen) {
            if (c != kNoIndex && !link(step, codes, self, step.earlier_slot[c], gain, whole)) return;
        }
        if (whole) {
            emit(kWhole, gain, chosen);
            return;
        }
        State next;
        for (std::uint32_t s = 0; s < width; ++s) {
            const std::uint8_t code = codes[s], to_slot = step.next_slot[s];
            if (to_slot == kGone) {
                if (code != kUntouched && code != kThrough) return;  // a piece would end here
                continue;
            }
            next.code[to_slot] =
                code >= kPieceEnd ? static_cast<std::uint8_t>(kPieceEnd + step.next_slot[code - kPieceEnd]) : code;
        }
        emit(next, gain, chosen);
    }

    std::uint32_t far_end(std::uint32_t slot, std::uint8_t code) const {
        return code == kUntouched   ? slot
               : code == kFromPiece ? kRouteStart
               : code == kToPiece   ? kRouteEnd
                                    : code - kPieceEnd;
    }
    static std::uint8_t code_for(std::uint32_t end) {
        return end == kRouteStart ? kFromPiece
               : end == kRouteEnd ? kToPiece
                                  : static_cast<std::uint8_t>(kPieceEnd + end);
    }
    // A node earns its value with its first link; the route's start never does.
    double first_link_gain(const Step& step, std::uint32_t slot, std::uint8_t code) const {
        const std::uint32_t node = step.slot_node[slot];
        return node != from_ && (code == kUntouched || node == to_) ? values_[node] : 0.0;
    }

    // Adds the link between slots x and y; false when the path cannot take it.
    bool link(const Step& step, Codes& codes, std::uint32_t x, std::uint32_t y, double& gain, bool& whole) const {
        if (whole) return false;
        const std::uint8_t cx = codes[x], cy = codes[y];
        if (cx == kThrough || cy == kThrough) return false;
        const std::uint32_t a = far_end(x, cx), b = far_end(y, cy);
        if (cx != kUntouched && a == y) return false;  // would close a cycle
        gain += first_link_gain(step, x, cx) + first_link_gain(step, y, cy);
        if (cx != kUntouched) codes[x] = kThrough;
        if (cy != kUntouched) codes[y] = kThrough;
        if ((a == kRouteStart && b == kRouteEnd) || (a == kRouteEnd && b == kRouteStart)) {
            for (std::uint32_t s = 0; s < step.width(); ++s) {
                if (codes[s] != kUntouched && codes[s] != kThrough) return false;  // a piece left over
            }
            whole = true;
            return true;
        }
        if (a < kRouteStart) codes[a] = code_for(b);
        if (b < kRouteStart) codes[b] = code_for(a);
        return true;
    }

    const std::vector<double>& values_;
    const std::uint32_t from_, to_;
};

}  // namespace

std::optional<std::vector<char>> frontier_links(const Adjacency& joined, const std::vector<double>& values,
                                                std::uint32_t from, std::uint32_t to, double within,
                                                const FrontierRule& rule, const StopCheck& stop) {
    const std::uint32_t n = static_cast<std::uint32_t>(joined.node_count());
    std::vector<std::vector<std::uint32_t>> neighbours(n);
    for (std::uint32_t v = 0; v < n; ++v) {
        for (std::uint32_t u : joined.of(v)) {
            if (u != v) neighbours[v].push_back(u);
        }
        std::sort(neighbours[v].begin(), neighbours[v].end());
        neighbours[v].erase(std::unique(neighbours[v].begin(), neighbours[v].end()), neighbours[v].end());
    }
    const auto steps = placement_steps(neighbours, from, std::min(rule.max_width, kSlots), stop);
    if (!steps) return std::nullopt;
    const FrontierPass pass(values, from, to);

    // Forward: the best partial score of every state after every step.
    std::vector<Layer> layers(steps->size() + 1);
    layers[0].states.push_back(State{});
    layers[0].best.push_back(0.0);
    std::size_t total_states = 1;
    std::vector<std::uint32_t> table;
    std::vector<std::pair<State, double>> found;
    for (std::size_t i = 0; i < steps->size(); ++i) {
        const Step& step = (*steps)[i];
        const Layer& before = layers[i];
        found.clear();
        table.assign(std::max<std::size_t>(64, std::bit_ceil(4 * before.states.size())), kNoIndex);
        auto add = [&](const State& next, double score) {
            std::size_t mask = table.size() - 1, at = StateHash()(next) & mask;
            while (table[at] != kNoIndex && !(found[table[at]].first == next)) at = (at + 1) & mask;
            if (table[at] != kNoIndex) {
                found[table[at]].second = std::max(found[table[at]].second, score);
                return;
            }
            table[at] = static_cast<std::uint32_t>(found.size());
            found.emplace_back(next, score);
            if (2 * found.size() > table.size()) {  // keep the table at most half full
                table.assign(2 * table.size(), kNoIndex);
                mask = table.size() - 1;
                for (std::uint32_t k = 0; k < found.size(); ++k) {
                    std::size_t slot = StateHash()(found[k].first) & mask;
                    while (table[slot] != kNoIndex) slot = (slot + 1) & mask;
                    table[slot] = k;
                }
            }
        };
        for (std::size_t k = 0; k < before.states.size(); ++k) {
            stop.poll();
            const double score = before.best[k];
            pass.for_each_next(step, before.states[k],
                               [&](const State& next, double gain, const auto&) { add(next, score + gain); });
        }
        total_states += found.size();
        if (total_states > rule.max_states) return std::nullopt;
        std::sort(found.begin(), found.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
        Layer& after = layers[i + 1];
        after.states.reserve(found.size());
        after.best.reserve(found.size());
        for (const auto& [state, score] : found) {
            after.states.push_back(state);
            after.best.push_back(score);
        }
    }
    const std::uint32_t whole = layers.back().find(kWhole);
    if (whole == kNoIndex) return std::nullopt;
    const double threshold = layers.back().best[whole] - within;

    // Backward: the best completion of every state, marking the links of
    // every step taken on a completion that reaches the threshold.
    constexpr double kNever = -std::numeric_limits<double>::infinity();
    std::vector<double> after_rest(layers.back().states.size(), kNever), rest;
    after_rest[whole] = 0.0;
    std::vector<std::vector<char>> kept(steps->size());
    for (std::size_t i = steps->size(); i-- > 0;) {
        const Step& step = (*steps)[i];
        const Layer& before = layers[i];
        const Layer& after = layers[i + 1];
        kept[i].assign(step.earlier_slot.size(), 0);
        rest.assign(before.states.size(), kNever);
        for (std::size_t k = 0; k < before.states.size(); ++k) {
            stop.poll();
            pass.for_each_next(step, before.states[k], [&](const State& next, double gain, const auto& chosen) {
                const double next_rest = after_rest[after.find(next)];
                if (next_rest == kNever) return;
                const double completion = gain + next_rest;
                rest[k] = std::max(rest[k], completion);
                if (before.best[k] + completion < threshold) return;
                for (std::uint32_t c : chosen) {
                    if (c != kNoIndex) kept[i][c] = 1;
                }
            });
        }
        after_rest.swap(rest);
    }

    std::vector<char> useful(joined.list.size(), 0);
    for (std::size_t i = 0; i < steps->size(); ++i) {
        const Step& step = (*steps)[i];
        for (std::size_t c = 0; c < step.earlier_slot.size(); ++c) {
            if (!kept[i][c]) continue;
            const std::uint32_t v = step.node(), u = step.slot_node[step.earlier_slot[c]];
            for (std::uint32_t k = joined.start[v]; k < joined.start[v + 1]; ++k) useful[k] |= joined.list[k] == u;
            for (std::uint32_t k = joined.start[u]; k < joined.start[u + 1]; ++k) useful[k] |= joined.list[k] == v;
        }
    }
    return useful;
}

}  // namespace vorn

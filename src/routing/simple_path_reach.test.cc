#include "routing/simple_path_reach.h"

#include <algorithm>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "routing/long_path_seed.h"
#include "routing/ranked_neighbours.h"
#include "routing/route_reference.test.h"
#include "routing/search_graph.h"
#include "routing/small_graphs.testing.h"
#include <gtest/gtest.h>

namespace {

using vorn::route_reference::link;
using vorn::route_reference::make_graph;

// Small networks rich in nodes with two neighbours: a ring and a few chords,
// so that a path soon cuts blocks off and leaves runs it can only walk whole.
vorn::NetworkGraph ringed_graph(std::mt19937_64& rng, std::size_t n) {
    std::vector<std::string> ids;
    for (std::size_t i = 0; i < n; ++i) ids.push_back("N" + std::to_string(i));
    std::vector<vorn::GraphLink> links;
    for (std::size_t i = 0; i < n; ++i) {
        if (i + 1 < n || rng() % 2) links.push_back(link(ids[i], ids[(i + 1) % n], 1, 1.0, 1.0));
    }
    for (std::size_t k = rng() % 4; k > 0; --k) links.push_back(link(ids[rng() % n], ids[rng() % n], 1, 1.0, 1.0));
    // Whole-number values, so that every sum is exact and a bound may equal the best.
    for (auto& l : links) l.base_fidelity = static_cast<double>(rng() % 12);
    std::shuffle(links.begin(), links.end(), rng);
    return make_graph(ids, links);
}

// The most a simple path from `at` to `to` avoiding `taken` adds (`at`
// excluded), or -1 when none exists.
double most_a_completion_adds(const vorn::Adjacency& joined, const std::vector<double>& values, std::uint32_t at,
                              std::uint32_t to, std::vector<char>& taken) {
    if (at == to) return 0.0;
    double best = -1.0;
    taken[at] = 1;
    for (std::uint32_t next : joined.of(at)) {
        if (taken[next]) continue;
        const double rest = most_a_completion_adds(joined, values, next, to, taken);
        if (rest >= 0.0) best = std::max(best, values[next] + rest);
    }
    taken[at] = 0;
    return best;
}

TEST(SimplePathReach, the_bound_never_falls_below_the_best_completion) {
    std::mt19937_64 rng(20261209);
    int states = 0, exact = 0;
    for (int trial = 0; trial < 600; ++trial) {
        const std::size_t n = 4 + rng() % 8;
        const vorn::NetworkGraph g = ringed_graph(rng, n);
        const std::uint32_t from_index = static_cast<std::uint32_t>(rng() % n);
        const std::string from = "N" + std::to_string(from_index),
                          to = "N" + std::to_string((from_index + 1 + rng() % (n - 1)) % n);
        vorn::SearchGraph search(g, from, to);
        std::vector<double> values(search.node_count());
        for (auto& v : values) v = static_cast<double>(rng() % 12);
        const vorn::Adjacency& joined = search.joined_lists();
        vorn::SimplePathReach reach(joined, values, search.to(), vorn::BoundMargin{});
        // A random walk of entered nodes, checked at every step.
        std::vector<char> taken(search.node_count(), 0);
        std::uint32_t at = search.from();
        double score = 0.0, bound = 0.0;
        std::vector<std::uint32_t> entered;
        for (;;) {
            const bool reaches = reach.enter(at, score, bound);
            entered.push_back(at);
            const double best = most_a_completion_adds(joined, values, at, search.to(), taken);
            ASSERT_EQ(reaches, best >= 0.0);
            if (!reaches) break;
            ++states;
            ASSERT_GE(bound, score + best);
            exact += bound == score + best;
            taken[at] = 1;
            std::vector<std::uint32_t> next;
            for (std::uint32_t y : joined.of(at)) {
                if (reach.usable(y) && y != search.to()) next.push_back(y);
            }
            if (next.empty()) break;
            at = next[rng() % next.size()];
            score += values[at];
        }
        for (auto it = entered.rbegin(); it != entered.rend(); ++it) reach.leave(*it);
    }
    EXPECT_GT(states, 2000);
    EXPECT_GT(exact, 500);
}

TEST(SimplePathReach, every_size_of_block_pass_finds_the_same_nodes) {
    // The reach pass runs on one-word masks up to 64 nodes, four words up to
    // 256 and adjacency lists beyond. Unlinked nodes change no route, so a
    // small graph padded past each size must give the same bounds and the
    // same usable nodes at every step of one random walk.
    std::mt19937_64 rng(8101);
    int steps = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const std::size_t n = 4 + rng() % 12;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> edges;
        for (std::size_t k = rng() % (2 * n) + n; k > 0; --k) {
            edges.emplace_back(static_cast<std::uint32_t>(rng() % n), static_cast<std::uint32_t>(rng() % n));
        }
        const std::uint32_t to = static_cast<std::uint32_t>(rng() % n);
        std::vector<double> small_values(n);
        for (auto& v : small_values) v = static_cast<double>(rng() % 12);
        struct Padded {
            vorn::Adjacency joined;
            std::vector<double> values;
        };
        std::vector<Padded> graphs;
        for (std::size_t padding : {std::size_t{0}, std::size_t{100}, std::size_t{300}}) {
            Padded padded{vorn::testing::adjacency(static_cast<std::uint32_t>(n + padding), edges), small_values};
            padded.values.resize(n + padding, 1.0);
            graphs.push_back(std::move(padded));
        }
        std::vector<vorn::SimplePathReach> reaches;
        for (const Padded& g : graphs) reaches.emplace_back(g.joined, g.values, to, vorn::BoundMargin{});
        std::uint32_t at = (to + 1 + static_cast<std::uint32_t>(rng() % (n - 1))) % static_cast<std::uint32_t>(n);
        std::vector<std::uint32_t> entered;
        double score = 0.0;
        for (;;) {
            std::vector<std::set<std::uint32_t>> usable;
            std::vector<double> bounds;
            std::vector<bool> reached;
            for (auto& reach : reaches) {
                double bound = 0.0;
                reached.push_back(reach.enter(at, score, bound));
                bounds.push_back(bound);
                const auto nodes = reach.usable_nodes();
                usable.emplace_back(nodes.begin(), nodes.end());
            }
            entered.push_back(at);
            ++steps;
            for (std::size_t k = 1; k < reaches.size(); ++k) {
                ASSERT_EQ(reached[k], reached[0]);
                if (!reached[0]) continue;
                ASSERT_EQ(bounds[k], bounds[0]);
                ASSERT_EQ(usable[k], usable[0]);
            }
            if (!reached[0]) break;
            std::vector<std::uint32_t> next;
            for (std::uint32_t y : graphs[0].joined.of(at)) {
                if (reaches[0].usable(y) && y != to) next.push_back(y);
            }
            if (next.empty()) break;
            at = next[rng() % next.size()];
            score += small_values[at];
        }
        for (auto it = entered.rbegin(); it != entered.rend(); ++it) {
            for (auto& reach : reaches) reach.leave(*it);
        }
    }
    EXPECT_GT(steps, 1000);
}

TEST(LongPathSeed, the_seed_is_a_simple_path_between_the_endpoints) {
    std::mt19937_64 rng(11);
    int joined_pairs = 0;
    for (int trial = 0; trial < 500; ++trial) {
        const std::size_t n = 3 + rng() % 10;
        vorn::NetworkGraph g = ringed_graph(rng, n);
        if (rng() % 3 == 0) g.links.resize(g.links.size() / 2);  // often cut apart
        const std::string from = "N0", to = "N" + std::to_string(1 + rng() % (n - 1));
        vorn::SearchGraph search(g, from, to);
        std::vector<double> values(search.node_count());
        for (auto& v : values) v = static_cast<double>(rng() % 5);
        const vorn::RankedNeighbours neighbours(search, vorn::TieRule::kLastWins);
        const auto seed = vorn::long_path_seed(search.joined_lists(), neighbours, values, search.from(), search.to(),
                                               vorn::never_stop());
        std::vector<char> taken(search.node_count(), 0);
        const bool joined =
            most_a_completion_adds(search.joined_lists(), values, search.from(), search.to(), taken) >= 0.0;
        ASSERT_EQ(seed.empty(), !joined);
        if (seed.empty()) continue;
        ++joined_pairs;
        EXPECT_EQ(seed.front(), search.from());
        EXPECT_EQ(seed.back(), search.to());
        EXPECT_EQ(std::set<std::uint32_t>(seed.begin(), seed.end()).size(), seed.size());
        for (std::size_t k = 1; k < seed.size(); ++k) {
            const auto list = search.joined(seed[k - 1]);
            EXPECT_TRUE(std::binary_search(list.begin(), list.end(), seed[k]));
        }
    }
    EXPECT_GT(joined_pairs, 250);
}

}  // namespace

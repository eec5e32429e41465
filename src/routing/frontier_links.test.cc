#include "routing/frontier_links.h"

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "routing/small_graphs.testing.h"
#include <gtest/gtest.h>

namespace {

using vorn::testing::adjacency;
using vorn::testing::simple_paths;

// The links a route scoring within `within` of the best uses, by brute force
// over every simple path (small integer values, so every sum is exact).
std::vector<char> links_near_best(const vorn::Adjacency& joined, const std::vector<double>& values, std::uint32_t from,
                                  std::uint32_t to, double within) {
    const auto paths = simple_paths(joined, from, to);
    std::vector<double> scores;
    double best = -1.0;
    for (const auto& path : paths) {
        double score = 0.0;
        for (std::size_t k = 1; k < path.size(); ++k) score += values[path[k]];
        scores.push_back(score);
        best = std::max(best, score);
    }
    std::vector<char> used(joined.list.size(), 0);
    for (std::size_t p = 0; p < paths.size(); ++p) {
        if (scores[p] < best - within) continue;
        for (std::size_t k = 1; k < paths[p].size(); ++k) {
            const std::uint32_t a = paths[p][k - 1], b = paths[p][k];
            for (std::uint32_t e = joined.start[a]; e < joined.start[a + 1]; ++e) used[e] |= joined.list[e] == b;
            for (std::uint32_t e = joined.start[b]; e < joined.start[b + 1]; ++e) used[e] |= joined.list[e] == a;
        }
    }
    return used;
}

TEST(FrontierLinks, keeps_exactly_the_links_of_the_routes_near_the_best) {
    // Random graphs of up to 11 nodes, sparse to dense, with values from a
    // small table (zeros and repeats make many exact ties), ends anywhere in
    // the placement order, and margins of none, one and a half, and three.
    std::mt19937_64 rng(4111);
    const double tables[][4] = {{0, 1, 2, 3}, {1, 1, 1, 1}, {0, 0, 5, 7}};
    int compared = 0, none = 0, narrowed = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const std::uint32_t n = 2 + static_cast<std::uint32_t>(rng() % 10);
        const std::size_t links = rng() % (2 * n + 4);
        std::vector<std::pair<std::uint32_t, std::uint32_t>> edges;
        for (std::size_t k = 0; k < links; ++k) {
            edges.emplace_back(static_cast<std::uint32_t>(rng() % n), static_cast<std::uint32_t>(rng() % n));
        }
        const vorn::Adjacency joined = adjacency(n, edges);
        std::vector<double> values(n);
        for (double& v : values) v = tables[trial % 3][rng() % 4];
        const std::uint32_t from = static_cast<std::uint32_t>(rng() % n);
        const std::uint32_t to = (from + 1 + static_cast<std::uint32_t>(rng() % (n - 1))) % n;
        const double within = (trial / 3) % 3 == 0 ? 0.0 : (trial / 3) % 3 == 1 ? 1.5 : 3.0;
        const auto found = vorn::frontier_links(joined, values, from, to, within, {}, vorn::never_stop());
        if (simple_paths(joined, from, to).empty()) {
            EXPECT_FALSE(found) << "trial " << trial;
            ++none;
            continue;
        }
        ASSERT_TRUE(found) << "trial " << trial;
        const auto expected = links_near_best(joined, values, from, to, within);
        EXPECT_EQ(*found, expected) << "trial " << trial;
        ++compared;
        narrowed += std::count(expected.begin(), expected.end(), 0) > 0;
    }
    EXPECT_GT(compared, 1500);
    EXPECT_GT(none, 200);
    EXPECT_GT(narrowed, 800);
}

TEST(FrontierLinks, gives_up_past_its_width_and_state_limits) {
    // A complete graph of 9 nodes reaches a frontier of 9; a row of 40
    // squares keeps one of 2 or 3 whatever its length, but has too many
    // states for a limit of 100.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> complete, ladder;
    for (std::uint32_t a = 0; a < 9; ++a) {
        for (std::uint32_t b = a + 1; b < 9; ++b) complete.emplace_back(a, b);
    }
    for (std::uint32_t k = 0; k < 40; ++k) {
        ladder.emplace_back(2 * k, 2 * k + 1);
        ladder.emplace_back(2 * k, 2 * k + 2);
        ladder.emplace_back(2 * k + 1, 2 * k + 3);
    }
    ladder.emplace_back(80, 81);
    const std::vector<double> values(82, 1.0);
    const vorn::Adjacency dense = adjacency(9, complete), row = adjacency(82, ladder);
    EXPECT_FALSE(vorn::frontier_links(dense, values, 0, 8, 0.0, {0, 8, 1u << 20}, vorn::never_stop()));
    EXPECT_TRUE(vorn::frontier_links(dense, values, 0, 8, 0.0, {0, 9, 1u << 20}, vorn::never_stop()));
    EXPECT_FALSE(vorn::frontier_links(row, values, 0, 81, 0.0, {0, 16, 100}, vorn::never_stop()));
    const auto kept = vorn::frontier_links(row, values, 0, 81, 0.0, {}, vorn::never_stop());
    ASSERT_TRUE(kept);
    // With equal values the best route visits every node, and the only such
    // route from one corner to the opposite one is the zigzag: down each
    // rung, along alternate sides.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> zigzag;
    for (std::uint32_t k = 0; k <= 40; ++k) {
        zigzag.emplace_back(2 * k, 2 * k + 1);
        if (k < 40) zigzag.push_back(k % 2 ? std::pair{2 * k, 2 * k + 2} : std::pair{2 * k + 1, 2 * k + 3});
    }
    const vorn::Adjacency route = adjacency(82, zigzag);
    for (std::uint32_t a = 0; a < 82; ++a) {
        for (std::uint32_t e = row.start[a]; e < row.start[a + 1]; ++e) {
            const auto on_route = route.of(a);
            const bool expected = std::find(on_route.begin(), on_route.end(), row.list[e]) != on_route.end();
            EXPECT_EQ((*kept)[e] != 0, expected) << a << "-" << row.list[e];
        }
    }
}

}  // namespace

#include "routing/route_search.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "routing/hop_values.h"
#include "routing/pruned_route.h"
#include "routing/route_reference.test.h"
#include "routing/search_graph.h"
#include <gtest/gtest.h>

namespace {

using vorn::GraphLink;
using vorn::NetworkGraph;
using vorn::route_reference::link;
using vorn::route_reference::make_graph;
using vorn::route_reference::Path;
using vorn::route_reference::reference_candidates;
using vorn::route_reference::reference_route;
using vorn::route_reference::same_real;

// Small networks with every awkward case: repeated, parallel and reversed
// links, self-links, endpoints without a node entry, and values of these
// kinds: whole numbers and powers of two (exact sums and products, so ties
// by construction), decimals whose sums round differently in another order,
// realistic random values, values outside every bound's domain, and for
// products values around 1 as sensitivity reruns make them (x 0.9 and x 1.1,
// zeros, powers of two on both sides of 1, products that underflow or
// overflow, realistic values with some links scaled above 1).
const std::string names[] = {"A", "B", "C", "D", "E", "F", "AB"};

struct RandomGraph : NetworkGraph {
    std::size_t names = 0;  // the graph uses names[0, names)
};

RandomGraph random_graph(std::mt19937_64& rng) {
    struct Values {
        std::vector<double> distances, fidelities, rates;
    };
    static const Values kinds[] = {
        {{0.0, 1.0, 2.0, 3.0, 5.0, 10.0}, {1.0, 0.5, 0.25}, {1.0, 2.0, 4.0, 10.0}},
        {{0.1, 0.2, 0.3, 1.1, 2.2, 0.7}, {0.9, 0.8, 0.72, 0.3, 0.1}, {0.1, 3.0, 7.7}},
        {{}, {}, {}},
        {{5.0, 10.0, 0.0, -3.0, NAN, INFINITY, -INFINITY, 1e308},
         {0.5, 0.9, 1.0, 0.0, -0.5, 1.5, NAN, INFINITY},
         {1.0, 10.0, 0.0, -2.0, NAN, INFINITY}},
        {{1.0, 2.0, 0.9, 1.1},
         {0.9, 1.1, 0.99, 0.9 * 1.1, 1.1 * 0.9, 1.089, 0.891, 1.0, 1.21, 0.81, 0.0, 1.0000000000000002,
          0.9999999999999999},
         {1.0, 1.1, 0.9}},
        {{1.0, 4.0}, {0.5, 1.0, 2.0, 4.0, 0.25, 0.0}, {2.0, 0.5}},
        {{1.0}, {1e-300, 1e-160, 1e150, 3.0, 0.7, 1.0, 0.0, 5e-324}, {1.0}},
        {{}, {}, {}},  // random values, then a few fidelities scaled by 1.1
    };
    constexpr std::size_t kScaledKind = 7;
    const std::size_t kind = rng() % std::size(kinds);
    auto pick = [&](const std::vector<double>& table, double low, double high) {
        if (table.empty()) return std::uniform_real_distribution<double>(low, high)(rng);
        return table[rng() % table.size()];
    };
    RandomGraph g;
    const std::size_t name_count = g.names = 3 + rng() % 4;
    for (std::size_t i = 0; i < name_count; ++i) {
        if (rng() % 4 != 0) g.nodes.insert({names[i], 1.0});  // some link endpoints have no node entry
    }
    const int link_count = static_cast<int>(name_count - 1 + rng() % (name_count + 2));
    for (int i = 0; i < link_count; ++i) {
        GraphLink l = link(names[rng() % name_count], names[rng() % name_count], pick(kinds[kind].distances, 1, 100),
                           pick(kinds[kind].fidelities, 0.8, 0.99), pick(kinds[kind].rates, 100, 5000));
        if (rng() % 4 == 0 && !g.links.empty()) {  // a parallel or reversed copy of an earlier link
            const GraphLink& earlier = g.links[rng() % g.links.size()];
            l.from_node = earlier.from_node;
            l.to = earlier.to;
            if (rng() % 2) std::swap(l.from_node, l.to);
        }
        g.links.push_back(l);
    }
    if (kind == kScaledKind) {
        for (GraphLink& l : g.links) l.base_fidelity *= rng() % 3 == 0 ? 1.1 : rng() % 2 ? 0.9 : 1.0;
    }
    return g;
}

}  // namespace

TEST(RouteSearch, route_search_matches_literal_search_on_random_graphs) {
    std::mt19937_64 rng(20240611);
    const int codes[] = {0, 1, 2, 7};
    int mismatched_lists = 0, mismatched_routes[4] = {}, bounded[4] = {}, with_routes = 0, compared = 0;
    int bounded_products_beyond_unit = 0;  // code 1 bounded with some value above 1 or equal to 0
    for (int trial = 0; trial < 10000; ++trial) {
        const RandomGraph g = random_graph(rng);
        for (int pair = 0; pair < 4; ++pair) {
            // Mostly two different names the network uses; "Z" never occurs.
            const std::size_t i = rng() % g.names, j = (i + 1 + rng() % (g.names - 1)) % g.names;
            const std::string& from = rng() % 16 ? names[i] : "Z";
            const std::string& to = rng() % 16 ? names[j] : rng() % 2 ? "Z" : from;
            const auto expected_list = reference_candidates(g, from, to);
            if (vorn::list_route_candidates(g, from, to) != expected_list) ++mismatched_lists;
            for (int c = 0; c < 4; ++c) {
                const auto code = static_cast<std::uint8_t>(codes[c]);
                const auto expected = reference_route(g, expected_list, code);
                const auto actual = vorn::find_route(g, from, to, vorn::route_objective_of_code(code));
                ++compared;
                with_routes += expected ? 1 : 0;
                const bool same =
                    expected.has_value() == actual.has_value() &&
                    (!expected || (expected->first == actual->path && same_real(expected->second, actual->fidelity) &&
                                   actual->hop_links.size() + 1 == actual->path.size()));
                if (!same) ++mismatched_routes[c];
                // How often the bounded search decided (rather than the exhaustive one).
                if (expected && from != to) {
                    vorn::SearchGraph search(g, from, to);
                    const std::vector<double> values = vorn::hop_values(g, search, vorn::route_objective_of_code(code));
                    const bool applies =
                        vorn::pruned_route(search, values, vorn::route_objective_of_code(code)).applies;
                    bounded[c] += applies;
                    bounded_products_beyond_unit +=
                        applies && code == 1 &&
                        std::any_of(values.begin(), values.end(), [](double v) { return v > 1.0 || v == 0.0; });
                }
            }
        }
    }
    EXPECT_EQ(mismatched_lists, 0);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(mismatched_routes[c], 0);
        EXPECT_GT(bounded[c], 10000);  // the bounded search decided on many networks per strategy
    }
    EXPECT_GT(bounded_products_beyond_unit, 3000);
    EXPECT_GT(with_routes, compared / 3);  // the graphs are not mostly disconnected
}

TEST(RouteSearch, route_search_handles_missing_endpoints_and_single_node_routes) {
    const NetworkGraph empty;
    EXPECT_FALSE(vorn::find_route(empty, "A", "A", vorn::route_objective_of_code(1)));
    const NetworkGraph g =
        make_graph({"A", "B"}, {link("A", "X", 10, 0.9), link("X", "B", 10, 0.9), link("A", "Y", 10, 0.9)});
    for (std::uint8_t code : {0, 1, 2}) {
        const auto self = vorn::find_route(g, "A", "A", vorn::route_objective_of_code(code));
        ASSERT_TRUE(self);
        EXPECT_EQ(self->path, Path{"A"});
        EXPECT_EQ(self->fidelity, 1.0);
        EXPECT_TRUE(self->hop_links.empty());
        // X has no node entry but can lie inside a route; Y cannot end one.
        const auto through = vorn::find_route(g, "A", "B", vorn::route_objective_of_code(code));
        ASSERT_TRUE(through);
        EXPECT_EQ(through->path, (Path{"A", "X", "B"}));
        EXPECT_FALSE(vorn::find_route(g, "A", "Y", vorn::route_objective_of_code(code)));
        EXPECT_FALSE(vorn::find_route(g, "Q", "B", vorn::route_objective_of_code(code)));
    }
}

TEST(RouteSearch, route_search_follows_links_given_in_either_orientation) {
    const NetworkGraph g = make_graph({"A", "B", "C"}, {link("B", "A", 10, 0.9), link("C", "B", 10, 0.8)});
    EXPECT_EQ(vorn::list_route_candidates(g, "A", "C"), (std::vector<Path>{{"A", "B", "C"}}));
    for (std::uint8_t code : {0, 1, 2}) {
        const auto route = vorn::find_route(g, "A", "C", vorn::route_objective_of_code(code));
        ASSERT_TRUE(route);
        EXPECT_EQ(route->path, (Path{"A", "B", "C"}));
        EXPECT_EQ(route->fidelity, 0.9 * 0.8);
        EXPECT_EQ(route->hop_links, (std::vector<std::size_t>{0, 1}));
    }
}

TEST(RouteSearch, route_scores_read_the_first_link_touching_the_far_node) {
    // B-D is valued by C-D, the first link touching D: A-C-D scores 10, A-B-D 15.
    const NetworkGraph latency = make_graph({"A", "B", "C", "D"}, {link("A", "C", 5, 0.9), link("C", "D", 5, 0.9),
                                                                   link("A", "B", 10, 0.9), link("B", "D", 10, 0.9)});
    EXPECT_EQ(vorn::find_route(latency, "A", "D", vorn::route_objective_of_code(0))->path, (Path{"A", "C", "D"}));

    // A-B is valued by C-B (0.5): A-B-D scores 0.45 and loses to A-E-D (0.63),
    // whose true fidelity 0.49 is lower than A-B-D's 0.81.
    const NetworkGraph fidelity = make_graph({"A", "B", "C", "D", "E"},
                                             {link("C", "B", 10, 0.5), link("A", "B", 10, 0.9), link("B", "D", 10, 0.9),
                                              link("A", "E", 10, 0.7), link("E", "D", 10, 0.7)});
    const auto chosen = vorn::find_route(fidelity, "A", "D", vorn::route_objective_of_code(1));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->path, (Path{"A", "E", "D"}));
    EXPECT_EQ(chosen->fidelity, 0.7 * 0.7);
    const NetworkGraph single =
        make_graph({"A", "B", "C", "D"}, {link("C", "B", 10, 0.5), link("A", "B", 10, 0.9), link("B", "D", 10, 0.9)});
    const auto only = vorn::find_route(single, "A", "D", vorn::route_objective_of_code(1));
    ASSERT_TRUE(only);
    EXPECT_EQ(only->path, (Path{"A", "B", "D"}));
    EXPECT_EQ(only->fidelity, 0.9 * 0.9);
}

TEST(RouteSearch, route_ties_go_to_first_for_latency_and_last_otherwise) {
    // Both routes score 20 km, 0.81 and 180: the search reaches A-C-D first
    // and A-B-D last (it expands links from the end of the list).
    const NetworkGraph g =
        make_graph({"A", "B", "C", "D"}, {link("A", "B", 10, 0.9, 100), link("A", "C", 10, 0.9, 100),
                                          link("B", "D", 10, 0.9, 100), link("C", "D", 10, 0.9, 100)});
    const auto candidates = vorn::list_route_candidates(g, "A", "D");
    EXPECT_GT(candidates.size(), 2);
    EXPECT_EQ(candidates.front(), (Path{"A", "C", "D"}));
    EXPECT_EQ(candidates.back(), (Path{"A", "B", "D"}));
    EXPECT_EQ(vorn::find_route(g, "A", "D", vorn::route_objective_of_code(0))->path, (Path{"A", "C", "D"}));
    EXPECT_EQ(vorn::find_route(g, "A", "D", vorn::route_objective_of_code(1))->path, (Path{"A", "B", "D"}));
    EXPECT_EQ(vorn::find_route(g, "A", "D", vorn::route_objective_of_code(2))->path, (Path{"A", "B", "D"}));
}

TEST(RouteSearch, route_fidelity_uses_the_first_of_parallel_links) {
    const NetworkGraph g = make_graph({"A", "B"}, {link("B", "A", 10, 0.6), link("A", "B", 10, 0.95)});
    const auto route = vorn::find_route(g, "A", "B", vorn::route_objective_of_code(1));
    ASSERT_TRUE(route);
    EXPECT_EQ(route->fidelity, 0.6);
    EXPECT_TRUE(route->hop_links == std::vector<std::size_t>{0});
    // The parallel link repeats the candidate.
    EXPECT_EQ(vorn::list_route_candidates(g, "A", "B").size(), std::size_t{2});
}

TEST(RouteSearch, product_bounds_keep_ties_that_differ_only_in_rounding) {
    // A-B-C-D scores (a*b)*c and A-E-D (a*b)*c as well, but the bound at B
    // folds a*(b*c), which rounds lower for these triples: a bound without
    // its margin cuts A-B-C-D where it wins the tie. Every order of the links
    // (which moves both the tie order and the first link touching each node)
    // is compared with the reference.
    const double triples[][3] = {{0.9 * 1.1, 0.9 * 1.1, 0.85},
                                 {0.9 * 1.1, 0.81 * 1.1, 0.87 * 1.1},
                                 {0.99 * 1.1, 0.81 * 1.1, 0.81 * 1.1},
                                 {0.9 * 1.1, 0.9 * 1.1, 0.93 * 1.1}};
    int mismatches = 0, cases = 0;
    for (const auto& [a, b, c] : triples) {
        ASSERT_LT(a * (b * c), (a * b) * c);
        const std::vector<GraphLink> base = {link("A", "B", 1, a), link("B", "C", 1, b), link("C", "D", 1, c),
                                             link("A", "E", 1, a * b), link("E", "D", 1, c)};
        std::vector<std::size_t> order = {0, 1, 2, 3, 4};
        do {
            std::vector<GraphLink> links;
            for (std::size_t i : order) links.push_back(base[i]);
            const NetworkGraph g = make_graph({"A", "B", "C", "D", "E"}, links);
            const auto expected = reference_route(g, reference_candidates(g, "A", "D"), 1);
            const auto actual = vorn::find_route(g, "A", "D", vorn::route_objective_of_code(1));
            ++cases;
            mismatches += !(expected && actual && expected->first == actual->path);
        } while (std::next_permutation(order.begin(), order.end()));
    }
    EXPECT_EQ(cases, 4 * 120);
    EXPECT_EQ(mismatches, 0);
}

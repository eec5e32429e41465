#include "routing/route_search.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using vorn::GraphLink;
using vorn::NetworkGraph;
using Path = std::vector<std::string>;

NetworkGraph make_graph(const std::vector<std::string>& nodes, const std::vector<GraphLink>& links) {
    NetworkGraph graph;
    for (const auto& id : nodes) graph.nodes.insert({id, 1.0});
    graph.links = links;
    return graph;
}

GraphLink link(std::string a, std::string b, double distance, double fidelity, double rate = 100.0) {
    return {std::move(a), std::move(b), distance, fidelity, rate, vorn::LinkType::Fiber};
}

bool same_real(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

// ---- the search as literally described: one frame per push, each with its
// own copy of the path, candidates checked hop by hop, then scored in order.

bool joined(const NetworkGraph& g, const std::string& a, const std::string& b) {
    for (const auto& l : g.links) {
        if ((l.from_node == a && l.to == b) || (l.from_node == b && l.to == a)) return true;
    }
    return false;
}

std::vector<Path> reference_candidates(const NetworkGraph& g, const std::string& from, const std::string& to) {
    std::vector<Path> candidates;
    if (g.nodes.empty() || !g.nodes.contains(from) || !g.nodes.contains(to)) return candidates;
    std::vector<std::pair<std::string, Path>> stack{{from, {from}}};
    while (!stack.empty()) {
        auto [current, path] = std::move(stack.back());
        stack.pop_back();
        if (current == to) {
            std::size_t kept = 0;
            for (std::size_t i = 1; i < path.size(); ++i) kept += joined(g, path[i - 1], path[i]) ? 1 : 0;
            if (kept == path.size() - 1) candidates.push_back(path);
            continue;
        }
        for (const auto& l : g.links) {
            const std::string& next = l.from_node == current ? l.to : l.from_node;
            if (next == current || std::find(path.begin(), path.end(), next) != path.end()) continue;
            Path extended = path;
            extended.push_back(next);
            stack.emplace_back(next, std::move(extended));
        }
    }
    return candidates;
}

double reference_score(const NetworkGraph& g, const Path& path, int code) {
    double score = code == 1 ? 1.0 : 0.0;
    for (std::size_t i = 1; i < path.size(); ++i) {
        double value = 0.0;
        for (const auto& l : g.links) {
            if (l.to == path[i] || l.from_node == path[i]) {
                value = code == 0 ? l.distance_km : code == 1 ? l.base_fidelity : l.base_fidelity * l.generation_rate_hz;
                break;
            }
        }
        score = code == 1 ? score * value : score + value;
    }
    return score;
}

std::optional<std::pair<Path, double>> reference_route(const NetworkGraph& g, const std::string& from,
                                                       const std::string& to, int code) {
    const auto candidates = reference_candidates(g, from, to);
    if (candidates.empty()) return std::nullopt;
    std::size_t best = 0;
    for (std::size_t i = 1; i < candidates.size(); ++i) {
        const double b = reference_score(g, candidates[best], code);
        const double c = reference_score(g, candidates[i], code);
        const bool replace = code == 0 ? b > c : !(b > c);
        if (replace) best = i;
    }
    const Path& path = candidates[best];
    double fidelity = 1.0;
    for (std::size_t i = 1; i < path.size(); ++i) {
        for (const auto& l : g.links) {
            if ((l.from_node == path[i - 1] && l.to == path[i]) || (l.to == path[i - 1] && l.from_node == path[i])) {
                fidelity *= l.base_fidelity;
                break;
            }
        }
    }
    return std::make_pair(path, fidelity);
}

NetworkGraph random_graph(std::mt19937_64& rng) {
    static const std::string names[] = {"A", "B", "C", "D", "E", "AB"};
    static const double distances[] = {5.0, 10.0, 10.0, 0.0, NAN, 2.5};
    static const double fidelities[] = {0.5, 0.9, 0.9, 1.0, NAN, 0.8};
    static const double rates[] = {1.0, 2.0, 10.0, NAN};
    auto pick = [&](auto& table) { return table[rng() % std::size(table)]; };
    NetworkGraph g;
    for (const auto& id : names) {
        if (rng() % 4 != 0) g.nodes.insert({id, 1.0});  // some link endpoints have no node entry
    }
    const int link_count = 2 + static_cast<int>(rng() % 8);
    for (int i = 0; i < link_count; ++i) {
        GraphLink l = link(pick(names), pick(names), pick(distances), pick(fidelities), pick(rates));
        if (rng() % 8 == 0 && !g.links.empty()) {  // a parallel or reversed copy of an earlier link
            const GraphLink& earlier = g.links[rng() % g.links.size()];
            l.from_node = earlier.from_node;
            l.to = earlier.to;
            if (rng() % 2) std::swap(l.from_node, l.to);
        }
        g.links.push_back(l);
    }
    return g;
}

}  // namespace

TEST(RouteSearch, route_search_matches_literal_search_on_random_graphs) {
    std::mt19937_64 rng(20240611);
    const std::string endpoints[] = {"A", "B", "C", "D", "E", "AB", "Z"};
    int compared = 0, mismatched_lists = 0, mismatched_routes = 0, with_routes = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const NetworkGraph g = random_graph(rng);
        for (const auto& from : endpoints) {
            for (const auto& to : endpoints) {
                const auto expected_list = reference_candidates(g, from, to);
                if (vorn::list_route_candidates(g, from, to) != expected_list) ++mismatched_lists;
                for (int code : {0, 1, 2, 7}) {
                    ++compared;
                    const auto expected = reference_route(g, from, to, code);
                    const auto actual = vorn::find_route(g, from, to, static_cast<std::uint8_t>(code));
                    with_routes += expected ? 1 : 0;
                    const bool same = expected.has_value() == actual.has_value() &&
                                      (!expected || (expected->first == actual->path &&
                                                     same_real(expected->second, actual->fidelity) &&
                                                     actual->hop_links.size() + 1 == actual->path.size()));
                    if (!same) ++mismatched_routes;
                }
            }
        }
    }
    EXPECT_EQ(mismatched_lists, 0);
    EXPECT_EQ(mismatched_routes, 0);
    EXPECT_GT(with_routes, compared / 5);  // the graphs are not mostly disconnected
}

TEST(RouteSearch, route_search_handles_missing_endpoints_and_single_node_routes) {
    const NetworkGraph empty;
    EXPECT_FALSE(vorn::find_route(empty, "A", "A", 1));
    const NetworkGraph g = make_graph({"A", "B"}, {link("A", "X", 10, 0.9), link("X", "B", 10, 0.9),
                                                    link("A", "Y", 10, 0.9)});
    for (std::uint8_t code : {0, 1, 2}) {
        const auto self = vorn::find_route(g, "A", "A", code);
        ASSERT_TRUE(self);
        EXPECT_EQ(self->path, Path{"A"});
        EXPECT_EQ(self->fidelity, 1.0);
        EXPECT_TRUE(self->hop_links.empty());
        // X has no node entry but can lie inside a route; Y cannot end one.
        const auto through = vorn::find_route(g, "A", "B", code);
        ASSERT_TRUE(through);
        EXPECT_EQ(through->path, (Path{"A", "X", "B"}));
        EXPECT_FALSE(vorn::find_route(g, "A", "Y", code));
        EXPECT_FALSE(vorn::find_route(g, "Q", "B", code));
    }
}

TEST(RouteSearch, route_search_follows_links_given_in_either_orientation) {
    const NetworkGraph g = make_graph({"A", "B", "C"}, {link("B", "A", 10, 0.9), link("C", "B", 10, 0.8)});
    EXPECT_EQ(vorn::list_route_candidates(g, "A", "C"), (std::vector<Path>{{"A", "B", "C"}}));
    for (std::uint8_t code : {0, 1, 2}) {
        const auto route = vorn::find_route(g, "A", "C", code);
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
    EXPECT_EQ(vorn::find_route(latency, "A", "D", 0)->path, (Path{"A", "C", "D"}));

    // A-B is valued by C-B (0.5): A-B-D scores 0.45 and loses to A-E-D (0.63),
    // whose true fidelity 0.49 is lower than A-B-D's 0.81.
    const NetworkGraph fidelity = make_graph(
        {"A", "B", "C", "D", "E"}, {link("C", "B", 10, 0.5), link("A", "B", 10, 0.9), link("B", "D", 10, 0.9),
                                    link("A", "E", 10, 0.7), link("E", "D", 10, 0.7)});
    const auto chosen = vorn::find_route(fidelity, "A", "D", 1);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->path, (Path{"A", "E", "D"}));
    EXPECT_EQ(chosen->fidelity, 0.7 * 0.7);
    const NetworkGraph single = make_graph({"A", "B", "C", "D"},
                                           {link("C", "B", 10, 0.5), link("A", "B", 10, 0.9), link("B", "D", 10, 0.9)});
    const auto only = vorn::find_route(single, "A", "D", 1);
    ASSERT_TRUE(only);
    EXPECT_EQ(only->path, (Path{"A", "B", "D"}));
    EXPECT_EQ(only->fidelity, 0.9 * 0.9);
}

TEST(RouteSearch, route_ties_go_to_first_for_latency_and_last_otherwise) {
    // Both routes score 20 km, 0.81 and 180: the search reaches A-C-D first
    // and A-B-D last (it expands links from the end of the list).
    const NetworkGraph g = make_graph({"A", "B", "C", "D"}, {link("A", "B", 10, 0.9, 100), link("A", "C", 10, 0.9, 100),
                                                             link("B", "D", 10, 0.9, 100), link("C", "D", 10, 0.9, 100)});
    const auto candidates = vorn::list_route_candidates(g, "A", "D");
    EXPECT_GT(candidates.size(), 2);
    EXPECT_EQ(candidates.front(), (Path{"A", "C", "D"}));
    EXPECT_EQ(candidates.back(), (Path{"A", "B", "D"}));
    EXPECT_EQ(vorn::find_route(g, "A", "D", 0)->path, (Path{"A", "C", "D"}));
    EXPECT_EQ(vorn::find_route(g, "A", "D", 1)->path, (Path{"A", "B", "D"}));
    EXPECT_EQ(vorn::find_route(g, "A", "D", 2)->path, (Path{"A", "B", "D"}));
}

TEST(RouteSearch, route_fidelity_uses_the_first_of_parallel_links) {
    const NetworkGraph g = make_graph({"A", "B"}, {link("B", "A", 10, 0.6), link("A", "B", 10, 0.95)});
    const auto route = vorn::find_route(g, "A", "B", 1);
    ASSERT_TRUE(route);
    EXPECT_EQ(route->fidelity, 0.6);
    EXPECT_TRUE(route->hop_links == std::vector<std::size_t>{0});
    // The parallel link repeats the candidate.
    EXPECT_EQ(vorn::list_route_candidates(g, "A", "B").size(), std::size_t{2});
}

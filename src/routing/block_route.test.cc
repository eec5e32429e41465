#include "routing/block_route.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "routing/hop_values.h"
#include "routing/path_blocks.h"
#include "routing/route_reference.test.h"
#include "routing/route_search.h"
#include "routing/small_graphs.testing.h"
#include "routing/value_domain.h"
#include <gtest/gtest.h>

namespace {

constexpr vorn::SubsetRule kNeverBySubset{0, 0, 0.0};
constexpr vorn::FrontierRule kAlwaysNarrowed{3};

using vorn::GraphLink;
using vorn::NetworkGraph;
using vorn::route_reference::link;
using vorn::route_reference::make_graph;
using vorn::route_reference::Path;
using vorn::route_reference::reference_score;

using vorn::testing::adjacency;
using vorn::testing::simple_paths;

TEST(PathBlocks, every_simple_path_is_a_chain_of_paths_through_the_blocks) {
    std::mt19937_64 rng(7);
    int several_blocks = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const std::uint32_t n = 2 + rng() % 8;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> edges;
        const std::size_t edge_count = rng() % (2 * n);
        for (std::size_t e = 0; e < edge_count; ++e) edges.push_back({rng() % n, rng() % n});
        const vorn::Adjacency joined = adjacency(n, edges);
        const std::uint32_t from = rng() % n, to = (from + 1 + rng() % (n - 1)) % n;
        const auto blocks = vorn::path_blocks(joined, from, to, vorn::never_stop());
        const auto paths = simple_paths(joined, from, to);
        ASSERT_EQ(blocks.count() == 0, paths.empty());
        if (paths.empty()) continue;
        several_blocks += blocks.count() > 1;
        EXPECT_EQ(blocks.entry.front(), from);
        EXPECT_EQ(blocks.exit.back(), to);
        // Each path meets the exits in order, and between them stays in the block.
        std::vector<std::set<std::uint32_t>> visited(blocks.count());
        for (const auto& path : paths) {
            std::size_t block = 0;
            for (std::size_t k = 0; k < path.size(); ++k) {
                const auto nodes = blocks.nodes_of(block);
                ASSERT_NE(std::find(nodes.begin(), nodes.end(), path[k]), nodes.end());
                visited[block].insert(path[k]);
                if (k + 1 < path.size() && path[k] == blocks.exit[block]) {
                    ++block;
                    visited[block].insert(path[k]);
                }
            }
            EXPECT_EQ(block, blocks.count() - 1);
        }
        // And some path visits every node of every block.
        for (std::size_t b = 0; b < blocks.count(); ++b) {
            const auto nodes = blocks.nodes_of(b);
            EXPECT_EQ(visited[b], std::set<std::uint32_t>(nodes.begin(), nodes.end()));
        }
    }
    EXPECT_GT(several_blocks, 300);
}

// Networks of two to four blocks in a row (single links, and two sides of
// one to two nodes each between the block's entry and exit, sometimes with a
// chord), with dead-end branches off them, parallel and reversed links, and
// hop values of kinds that make exact ties (whole numbers) and near-ties
// whose order a later block's rounding can change (decimals, and large
// values that absorb small differences).
struct BlockChain {
    NetworkGraph graph;
    std::string from, to;
};

BlockChain block_chain(std::mt19937_64& rng) {
    static const std::vector<double> fidelity_kinds[] = {
        {1.0, 2.0, 3.0, 5.0}, {0.1, 0.2, 0.3, 0.7, 0.6, 0.4}, {0.1, 0.2, 0.3, 1e16, 3e16, 0.5}, {0.1, 0.2, 0.3}, {},
    };
    static const std::vector<double> rate_kinds[] = {{1.0, 2.0}, {1.0, 3.0, 10.0}, {1.0, 7.0}, {1.0}, {}};
    const std::size_t kind = rng() % std::size(fidelity_kinds);
    auto value = [&](const std::vector<double>& table, double low, double high) {
        if (table.empty()) return std::uniform_real_distribution<double>(low, high)(rng);
        return table[rng() % table.size()];
    };
    BlockChain chain;
    int names = 0;
    auto fresh = [&] { return "N" + std::to_string(names++); };
    auto add = [&](const std::string& a, const std::string& b) {
        GraphLink l = link(a, b, 1.0, value(fidelity_kinds[kind], 0.8, 0.99), value(rate_kinds[kind], 100, 5000));
        if (rng() % 2) std::swap(l.from_node, l.to);
        chain.graph.links.push_back(l);
        if (rng() % 8 == 0) chain.graph.links.push_back(chain.graph.links[rng() % chain.graph.links.size()]);
    };
    std::string entry = fresh();
    chain.from = entry;
    const int blocks = 2 + static_cast<int>(rng() % 2);
    for (int b = 0; b < blocks; ++b) {
        const std::string exit = fresh();
        if (rng() % 4 == 0) {
            add(entry, exit);
        } else {
            std::vector<std::string> sides[2];
            for (auto& side : sides) {
                side.push_back(entry);
                for (int k = 1 + static_cast<int>(rng() % 2); k > 0; --k) side.push_back(fresh());
                side.push_back(exit);
                for (std::size_t k = 0; k + 1 < side.size(); ++k) add(side[k], side[k + 1]);
            }
            if (rng() % 3 == 0) add(sides[0][1], sides[1][sides[1].size() - 2]);
        }
        if (rng() % 3 == 0) add(exit, fresh());  // a dead end
        entry = exit;
    }
    chain.to = entry;
    std::shuffle(chain.graph.links.begin(), chain.graph.links.end(), rng);
    for (int k = 0; k < names; ++k) chain.graph.nodes.insert({"N" + std::to_string(k), 1.0});
    return chain;
}

// The candidate list in search order (checked against the literal search in
// route_search.test.cc), scored, and the candidate the running best keeps.
struct Scored {
    std::vector<Path> candidates;
    std::vector<double> scores;
    std::size_t chosen = 0;
};

Scored scored_candidates(const NetworkGraph& g, const std::string& from, const std::string& to, std::uint8_t code) {
    Scored result;
    result.candidates = vorn::list_route_candidates(g, from, to);
    std::map<std::string, double> value;  // hop values by far node
    for (const Path& c : result.candidates) {
        double score = 0.0;
        for (std::size_t k = 1; k < c.size(); ++k) {
            auto [it, added] = value.try_emplace(c[k], 0.0);
            if (added) it->second = reference_score(g, Path{c[0], c[k]}, code);
            score += it->second;
        }
        result.scores.push_back(score);
    }
    for (std::size_t k = 1; k < result.candidates.size(); ++k) {
        if (!(result.scores[result.chosen] > result.scores[k])) result.chosen = k;
    }
    return result;
}

TEST(BlockRoute, routes_through_several_blocks_match_the_exhaustive_search) {
    std::mt19937_64 rng(20261209);
    int mismatches = 0, bounded_mismatches = 0, bounded_decided = 0, inexact = 0, exact_ties = 0, near_ties = 0;
    int narrowed_mismatches = 0, narrowed_decided = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        const BlockChain chain = block_chain(rng);
        const std::uint8_t code = trial % 2 ? 2 : 7;
        const Scored expected = scored_candidates(chain.graph, chain.from, chain.to, code);
        const auto& candidates = expected.candidates;
        const auto& scores = expected.scores;
        const std::size_t best = expected.chosen;
        const auto actual = vorn::find_route(chain.graph, chain.from, chain.to, vorn::route_objective_of_code(code));
        ASSERT_TRUE(actual);
        mismatches += candidates[best] != actual->path;
        // The same with every block searched by branch and bound, not by subset.
        vorn::SearchGraph search(chain.graph, chain.from, chain.to);
        const auto values = vorn::hop_values(chain.graph, search, vorn::route_objective_of_code(code));
        const auto margin = vorn::sum_margin(values, vorn::joined_component(search, search.from()));
        const auto bounded = vorn::highest_sum_by_blocks(search, values, margin, vorn::never_stop(), kNeverBySubset);
        if (bounded.decided) {
            ++bounded_decided;
            Path path;
            for (std::uint32_t node : *bounded.path) path.emplace_back(search.name(node));
            bounded_mismatches += candidates[best] != path;
        }
        // And with every block of three nodes or more narrowed first.
        const auto narrowed =
            vorn::highest_sum_by_blocks(search, values, margin, vorn::never_stop(), kNeverBySubset, kAlwaysNarrowed);
        if (narrowed.decided) {
            ++narrowed_decided;
            Path path;
            for (std::uint32_t node : *narrowed.path) path.emplace_back(search.name(node));
            narrowed_mismatches += candidates[best] != path;
        }
        inexact += margin.relative > 0.0;

        bool tie = false, near = false;
        for (std::size_t k = 0; k < candidates.size(); ++k) {
            tie = tie || (candidates[k] != candidates[best] && scores[k] == scores[best]);
            near = near || (scores[k] != scores[best] && std::abs(scores[k] - scores[best]) <= 1e-12 * scores[best]);
        }
        exact_ties += tie;
        near_ties += near;
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(bounded_mismatches, 0);
    EXPECT_GT(bounded_decided, 1600);
    EXPECT_EQ(narrowed_mismatches, 0);
    EXPECT_GT(narrowed_decided, 1600);
    EXPECT_GT(exact_ties, 300);
    EXPECT_GT(near_ties, 40);
    EXPECT_GT(inexact, 1000);
}

TEST(BlockRoute, a_lone_block_cuts_only_visits_that_cannot_be_chosen) {
    // One well-meshed block (a ring with chords, links repeated now and
    // then), where many orders of one set of nodes score the same or round
    // to nearly the same: the branch and bound in candidate order that cuts
    // dominated visits, with and without the frontier pass first, must pick
    // the exhaustive search's route.
    std::mt19937_64 rng(6007);
    const std::vector<double> tables[] = {{0.1, 0.2, 0.3, 0.7}, {1.0, 2.0, 3.0}, {1.0}, {0.1, 0.2, 0.3, 1e16}, {}};
    int mismatches = 0, ties = 0;
    for (int trial = 0; trial < 400; ++trial) {
        const int n = 6 + static_cast<int>(rng() % 5);
        const auto& table = tables[trial % std::size(tables)];
        auto value = [&] {
            return table.empty() ? std::uniform_real_distribution<double>(0.8, 0.99)(rng) : table[rng() % table.size()];
        };
        std::vector<GraphLink> links;
        std::vector<std::string> nodes;
        auto add = [&](int a, int b) {
            links.push_back(link("N" + std::to_string(a), "N" + std::to_string(b), 1, value(), value()));
            if (rng() % 6 == 0) links.push_back(links.back());
        };
        for (int a = 0; a < n; ++a) {
            nodes.push_back("N" + std::to_string(a));
            add(a, (a + 1) % n);
        }
        for (int chord = static_cast<int>(rng() % (n + 1)); chord > 0; --chord) add(rng() % n, rng() % n);
        std::shuffle(links.begin(), links.end(), rng);
        const NetworkGraph g = make_graph(nodes, links);
        const std::string to = "N" + std::to_string(1 + rng() % (n - 1));
        const std::uint8_t code = trial % 2 ? 2 : 7;
        const Scored expected = scored_candidates(g, "N0", to, code);
        for (std::size_t k = 0; k < expected.scores.size(); ++k) {
            ties += k != expected.chosen && expected.scores[k] == expected.scores[expected.chosen];
        }
        vorn::SearchGraph search(g, "N0", to);
        const auto values = vorn::hop_values(g, search, vorn::route_objective_of_code(code));
        const auto margin = vorn::sum_margin(values, vorn::joined_component(search, search.from()));
        for (const vorn::FrontierRule& frontier : {vorn::FrontierRule{1u << 30}, kAlwaysNarrowed}) {
            const auto found =
                vorn::highest_sum_by_blocks(search, values, margin, vorn::never_stop(), kNeverBySubset, frontier);
            ASSERT_TRUE(found.decided && found.path);
            Path path;
            for (std::uint32_t node : *found.path) path.emplace_back(search.name(node));
            mismatches += path != expected.candidates[expected.chosen];
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(ties, 2000);
}

TEST(BlockRoute, a_near_tie_in_one_block_is_settled_by_the_rounding_around_it) {
    // In the block S..E, S-Y-Z-E scores 0.1 + 0.2 (0.30000000000000004) and
    // S-X-E scores 0.3: alone the first wins, but the score before the block
    // (P-S) and after it (E-T) can round both to one total, or reverse them.
    // Links are shuffled and flipped, which moves both the tie order and the
    // link that supplies each node's value.
    std::mt19937_64 rng(11);
    const double befores[] = {0.0, 1.0, 0.7, 1e16}, afters[] = {0.5, 1e16, 9007199254740992.0, 3.0};
    int mismatches = 0, tied = 0;
    for (double before : befores) {
        for (double after : afters) {
            for (int order = 0; order < 40; ++order) {
                std::vector<GraphLink> links{link("P", "S", 1, before, 1.0), link("S", "X", 1, 0.3, 1.0),
                                             link("X", "E", 1, 0.3, 1.0),    link("S", "Y", 1, 0.1, 1.0),
                                             link("Y", "Z", 1, 0.2, 1.0),    link("Z", "E", 1, 0.2, 1.0),
                                             link("E", "T", 1, after, 1.0)};
                std::shuffle(links.begin(), links.end(), rng);
                for (GraphLink& l : links) {
                    if (rng() % 2) std::swap(l.from_node, l.to);
                }
                const NetworkGraph g = make_graph({"P", "S", "X", "Y", "Z", "E", "T"}, links);
                const auto candidates = vorn::list_route_candidates(g, "P", "T");
                const auto expected = vorn::route_reference::reference_route(g, candidates, 2);
                ASSERT_TRUE(expected);
                mismatches += vorn::find_route(g, "P", "T", vorn::route_objective_of_code(2))->path != expected->first;
                tied += reference_score(g, candidates.front(), 2) == reference_score(g, candidates.back(), 2) &&
                        candidates.front() != candidates.back();
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(tied, 40);
}

TEST(BlockRoute, routes_through_complete_graphs_match_the_exhaustive_search) {
    // One dense block, searched by subset: every route through all nodes has
    // the same exact sum, so roundings and ranks decide among many of them.
    std::mt19937_64 rng(5);
    const std::vector<double> tables[] = {{0.1, 0.2, 0.3, 0.7}, {1.0, 2.0, 3.0}, {0.1}, {}};
    int mismatches = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const int n = 4 + static_cast<int>(rng() % 3);
        const auto& table = tables[rng() % std::size(tables)];
        std::vector<GraphLink> links;
        std::vector<std::string> nodes;
        for (int a = 0; a < n; ++a) {
            nodes.push_back("N" + std::to_string(a));
            for (int b = a + 1; b < n; ++b) {
                const double f = table.empty() ? std::uniform_real_distribution<double>(0.8, 0.99)(rng)
                                               : table[rng() % table.size()];
                links.push_back(link("N" + std::to_string(a), "N" + std::to_string(b), 1, f, 1.0));
                if (rng() % 2) std::swap(links.back().from_node, links.back().to);
            }
        }
        std::shuffle(links.begin(), links.end(), rng);
        const NetworkGraph g = make_graph(nodes, links);
        const Scored expected = scored_candidates(g, "N0", "N1", 2);
        mismatches += vorn::find_route(g, "N0", "N1", vorn::route_objective_of_code(2))->path !=
                      expected.candidates[expected.chosen];
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(BlockRoute, branch_and_bound_and_search_by_subset_agree_on_larger_blocks) {
    // Rings of 20 nodes with chords, too large for the exhaustive reference:
    // the two exact methods, checked against it on small blocks above, must
    // agree here, where the branch and bound meets the same states often.
    std::mt19937_64 rng(17);
    const std::vector<double> tables[] = {{0.1, 0.2, 0.3, 0.7}, {1.0, 2.0, 3.0}, {}};
    int disagreements = 0, decided = 0;
    for (int trial = 0; trial < 150; ++trial) {
        const int n = 20;
        const auto& table = tables[trial % std::size(tables)];
        auto value = [&] {
            return table.empty() ? std::uniform_real_distribution<double>(0.8, 0.99)(rng) : table[rng() % table.size()];
        };
        std::vector<GraphLink> links;
        std::vector<std::string> nodes;
        for (int a = 0; a < n; ++a) {
            nodes.push_back("N" + std::to_string(a));
            links.push_back(link("N" + std::to_string(a), "N" + std::to_string((a + 1) % n), 1, value(), 1.0));
        }
        for (int chord = 0; chord < 8; ++chord) {
            links.push_back(link("N" + std::to_string(rng() % n), "N" + std::to_string(rng() % n), 1, value(), 1.0));
        }
        std::shuffle(links.begin(), links.end(), rng);
        const NetworkGraph g = make_graph(nodes, links);
        const std::string to = "N" + std::to_string(1 + rng() % (n - 1));
        vorn::SearchGraph search(g, "N0", to);
        const auto values = vorn::hop_values(g, search, vorn::RouteObjective::kHighestSuccess);
        const auto margin = vorn::sum_margin(values, vorn::joined_component(search, search.from()));
        const auto by_subset = vorn::highest_sum_by_blocks(search, values, margin, vorn::never_stop(), {20, 20, 0.0});
        const auto bounded = vorn::highest_sum_by_blocks(search, values, margin, vorn::never_stop(), kNeverBySubset);
        const auto narrowed =
            vorn::highest_sum_by_blocks(search, values, margin, vorn::never_stop(), kNeverBySubset, kAlwaysNarrowed);
        if (!by_subset.decided || !bounded.decided || !narrowed.decided) continue;
        ++decided;
        disagreements += by_subset.path != bounded.path;
        disagreements += by_subset.path != narrowed.path;
    }
    EXPECT_EQ(disagreements, 0);
    EXPECT_GT(decided, 75);
}

TEST(BlockRoute, too_many_near_ties_in_a_block_search_the_whole_graph) {
    // 70 two-hop sub-routes between A and B, all of one inexact score: more
    // than a block keeps, so the whole graph decides, with the same choice.
    std::vector<GraphLink> links{link("S", "A", 1, 0.1, 3.0)};
    std::vector<std::string> nodes{"S", "A", "B", "T"};
    for (int k = 0; k < 70; ++k) {
        const std::string middle = "M" + std::to_string(k);
        links.push_back(link("A", middle, 1, 0.1, 1.0));
        links.push_back(link(middle, "B", 1, 0.3, 1.0));
        nodes.push_back(middle);
    }
    links.push_back(link("B", "T", 1, 0.7, 1.0));
    const NetworkGraph g = make_graph(nodes, links);
    vorn::SearchGraph search(g, "S", "T");
    const auto values = vorn::hop_values(g, search, vorn::RouteObjective::kHighestSuccess);
    const auto margin = vorn::sum_margin(values, vorn::joined_component(search, search.from()));
    ASSERT_GT(margin.relative, 0.0);
    EXPECT_FALSE(vorn::highest_sum_by_blocks(search, values, margin, vorn::never_stop()).decided);
    const auto expected = vorn::route_reference::reference_route(g, vorn::list_route_candidates(g, "S", "T"), 2);
    ASSERT_TRUE(expected);
    EXPECT_EQ(vorn::find_route(g, "S", "T", vorn::route_objective_of_code(2))->path, expected->first);
}

TEST(BlockRoute, a_lone_block_settles_its_near_ties_itself) {
    // 70 three-hop routes from A to B through M(k) and N(k), whose two
    // decimal values often have one sum that rounds differently in the fold:
    // far more near ties than a block keeps, all in the only block, which
    // now decides without searching the whole graph.
    std::mt19937_64 rng(29);
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<GraphLink> links;
        std::vector<std::string> nodes{"A", "B"};
        for (int k = 0; k < 70; ++k) {
            const std::string m = "M" + std::to_string(k), n = "N" + std::to_string(k);
            links.push_back(link("A", m, 1, 0.1 * static_cast<double>(1 + rng() % 9), 1.0));
            if (rng() % 2) std::swap(links.back().from_node, links.back().to);
            links.push_back(link(m, n, 1, 0.1 * static_cast<double>(1 + rng() % 9), 1.0));
            links.push_back(link(n, "B", 1, 0.5, 1.0));
            if (rng() % 8 == 0) links.push_back(links[links.size() - 2]);  // a parallel link repeats a route
            nodes.push_back(m);
            nodes.push_back(n);
        }
        const NetworkGraph g = make_graph(nodes, links);
        vorn::SearchGraph search(g, "A", "B");
        const auto values = vorn::hop_values(g, search, vorn::RouteObjective::kHighestSuccess);
        const auto margin = vorn::sum_margin(values, vorn::joined_component(search, search.from()));
        ASSERT_GT(margin.relative, 0.0);
        const auto by_blocks = vorn::highest_sum_by_blocks(search, values, margin, vorn::never_stop());
        ASSERT_TRUE(by_blocks.decided && by_blocks.path);
        const auto expected = vorn::route_reference::reference_route(g, vorn::list_route_candidates(g, "A", "B"), 2);
        ASSERT_TRUE(expected);
        Path path;
        for (std::uint32_t node : *by_blocks.path) path.emplace_back(search.name(node));
        EXPECT_EQ(path, expected->first);
        EXPECT_EQ(vorn::find_route(g, "A", "B", vorn::route_objective_of_code(2))->path, expected->first);
    }
}

TEST(BlockRoute, a_long_row_of_squares_takes_the_better_side_of_each) {
    // Square k joins C(k) to C(k+1) through X(k) and Y(k); whole-number
    // values, distinct within each square, so the best route is known.
    const int squares = 20000;
    std::mt19937_64 rng(3);
    NetworkGraph g;
    Path best{"C0"};
    for (int k = 0; k < squares; ++k) {
        const std::string c = "C" + std::to_string(k), next = "C" + std::to_string(k + 1);
        const std::string x = "X" + std::to_string(k), y = "Y" + std::to_string(k);
        const double vx = static_cast<double>(1 + rng() % 50), vy = vx + static_cast<double>(1 + rng() % 50);
        // Each side's own link comes first, so it supplies the side's value.
        g.links.push_back(link(c, x, 1, vx, 1.0));
        g.links.push_back(link(c, y, 1, vy, 1.0));
        g.links.push_back(link(x, next, 1, 1.0, 1.0));
        g.links.push_back(link(y, next, 1, 1.0, 1.0));
        best.push_back(y);
        best.push_back(next);
    }
    for (const auto& id : best) g.nodes.insert({id, 1.0});
    const auto route = vorn::find_route(g, "C0", "C" + std::to_string(squares), vorn::route_objective_of_code(2));
    ASSERT_TRUE(route);
    EXPECT_EQ(route->path, best);
}

}  // namespace

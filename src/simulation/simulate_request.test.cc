#include "simulation/simulate_request.h"

#include <algorithm>
#include <set>
#include <utility>

#include "routing/route_search.h"
#include "simulation/request_physics.h"
#include "network/test_graphs.testing.h"
#include "simulation/test_networks.testing.h"
#include <gtest/gtest.h>

namespace {

using vorn::ChaCha12Generator;
using vorn::EngineConfig;
using vorn::EntanglementRequest;
using vorn::GraphLink;
using vorn::NetworkGraph;
using vorn::RequestContext;
using vorn::RequestOutcome;
using vorn::RequestTallies;
using vorn::StrategyType;
using vorn::test_support::link;
using vorn::test_support::make_graph;
using vorn::test_support::same_real;
using Path = std::vector<std::string>;
using Usage = std::map<std::string, std::uint64_t>;

// ---- the naive reference request: a pending queue and a ready list
// of pairs named by their nodes, text keys, and the swap set of sorted keys.

struct Pair {
    std::string a, b;
    double fidelity;
    double created;
};

const GraphLink* first_joining(const NetworkGraph& g, const std::string& a, const std::string& b) {
    for (const auto& l : g.links) {
        if ((l.from_node == a && l.to == b) || (l.to == a && l.from_node == b)) return &l;
    }
    return nullptr;
}

std::pair<std::string, std::string> sorted_key(const std::string& a, const std::string& b) {
    return a < b ? std::make_pair(a, b) : std::make_pair(b, a);
}

RequestOutcome reference_simulate(const NetworkGraph& g, RequestContext& context, RequestTallies& tallies,
                                  const EntanglementRequest& request, ChaCha12Generator& generator,
                                  ChaCha12Generator& loss) {
    const double d = request.fidelity_target, V = request.max_latency_ms, beta = context.config.baseline_purify_factor;
    const std::uint8_t s = request.strategy ? static_cast<std::uint8_t>(*request.strategy) : 1;
    auto route = vorn::find_route(g, request.from_node, request.to, vorn::route_objective_of_code(s));
    if (!route) return {};
    if (s == 1 && d > route->fidelity) {
        route = vorn::find_route(g, request.from_node, request.to, vorn::RouteObjective::kLowestLatency);
        if (!route) return {};
    }
    const Path& path = route->path;
    const double f0 = route->fidelity;
    if (d > f0 && d > vorn::purify_fidelity(f0, beta)) return {false, 0.0, 0.0, path};
    double t = 0.0;
    for (std::size_t i = 1; i < path.size(); ++i) {
        const GraphLink* l = first_joining(g, path[i - 1], path[i]);
        t += (l ? l->distance_km : 0.0) / context.config.speed_of_light_in_fiber_km_ms;
    }
    if (t > V) return {false, t, 0.0, path};

    double w = 0.0, F = f0;
    std::vector<Pair> pending, ready;
    while (V > w && context.config.total_time_cutoff_ms > w) {
        for (std::size_t i = 1; i < path.size(); ++i) {
            const std::string &a = path[i - 1], &b = path[i];
            context.link_usage[a + "->" + b] += 1;
            const GraphLink* l = first_joining(g, a, b);
            const double p = l ? vorn::hop_success_probability(l->distance_km, l->base_fidelity, d) : 0.0;
            const double r = generator.uniform_closed01();
            if (p > r) {
                pending.push_back({a, b, l ? l->base_fidelity : 0.0, w});
            } else {
                tallies.drops += 1;
            }
        }
        std::stable_sort(pending.begin(), pending.end(),
                         [](const Pair& x, const Pair& y) { return x.created < y.created; });
        while (!pending.empty() && !(pending.front().created > w)) {
            Pair pair = pending.front();
            pending.erase(pending.begin());
            if (!(loss.uniform_range(0.0, 1.0) < 0.1)) ready.push_back(pair);
        }
        if (tallies.drops != 0) {
            ready.clear();
            w += 2.5;
            continue;
        }
        std::set<std::pair<std::string, std::string>> keys;
        for (const Pair& pair : ready) keys.insert(sorted_key(pair.a, pair.b));
        bool complete = true;
        for (std::size_t i = 1; i < path.size() && complete; ++i)
            complete = keys.count(sorted_key(path[i - 1], path[i])) > 0;
        if (complete && path.size() >= 3) {
            F = 1.0;
            for (std::size_t i = 1; i < path.size(); ++i) {
                for (const Pair& pair : ready) {
                    if (sorted_key(pair.a, pair.b) == sorted_key(path[i - 1], path[i])) {
                        F *= pair.fidelity;
                        break;
                    }
                }
            }
            for (std::size_t i = 0; i + 2 < path.size(); ++i) F = vorn::purify_fidelity(F, beta);
        }
        ready.clear();
        if (d > F && F > 0.5) {
            w += 0.85;
            F = vorn::purify_fidelity(F, beta);
        }
        if (F >= d || w >= V) return F >= d ? RequestOutcome{true, w, F, path} : RequestOutcome{false, w, 0.0, path};
        tallies.drops = 0;
        w += 2.5;
    }
    return {false, w, 0.0, path};
}

bool same_outcome(const RequestOutcome& a, const RequestOutcome& b) {
    return a.success == b.success && same_real(a.latency_ms, b.latency_ms) &&
           same_real(a.final_fidelity, b.final_fidelity) && a.execution_path == b.execution_path;
}

struct RequestRun {
    RequestOutcome outcome;
    Usage usage;
    std::uint64_t drops = 0;
};

// The first draws of the all-zero-key stream are 0.328... and 0.834...;
// the cases below are built around them.
RequestRun run_zero_key(const NetworkGraph& g, const EngineConfig& config, const EntanglementRequest& request,
                        int skipped_draws = 0, std::uint64_t loss_seed = 1) {
    RequestContext context{config, {}};
    RequestTallies tallies;
    ChaCha12Generator generator(ChaCha12Generator::Key{});
    for (int i = 0; i < skipped_draws; ++i) generator.next_u64();
    ChaCha12Generator loss(ChaCha12Generator::key_from_u64(loss_seed), 1);
    RequestRun run;
    run.outcome = vorn::simulate_request(g, context, tallies, request, generator, loss);
    run.usage = context.link_usage;
    run.drops = tallies.drops;
    return run;
}

const EngineConfig kConfig022{0.022, 200.0, 5000.0, 0.1};

}  // namespace

TEST(SimulateRequest, simulate_request_matches_literal_rounds_on_random_networks) {
    std::mt19937_64 rng(5150);
    int mismatches = 0, successes = 0, rounds_run = 0;
    const int cases = 6000;
    for (int i = 0; i < cases; ++i) {
        const NetworkGraph g = vorn::test_support::random_network(rng);
        const EngineConfig config = vorn::test_support::random_config(rng);
        const EntanglementRequest request = vorn::test_support::random_request(rng);
        const std::uint64_t seed = rng();
        RequestContext context{config, {}}, expected_context{config, {}};
        RequestTallies tallies, expected_tallies;
        auto key = ChaCha12Generator::key_from_u64(seed);
        ChaCha12Generator generator(key), loss(key, 1), expected_generator(key), expected_loss(key, 1);
        const RequestOutcome actual = vorn::simulate_request(g, context, tallies, request, generator, loss);
        const RequestOutcome expected =
            reference_simulate(g, expected_context, expected_tallies, request, expected_generator, expected_loss);
        // The loss stream may end at a different place (abandoned rounds
        // skip their loss draws); everything observable must agree.
        const bool same = same_outcome(actual, expected) && context.link_usage == expected_context.link_usage &&
                          tallies.drops == expected_tallies.drops &&
                          generator.next_u64() == expected_generator.next_u64();
        mismatches += same ? 0 : 1;
        successes += expected.success ? 1 : 0;
        rounds_run += expected_context.link_usage.empty() ? 0 : 1;
    }
    EXPECT_EQ(mismatches, 0);
    // The cases must exercise both endings and the round loop.
    EXPECT_GT(successes, cases / 20);
    EXPECT_GT(rounds_run, cases / 10);
}

TEST(SimulateRequest, simulate_request_ends_before_rounds_without_drawing) {
    const NetworkGraph g = make_graph({"A", "B", "C"}, {link("A", "B", 1000.0, 0.9), link("B", "C", 10.0, 0.5)});
    struct Case {
        const char* name;
        EntanglementRequest request;
        RequestOutcome expected;
    };
    const Case cases[] = {
        {"no route", {"A", "Z", 0.5, 100.0, {}}, {false, 0.0, 0.0, {}}},
        {"empty path endpoint", {"Z", "A", 0.5, 100.0, {}}, {false, 0.0, 0.0, {}}},
        // 1000 km at 200 km/ms signals for 5 ms, beyond the 4 ms budget.
        {"signalling", {"A", "B", 0.9, 4.0, {}}, {false, 5.0, 0.0, {"A", "B"}}},
        // G(0.5) = 0.647 with beta 0.022 stays below 0.99.
        {"infeasible", {"B", "C", 0.99, 100.0, StrategyType::LowestLatency}, {false, 0.0, 0.0, {"B", "C"}}},
    };
    for (const Case& c : cases) {
        const RequestRun run = run_zero_key(g, kConfig022, c.request);
        EXPECT_TRUE(same_outcome(run.outcome, c.expected));
        EXPECT_TRUE(run.usage.empty());
        EXPECT_EQ(run.drops, std::uint64_t{0});
    }
    // Empty network.
    EXPECT_TRUE(same_outcome(run_zero_key(NetworkGraph{}, kConfig022, {"A", "A", 0.5, 1.0, {}}).outcome, {}));
}

TEST(SimulateRequest, simulate_request_single_node_and_zero_budget) {
    const NetworkGraph g = make_graph({"A", "B"}, {link("A", "B", 0.0, 0.95)});
    // A one-node route meets any target up to 1 in its first round.
    const RequestRun self = run_zero_key(g, kConfig022, {"A", "A", 1.0, 10.0, {}});
    EXPECT_TRUE(same_outcome(self.outcome, {true, 0.0, 1.0, {"A"}}));
    EXPECT_TRUE(self.usage.empty());
    // A zero budget runs no round.
    const RequestRun zero = run_zero_key(g, kConfig022, {"A", "B", 0.9, 0.0, {}});
    EXPECT_TRUE(same_outcome(zero.outcome, {false, 0.0, 0.0, {"A", "B"}}));
    EXPECT_TRUE(zero.usage.empty());
}

TEST(SimulateRequest, simulate_request_one_hop_first_draw_decides) {
    // 200 km: p = 0.8. The first draw 0.328 succeeds; the loss draw cannot
    // matter because a lost pair leaves F at the link fidelity.
    const NetworkGraph g = make_graph({"A", "B"}, {link("A", "B", 200.0, 0.9)});
    for (std::uint64_t loss_seed = 0; loss_seed < 20; ++loss_seed) {
        const RequestRun run = run_zero_key(g, kConfig022, {"A", "B", 0.9, 100.0, {}}, 0, loss_seed);
        EXPECT_TRUE(same_outcome(run.outcome, {true, 0.0, 0.9, {"A", "B"}}));
        EXPECT_EQ(run.usage, (Usage{{"A->B", 1}}));
    }
    // Skipping one draw makes the first attempt draw 0.834 > 0.8: every later
    // round is abandoned, four rounds fit in 10 ms and the request fails at 10.
    const RequestRun failed = run_zero_key(g, kConfig022, {"A", "B", 0.9, 10.0, {}}, 1);
    EXPECT_TRUE(same_outcome(failed.outcome, {false, 10.0, 0.0, {"A", "B"}}));
    EXPECT_EQ(failed.usage, (Usage{{"A->B", 4}}));
    ChaCha12Generator draws(ChaCha12Generator::Key{});
    draws.next_u64();
    std::uint64_t expected_drops = 0;
    for (int i = 0; i < 4; ++i) expected_drops += 0.8 > draws.uniform_closed01() ? 0 : 1;
    EXPECT_GE(expected_drops, 1);
    EXPECT_EQ(failed.drops, expected_drops);
}

TEST(SimulateRequest, simulate_request_counts_every_attempt_of_abandoned_rounds) {
    // Hop A-B (100 km, p 0.8875) takes draw 0.328, hop B-C (200 km, p 0.8)
    // draw 0.834 and fails; rounds at 0, 2.5 and 5 ms are all abandoned.
    const NetworkGraph g = make_graph({"A", "B", "C"}, {link("B", "A", 100.0, 0.9), link("C", "B", 200.0, 0.9)});
    const RequestRun run = run_zero_key(g, kConfig022, {"A", "C", 0.5, 7.5, {}});
    EXPECT_TRUE(same_outcome(run.outcome, {false, 7.5, 0.0, {"A", "B", "C"}}));
    EXPECT_EQ(run.usage, (Usage{{"A->B", 3}, {"B->C", 3}}));
    // The reversed request keys its hops in its own direction.
    const RequestRun back = run_zero_key(g, kConfig022, {"C", "A", 0.5, 7.5, {}});
    EXPECT_EQ(back.usage.count("C->B"), 1);
    EXPECT_EQ(back.usage.count("B->A"), 1);
    EXPECT_EQ(back.usage.size(), 2);
}

TEST(SimulateRequest, simulate_request_purifies_with_the_context_factor) {
    // 10 km, target 0.95 above the link's 0.9: p = 0.98 - 0.015; the first
    // draw succeeds, one purification (0.85 ms) lifts F to G(0.9).
    const NetworkGraph g = make_graph({"A", "B"}, {link("A", "B", 10.0, 0.9)});
    const RequestRun low = run_zero_key(g, kConfig022, {"A", "B", 0.95, 100.0, {}});
    EXPECT_TRUE(same_outcome(low.outcome, {true, 0.85, 0.9531224489795919, {"A", "B"}}));
    const RequestRun high = run_zero_key(g, {0.12, 200.0, 5000.0, 0.1}, {"A", "B", 0.95, 100.0, {}});
    EXPECT_TRUE(same_outcome(high.outcome, {true, 0.85, 0.999, {"A", "B"}}));
}

TEST(SimulateRequest, simulate_request_falls_back_to_lowest_latency_route) {
    // The fidelity route A-D-C (0.9025) cannot meet 0.95; only strategy 1
    // (given or by default) falls back to the latency route A-B-C (0.49),
    // which is then infeasible.
    const NetworkGraph g = make_graph({"A", "B", "C", "D"}, {link("A", "B", 5.0, 0.7), link("B", "C", 5.0, 0.7),
                                                             link("A", "D", 300.0, 0.95), link("D", "C", 300.0, 0.95)});
    const EngineConfig config{0.12, 200.0, 5000.0, 0.1};
    const Path latency_route{"A", "B", "C"}, fidelity_route{"A", "D", "C"};
    EXPECT_EQ(run_zero_key(g, config, {"A", "C", 0.95, 100.0, {}}).outcome.execution_path, latency_route);
    EXPECT_EQ(run_zero_key(g, config, {"A", "C", 0.95, 100.0, StrategyType::HighestFidelity}).outcome.execution_path,
              latency_route);
    EXPECT_EQ(run_zero_key(g, config, {"A", "C", 0.95, 100.0, StrategyType::HighestSuccess}).outcome.execution_path,
              fidelity_route);
    EXPECT_EQ(run_zero_key(g, config, {"A", "C", 0.9, 100.0, {}}).outcome.execution_path, fidelity_route);
}

TEST(SimulateRequest, add_link_usage_adds_per_hop_and_merges_equal_keys) {
    Usage usage{{"A->B", 2}};
    vorn::add_link_usage(usage, {"A", "B", "C"}, 3);
    vorn::add_link_usage(usage, {"A", "B"}, 0);
    EXPECT_EQ(usage, (Usage{{"A->B", 5}, {"B->C", 3}}));
    // Different hops can spell the same key; their counts add up.
    Usage odd;
    vorn::add_link_usage(odd, {"x", "->y", "x->", "y"}, 2);
    EXPECT_EQ(odd["x->->y"], std::uint64_t{4});
}

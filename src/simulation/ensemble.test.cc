#include "simulation/ensemble.h"

#include <cmath>
#include <string>

#include "simulation/simulate_request.h"
#include "simulation/test_networks.testing.h"
#include <gtest/gtest.h>

namespace {

using vorn::ChaCha12Generator;
using vorn::EnsembleOutcome;
using vorn::EntanglementRequest;
using vorn::test_support::same_real;

// The configuration and the graph that an ensemble runs with.
struct Network {
    vorn::EngineConfig config;
    vorn::NetworkGraph graph;
};

// The naive reference ensemble, run by run: a fresh context, tallies and pair of
// generators per run, one simulate_request each, merged in run order.
EnsembleOutcome per_run_reference(const Network& network, const EntanglementRequest& request, std::uint64_t runs,
                                  std::uint64_t seed) {
    EnsembleOutcome out;
    std::int32_t successes = 0;
    double fidelity_sum = 0.0, latency_sum = 0.0;
    for (std::uint64_t i = 0; i < runs; ++i) {
        vorn::RequestContext context{network.config, {}};
        vorn::RequestTallies tallies;
        const auto key = ChaCha12Generator::key_from_u64(seed + i);
        ChaCha12Generator generator(key, 0), loss(key, 1);
        const auto result = vorn::simulate_request(network.graph, context, tallies, request, generator, loss);
        if (result.success) {
            ++successes;
            fidelity_sum += result.final_fidelity;
        }
        latency_sum += result.latency_ms;
        out.aggregate_congestion_drops += tallies.drops;
        for (const auto& [label, count] : context.link_usage) out.link_usage[label] += count;
    }
    out.total_runs = runs;
    out.empirical_success_rate = static_cast<double>(successes) / static_cast<double>(runs);
    out.mean_latency_ms = latency_sum / static_cast<double>(runs);
    out.mean_fidelity = successes >= 1 ? fidelity_sum / successes : 0.0;
    return out;
}

vorn::LinkDefinition fiber(std::string a, std::string b, double distance_km, double fidelity, double rate_hz) {
    vorn::LinkDefinition link;
    link.from_node = std::move(a);
    link.to = std::move(b);
    link.distance_km = distance_km;
    link.base_fidelity = fidelity;
    link.generation_rate_hz = rate_hz;
    return link;
}

bool same_outcome(const EnsembleOutcome& a, const EnsembleOutcome& b) {
    return a.link_usage == b.link_usage && a.total_runs == b.total_runs &&
           same_real(a.empirical_success_rate, b.empirical_success_rate) &&
           same_real(a.mean_latency_ms, b.mean_latency_ms) && same_real(a.mean_fidelity, b.mean_fidelity) &&
           a.aggregate_congestion_drops == b.aggregate_congestion_drops;
}

Network chain_network(double beta) {
    return {vorn::EngineConfig{beta, 200.0, 5000.0, 0.1},
            vorn::build_graph({{"N0", 150.0}, {"N1", 150.0}, {"N2", 150.0}, {"N3", 150.0}},
                              {fiber("N0", "N1", 100.0, 0.92, 800.0), fiber("N1", "N2", 100.0, 0.92, 800.0),
                               fiber("N2", "N3", 100.0, 0.92, 800.0)})};
}

}  // namespace

TEST(Ensemble, ensemble_equals_simulate_request_run_by_run) {
    std::mt19937_64 rng(777);
    const std::uint64_t seeds[] = {0, 1, 12345, ~std::uint64_t{0} - 3};  // the last wraps to 0
    int mismatches = 0, mixed = 0;
    for (int i = 0; i < 1500; ++i) {
        const vorn::EngineConfig config = vorn::test_support::random_config(rng);
        const Network network{config, vorn::test_support::random_network(rng)};
        const EntanglementRequest request = vorn::test_support::random_request(rng);
        const std::uint64_t runs = rng() % 25;
        const std::uint64_t seed = i < 200 ? seeds[i % 4] : rng();
        const EnsembleOutcome actual = vorn::run_ensemble(network.graph, network.config, request, runs, seed);
        mismatches += same_outcome(actual, per_run_reference(network, request, runs, seed)) ? 0 : 1;
        mixed += actual.empirical_success_rate > 0.0 && actual.empirical_success_rate < 1.0 ? 1 : 0;
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(mixed, 50);  // some ensembles mix successes and failures
}

TEST(Ensemble, ensemble_with_zero_runs_has_nan_rate_and_latency) {
    const Network chain = chain_network(0.12);
    const EnsembleOutcome out = vorn::run_ensemble(chain.graph, chain.config, {"N0", "N3", 0.9, 100.0, {}}, 0, 5);
    EXPECT_EQ(out.total_runs, std::uint64_t{0});
    EXPECT_TRUE(std::isnan(out.empirical_success_rate));
    EXPECT_TRUE(std::isnan(out.mean_latency_ms));
    EXPECT_EQ(out.mean_fidelity, 0.0);
    EXPECT_EQ(out.aggregate_congestion_drops, std::uint64_t{0});
    EXPECT_TRUE(out.link_usage.empty());
}

TEST(Ensemble, ensemble_is_reproducible_and_prefix_stable) {
    const Network chain = chain_network(0.12);
    const EntanglementRequest request{"N0", "N3", 0.9, 100.0, {}};
    const EnsembleOutcome a = vorn::run_ensemble(chain.graph, chain.config, request, 300, 42);
    EXPECT_TRUE(same_outcome(a, vorn::run_ensemble(chain.graph, chain.config, request, 300, 42)));
    EXPECT_FALSE(same_outcome(a, vorn::run_ensemble(chain.graph, chain.config, request, 300, 43)));
    EXPECT_GT(a.empirical_success_rate, 0.0);
    EXPECT_LT(a.empirical_success_rate, 1.0);
    // Every run counts one attempt per hop per round on all three hops.
    EXPECT_EQ(a.link_usage.size(), std::size_t{3});
    EXPECT_EQ(a.link_usage.at("N0->N1"), a.link_usage.at("N2->N3"));
    EXPECT_GE(a.link_usage.at("N1->N2"), 300);
    // Runs 0..9 of seed 42 are the ten runs of seed 42 whatever the total;
    // run 1 of seed 2^64 - 1 is run 0 of seed 0.
    const EnsembleOutcome ten = vorn::run_ensemble(chain.graph, chain.config, request, 10, 42);
    EXPECT_TRUE(same_outcome(ten, per_run_reference(chain, request, 10, 42)));
    const EnsembleOutcome wrapped = vorn::run_ensemble(chain.graph, chain.config, request, 2, ~std::uint64_t{0});
    const EnsembleOutcome last = vorn::run_ensemble(chain.graph, chain.config, request, 1, ~std::uint64_t{0});
    const EnsembleOutcome first = vorn::run_ensemble(chain.graph, chain.config, request, 1, 0);
    EXPECT_TRUE(same_real(wrapped.mean_latency_ms, (last.mean_latency_ms + first.mean_latency_ms) / 2.0));
    EXPECT_EQ(wrapped.aggregate_congestion_drops, last.aggregate_congestion_drops + first.aggregate_congestion_drops);
}

TEST(Ensemble, ensemble_without_successes_averages_failed_latencies) {
    // A 1000 km link signals for 5 ms against a 4 ms budget: every run fails
    // with latency 5 before drawing anything.
    const vorn::NetworkGraph graph =
        vorn::build_graph({{"A", 1.0}, {"B", 1.0}}, {fiber("A", "B", 1000.0, 0.95, 100.0)});
    const EnsembleOutcome out =
        vorn::run_ensemble(graph, vorn::EngineConfig{}, {"A", "B", 0.9, 4.0, {}}, 7, std::nullopt);
    EXPECT_EQ(out.empirical_success_rate, 0.0);
    EXPECT_EQ(out.mean_latency_ms, 5.0);
    EXPECT_EQ(out.mean_fidelity, 0.0);
    EXPECT_TRUE(out.link_usage.empty());
}

// Chunks run on worker threads but are added in run order: any thread count
// gives the per-run reference bit for bit, also with a last partial chunk.
TEST(Ensemble, ensemble_is_bit_identical_for_every_thread_count) {
    const Network chain = chain_network(0.12);
    std::mt19937_64 rng(99);
    const Network random_network{vorn::EngineConfig{0.022, 200.0, 5000.0, 0.1},
                                 vorn::test_support::random_network(rng)};
    struct Case {
        const Network* network;
        EntanglementRequest request;
    } cases[] = {{&chain, {"N0", "N3", 0.9, 100.0, {}}}, {&chain, {"N0", "N3", 0.95, 40.0, {}}}};
    const std::uint64_t runs = 2 * vorn::kParallelEnsembleRuns + 4099;
    for (const Case& c : cases) {
        const EnsembleOutcome reference = per_run_reference(*c.network, c.request, runs, 31);
        EXPECT_GT(reference.empirical_success_rate, 0.0);
        EXPECT_LT(reference.empirical_success_rate, 1.0);
        for (unsigned threads : {1u, 2u, 3u, 8u}) {
            EXPECT_TRUE(same_outcome(vorn::run_ensemble(c.network->graph, c.network->config, c.request, runs, 31,
                                                        vorn::never_stop(), threads),
                                     reference));
        }
    }
}

namespace {
bool stop_on_third_check(void* state) { return ++*static_cast<int*>(state) >= 3; }
}  // namespace

// A stop request ends a long ensemble on one thread and on several (the
// workers are joined before Stopped leaves run_ensemble).
TEST(Ensemble, ensemble_stops_when_its_check_says_so) {
    const Network chain = chain_network(0.12);
    for (unsigned threads : {1u, 2u, 4u}) {
        int checks = 0;
        vorn::StopCheck stop(&stop_on_third_check, &checks);
        EXPECT_THROW(vorn::run_ensemble(chain.graph, chain.config, {"N0", "N3", 0.999, 1e12, {}},
                                        std::uint64_t{1} << 40, 1, stop, threads),
                     vorn::Stopped);
        EXPECT_EQ(checks, 3);
    }
}

#include "analysis/sensitivity_analysis.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

using namespace vorn;

namespace {

// Records each rerun's network, configuration and request and answers with a success rate
// chosen by the test from the call's position.
struct ScriptedReruns {
    struct Call {
        EngineConfig config;
        std::vector<double> node_t2;
        std::vector<GraphLink> links;
        EntanglementRequest request;
        std::uint64_t runs = 0;
        std::optional<std::uint64_t> seed;
    };
    std::function<double(std::size_t call)> rate = [](std::size_t) { return 0.5; };
    std::vector<Call> calls;

    EnsembleRunner runner() {
        return [this](const NetworkGraph& graph, const EngineConfig& config, const EntanglementRequest& request,
                      std::uint64_t runs, std::optional<std::uint64_t> seed) {
            Call call{config, {}, graph.links, request, runs, seed};
            for (const NodeEntry& node : graph.nodes.entries()) call.node_t2.push_back(node.memory_lifetime_t2);
            calls.push_back(std::move(call));
            EnsembleOutcome outcome;
            outcome.empirical_success_rate = rate(calls.size() - 1);
            return outcome;
        };
    }
};

MonteCarloContext two_nodes_one_link() {
    MonteCarloContext context;
    context.nodes = {{"A", 100.0}, {"B", 200.0}};
    context.links = {{"A", "B", 50.0, 0.9, 1000.0}};
    context.from_node = "A";
    context.to_node = "B";
    context.fidelity_target = 0.8;
    context.max_latency_ms = 100.0;
    context.total_time_cutoff_ms = 3000.0;
    context.step_resolution_ms = 0.5;
    context.baseline_purify_factor = 0.05;
    return context;
}

std::vector<std::string> keys(const std::vector<NamedImpact>& impacts) {
    std::vector<std::string> out;
    for (const NamedImpact& entry : impacts) out.push_back(entry.first);
    return out;
}

// The perturbable values of one rerun, in parameter-list order.
std::vector<double> parameter_values(const ScriptedReruns::Call& call) {
    std::vector<double> values = call.node_t2;
    for (const GraphLink& link : call.links) {
        values.push_back(link.distance_km);
        values.push_back(link.base_fidelity);
        values.push_back(link.generation_rate_hz);
    }
    values.push_back(call.config.baseline_purify_factor);
    return values;
}

}  // namespace

TEST(SensitivityAnalysis, sensitivity_run_count_per_node_count) {
    const std::pair<std::size_t, std::uint64_t> cases[] = {{0, 200}, {3, 200}, {4, 200}, {5, 250}, {40, 2000}};
    for (const auto& [nodes, runs] : cases) EXPECT_EQ(sensitivity_runs(nodes), runs);
}

TEST(SensitivityAnalysis, sensitivity_seeds_runs_and_perturbations) {
    ScriptedReruns script;
    const MonteCarloContext context = two_nodes_one_link();
    const std::vector<NamedImpact> impacts = sensitivity_analysis(context, 0.5, 100, script.runner());
    EXPECT_EQ(impacts.size(), 6u);
    EXPECT_EQ(script.calls.size(), 12u);

    const std::vector<double> base{100.0, 200.0, 50.0, 0.9, 1000.0, 0.05};
    for (std::size_t i = 0; i < script.calls.size(); ++i) {
        const ScriptedReruns::Call& call = script.calls[i];
        EXPECT_TRUE(call.seed == std::optional<std::uint64_t>(100 + i));
        EXPECT_EQ(call.runs, 200u);
        // Exactly one value is scaled: parameter i / 2, down first, then up.
        const std::vector<double> values = parameter_values(call);
        for (std::size_t p = 0; p < base.size(); ++p) {
            const double expected = p != i / 2 ? base[p] : base[p] * (i % 2 == 0 ? 0.9 : 1.1);
            EXPECT_EQ(values[p], expected);
        }
        EXPECT_EQ(call.config.speed_of_light_in_fiber_km_ms, 200.0);
        EXPECT_EQ(call.config.total_time_cutoff_ms, 3000.0);
        EXPECT_EQ(call.config.step_resolution_ms, 0.5);
        EXPECT_EQ(call.links[0].link_type, LinkType::Fiber);
        EXPECT_EQ(call.request.from_node + call.request.to, std::string("AB"));
        EXPECT_EQ(call.request.fidelity_target, 0.8);
        EXPECT_EQ(call.request.max_latency_ms, 100.0);
        EXPECT_FALSE(call.request.strategy.has_value());
    }
    // The loss entry scales the stored factor: 0.05 × 0.9 and 0.05 × 1.1.
    EXPECT_EQ(script.calls[10].config.baseline_purify_factor, 0.05 * 0.9);
    EXPECT_EQ(script.calls[11].config.baseline_purify_factor, 0.05 * 1.1);
}

TEST(SensitivityAnalysis, sensitivity_reruns_use_fifty_runs_per_node) {
    ScriptedReruns script;
    MonteCarloContext context = two_nodes_one_link();
    context.nodes = {{"A", 1.0}, {"B", 1.0}, {"C", 1.0}, {"D", 1.0}, {"E", 1.0}};
    context.links.clear();
    const std::vector<NamedImpact> impacts = sensitivity_analysis(context, 0.5, 0, script.runner());
    EXPECT_EQ(impacts.size(), 6u);
    EXPECT_EQ(script.calls.size(), 12u);
    for (const ScriptedReruns::Call& call : script.calls) EXPECT_EQ(call.runs, 250u);
}

TEST(SensitivityAnalysis, sensitivity_seed_base_wraps) {
    ScriptedReruns script;
    MonteCarloContext context = two_nodes_one_link();
    context.links.clear();
    sensitivity_analysis(context, 0.5, std::numeric_limits<std::uint64_t>::max(), script.runner());
    EXPECT_EQ(script.calls.size(), 6u);
    const std::uint64_t expected[] = {std::numeric_limits<std::uint64_t>::max(), 0, 1, 2, 3, 4};
    for (std::size_t i = 0; i < 6; ++i) EXPECT_TRUE(script.calls[i].seed == std::optional<std::uint64_t>(expected[i]));
}

TEST(SensitivityAnalysis, sensitivity_strategy_codes) {
    const std::pair<std::optional<std::uint8_t>, std::optional<StrategyType>> cases[] = {
        {std::nullopt, std::nullopt},      {0, StrategyType::LowestLatency}, {1, StrategyType::HighestFidelity},
        {2, StrategyType::HighestSuccess}, {7, StrategyType::LowestLatency}, {255, StrategyType::LowestLatency},
    };
    for (const auto& [code, strategy] : cases) {
        ScriptedReruns script;
        MonteCarloContext context = two_nodes_one_link();
        context.strategy = code;
        sensitivity_analysis(context, 0.5, 0, script.runner());
        EXPECT_EQ(script.calls.at(0).request.strategy, strategy);
    }
}

TEST(SensitivityAnalysis, sensitivity_impacts_are_ranked_by_deviation) {
    ScriptedReruns script;
    // Rates per call (minus, plus) for: t2 A, t2 B, distance, fidelity, rate, alpha.
    const double rates[] = {0.5, 0.5, 0.4, 0.7, 0.5, 0.6, 0.2, 0.9, 0.45, 0.5, 0.6, 0.4};
    script.rate = [&](std::size_t call) { return rates[call]; };
    const std::vector<NamedImpact> impacts = sensitivity_analysis(two_nodes_one_link(), 0.5, 0, script.runner());
    EXPECT_EQ(keys(impacts),
              (std::vector<std::string>{"base_fidelity:A->B", "memory_lifetime_t2:B", "alpha_loss_db_km",
                                        "distance_km:A->B", "generation_rate_hz:A->B", "memory_lifetime_t2:A"}));
    const double expected[] = {(0.4 + 0.3) / 0.5, (0.2 + 0.1) / 0.5,  (0.1 + 0.1) / 0.5,
                               (0.1 + 0.0) / 0.5, (0.0 + 0.05) / 0.5, 0.0};
    for (std::size_t i = 0; i < impacts.size(); ++i) EXPECT_LT(std::fabs(impacts[i].second - expected[i]), 1e-12);
}

TEST(SensitivityAnalysis, sensitivity_small_baseline_gives_zero_impacts_after_rerunning) {
    for (const double baseline : {0.0, 0.0099}) {
        ScriptedReruns script;
        script.rate = [](std::size_t call) { return call * 0.1; };
        const std::vector<NamedImpact> impacts =
            sensitivity_analysis(two_nodes_one_link(), baseline, 0, script.runner());
        EXPECT_EQ(script.calls.size(), 12u);
        EXPECT_EQ(keys(impacts),
                  (std::vector<std::string>{"memory_lifetime_t2:A", "memory_lifetime_t2:B", "distance_km:A->B",
                                            "base_fidelity:A->B", "generation_rate_hz:A->B", "alpha_loss_db_km"}));
        for (const NamedImpact& entry : impacts) EXPECT_EQ(entry.second, 0.0);
    }
    ScriptedReruns at_threshold;
    at_threshold.rate = [](std::size_t) { return 0.02; };
    const std::vector<NamedImpact> impacts = sensitivity_analysis(two_nodes_one_link(), 0.01, 0, at_threshold.runner());
    EXPECT_LT(std::fabs(impacts[0].second - 2.0), 1e-12);
}

TEST(SensitivityAnalysis, sensitivity_not_a_number_baseline_keeps_parameter_order) {
    ScriptedReruns script;
    const std::vector<NamedImpact> impacts =
        sensitivity_analysis(two_nodes_one_link(), std::nan(""), 0, script.runner());
    EXPECT_EQ(impacts.size(), 6u);
    EXPECT_EQ(impacts.front().first, std::string("memory_lifetime_t2:A"));
    EXPECT_EQ(impacts.back().first, std::string("alpha_loss_db_km"));
    for (const NamedImpact& entry : impacts) EXPECT_TRUE(std::isnan(entry.second));
}

TEST(SensitivityAnalysis, sensitivity_parallel_links_share_display_names) {
    ScriptedReruns script;
    MonteCarloContext context = two_nodes_one_link();
    context.nodes = {{"A", 1.0}};
    context.links = {{"A", "B", 50.0, 0.9, 1000.0}, {"A", "B", 70.0, 0.8, 900.0}, {"B", "A", 1.0, 1.0, 1.0}};
    // Only the first link's distance (calls 2, 3) and the second link's rate
    // (calls 12, 13) move the rate; everything else has impact 0.
    script.rate = [](std::size_t call) {
        if (call == 2) return 0.9;
        if (call == 13) return 0.7;
        return 0.5;
    };
    const std::vector<NamedImpact> impacts = sensitivity_analysis(context, 0.5, 0, script.runner());
    EXPECT_EQ(script.calls.size(), 2u * (1 + 9 + 1));
    // Sorted: distance#1 (0.8), rate#2 (0.4), then the zeros in parameter order.
    // The dict keeps each name's first position and its last value.
    EXPECT_EQ(keys(impacts),
              (std::vector<std::string>{"distance_km:A->B", "generation_rate_hz:A->B", "memory_lifetime_t2:A",
                                        "base_fidelity:A->B", "distance_km:B->A", "base_fidelity:B->A",
                                        "generation_rate_hz:B->A", "alpha_loss_db_km"}));
    EXPECT_EQ(impacts[0].second, 0.0);  // the second link's distance came later in sorted order
    EXPECT_EQ(impacts[1].second, 0.0);  // the first link's rate (0) came after the second's (0.4)
}

TEST(SensitivityAnalysis, sensitivity_with_real_ensembles) {
    const NetworkGraph graph =
        build_graph({{"A", 100.0}, {"B", 100.0}}, {{"A", "B", 10.0, 0.95, 1000.0, LinkType::Satellite, {}}});
    const MonteCarloContext context = capture_monte_carlo_context(
        graph, EngineConfig{0.12, 200.0, 5000.0, 0.1}, {"A", "B", 0.9, 50.0, StrategyType::HighestSuccess}, 7);
    const std::vector<NamedImpact> first = sensitivity_analysis(context, 0.8, 11);
    EXPECT_EQ(first.size(), 6u);
    bool has_alpha = false;
    for (const NamedImpact& entry : first) {
        has_alpha = has_alpha || entry.first == "alpha_loss_db_km";
        EXPECT_GE(entry.second, 0.0);
    }
    EXPECT_TRUE(has_alpha);
}

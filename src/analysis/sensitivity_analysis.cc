#include "analysis/sensitivity_analysis.h"

#include <cmath>
#include <string>

namespace vorn {

namespace {

constexpr double kScaleDown = 0.9;
constexpr double kScaleUp = 1.1;
constexpr double kMinimumBaseline = 0.01;
constexpr std::uint64_t kRunsPerNode = 50;
constexpr std::uint64_t kMinimumRuns = 200;
// The context does not keep the simulated engine's value.
constexpr double kRerunSpeedKmMs = 200.0;

struct LinkField {
    const char* display_name;
    double LinkDefinition::*member;
};

constexpr LinkField kLinkFields[] = {
    {"distance_km", &LinkDefinition::distance_km},
    {"base_fidelity", &LinkDefinition::base_fidelity},
    {"generation_rate_hz", &LinkDefinition::generation_rate_hz},
};

// One parameter to perturb: where its value lives in the rerun inputs and the
// name under which its impact is reported.
struct Parameter {
    double* value;
    std::string display_name;
};

std::optional<StrategyType> rerun_strategy(std::optional<std::uint8_t> code) {
    if (!code) return std::nullopt;
    if (*code == 2) return StrategyType::HighestSuccess;
    if (*code == 1) return StrategyType::HighestFidelity;
    return StrategyType::LowestLatency;
}

// The network and configuration that every rerun starts from; a parameter
// is scaled in place for one rerun and restored afterwards.
struct RerunInputs {
    std::vector<NodeDefinition> nodes;
    std::vector<LinkDefinition> links;  // all fiber, no satellite conditions
    EngineConfig config;
    EntanglementRequest request;

    explicit RerunInputs(const MonteCarloContext& context)
        : config{context.baseline_purify_factor, kRerunSpeedKmMs, context.total_time_cutoff_ms,
                 context.step_resolution_ms},
          request{context.from_node, context.to_node, context.fidelity_target, context.max_latency_ms,
                  rerun_strategy(context.strategy)} {
        nodes.reserve(context.nodes.size());
        for (const auto& [id, t2] : context.nodes) nodes.push_back({id, t2});
        links.reserve(context.links.size());
        for (const auto& [from, to, distance, fidelity, rate] : context.links) {
            links.push_back({from, to, distance, fidelity, rate, LinkType::Fiber, std::nullopt});
        }
    }

    std::vector<Parameter> parameters() {
        std::vector<Parameter> list;
        list.reserve(nodes.size() + 3 * links.size() + 1);
        for (NodeDefinition& node : nodes) list.push_back({&node.memory_lifetime_t2, "memory_lifetime_t2:" + node.id});
        for (LinkDefinition& link : links) {
            for (const LinkField& field : kLinkFields) {
                list.push_back({&(link.*field.member),
                                std::string(field.display_name) + ":" + link.from_node + "->" + link.to});
            }
        }
        list.push_back({&config.baseline_purify_factor, "alpha_loss_db_km"});
        return list;
    }

    double success_rate(const Parameter& parameter, double factor, std::uint64_t runs, std::uint64_t seed,
                        const EnsembleRunner& run) {
        const double original = *parameter.value;
        *parameter.value = original * factor;
        Engine engine{config};
        engine.build_network(nodes, links);
        *parameter.value = original;
        return run(engine, request, runs, seed).empirical_success_rate;
    }
};

}  // namespace

std::uint64_t sensitivity_runs(std::size_t node_count) {
    const std::uint64_t scaled = kRunsPerNode * static_cast<std::uint64_t>(node_count);
    return scaled > kMinimumRuns ? scaled : kMinimumRuns;
}

std::vector<NamedImpact> sensitivity_analysis(const MonteCarloContext& context, double baseline_success_rate,
                                              std::uint64_t seed_base) {
    return sensitivity_analysis(context, baseline_success_rate, seed_base, run_ensemble);
}

std::vector<NamedImpact> sensitivity_analysis(const MonteCarloContext& context, double baseline_success_rate,
                                              std::uint64_t seed_base, const EnsembleRunner& run) {
    const double b = baseline_success_rate;
    const std::uint64_t runs = sensitivity_runs(context.nodes.size());
    RerunInputs inputs(context);
    std::vector<Parameter> parameters = inputs.parameters();

    std::vector<NamedImpact> impacts;
    impacts.reserve(parameters.size());
    std::uint64_t seed = seed_base;  // unsigned arithmetic wraps
    for (Parameter& parameter : parameters) {
        const double minus = inputs.success_rate(parameter, kScaleDown, runs, seed, run);
        const double plus = inputs.success_rate(parameter, kScaleUp, runs, seed + 1, run);
        seed += 2;
        const double impact = b < kMinimumBaseline ? 0.0 : (std::fabs(plus - b) + std::fabs(minus - b)) / b;
        impacts.emplace_back(std::move(parameter.display_name), impact);
    }
    sort_impacts_descending(impacts);
    return merge_equal_names(impacts);
}

}  // namespace vorn

#include "analysis/sensitivity_analysis.h"

#include <cmath>
#include <string>

#include "network/network_graph.h"
#include "threads/call_workers.h"
#include "simulation/ensemble.h"
#include "threads/thread_count.h"

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
    double LinkDefinition::* member;
};

constexpr LinkField kLinkFields[] = {
    {"distance_km", &LinkDefinition::distance_km},
    {"base_fidelity", &LinkDefinition::base_fidelity},
    {"generation_rate_hz", &LinkDefinition::generation_rate_hz},
};

// One parameter to perturb: which value of the rerun inputs it scales (a
// node's T2, a link field, or the purification factor when neither index is
// set) and the name under which its impact is reported.
struct Parameter {
    static constexpr std::size_t kNone = SIZE_MAX;
    std::size_t node = kNone;
    std::size_t link = kNone;
    double LinkDefinition::* member = nullptr;
    std::string display_name;
};

std::optional<StrategyType> rerun_strategy(std::optional<std::uint8_t> code) {
    if (!code) return std::nullopt;
    if (*code == 2) return StrategyType::HighestSuccess;
    if (*code == 1) return StrategyType::HighestFidelity;
    return StrategyType::LowestLatency;
}

// A freshly built network and the configuration that one rerun uses.
struct PerturbedNetwork {
    NetworkGraph graph;
    EngineConfig config;
};

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

    std::vector<Parameter> parameters() const {
        std::vector<Parameter> list;
        list.reserve(nodes.size() + 3 * links.size() + 1);
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            list.push_back({i, Parameter::kNone, nullptr, "memory_lifetime_t2:" + nodes[i].id});
        }
        for (std::size_t i = 0; i < links.size(); ++i) {
            for (const LinkField& field : kLinkFields) {
                list.push_back({Parameter::kNone, i, field.member,
                                std::string(field.display_name) + ":" + links[i].from_node + "->" + links[i].to});
            }
        }
        list.push_back({Parameter::kNone, Parameter::kNone, nullptr, "alpha_loss_db_km"});
        return list;
    }

    double& value(const Parameter& parameter) {
        if (parameter.node != Parameter::kNone) return nodes[parameter.node].memory_lifetime_t2;
        if (parameter.link != Parameter::kNone) return links[parameter.link].*parameter.member;
        return config.baseline_purify_factor;
    }

    // A fresh network and configuration over the inputs with one parameter scaled.
    PerturbedNetwork perturbed_network(const Parameter& parameter, double factor) {
        double& scaled = value(parameter);
        const double original = scaled;
        scaled = original * factor;
        PerturbedNetwork network{{}, config};
        try {
            network.graph = build_graph(nodes, links);
        } catch (...) {
            scaled = original;
            throw;
        }
        scaled = original;
        return network;
    }
};

double impact_of(double baseline, double minus, double plus) {
    return baseline < kMinimumBaseline ? 0.0 : (std::fabs(plus - baseline) + std::fabs(minus - baseline)) / baseline;
}

}  // namespace

std::uint64_t sensitivity_runs(std::size_t node_count) {
    const std::uint64_t scaled = kRunsPerNode * static_cast<std::uint64_t>(node_count);
    return scaled > kMinimumRuns ? scaled : kMinimumRuns;
}

std::vector<NamedImpact> sensitivity_analysis(const MonteCarloContext& context, double baseline_success_rate,
                                              std::uint64_t seed_base, const StopCheck& stop) {
    const unsigned threads = call_thread_count();
    const std::uint64_t runs = sensitivity_runs(context.nodes.size());
    const RerunInputs inputs(context);
    std::vector<Parameter> parameters = inputs.parameters();

    // Rerun 2k scales parameter k by 0.9 with seed seed_base + 2k, rerun
    // 2k + 1 by 1.1 with the next seed. Each task scales its own copy of the
    // inputs, so the reruns share nothing.
    std::vector<double> rates(2 * parameters.size());
    run_tasks(rates.size(), threads, stop, [&](std::uint64_t task, const StopCheck& task_stop) {
        RerunInputs own = inputs;
        const Parameter& parameter = parameters[task / 2];
        const PerturbedNetwork network = own.perturbed_network(parameter, task % 2 == 0 ? kScaleDown : kScaleUp);
        rates[task] = run_ensemble(network.graph, network.config, own.request, runs, seed_base + task, task_stop, 1)
                          .empirical_success_rate;
    });

    std::vector<NamedImpact> impacts;
    impacts.reserve(parameters.size());
    for (std::size_t k = 0; k < parameters.size(); ++k) {
        impacts.emplace_back(std::move(parameters[k].display_name),
                             impact_of(baseline_success_rate, rates[2 * k], rates[2 * k + 1]));
    }
    sort_impacts_descending(impacts);
    return merge_equal_names(impacts);
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
        const PerturbedNetwork down = inputs.perturbed_network(parameter, kScaleDown);
        const double minus = run(down.graph, down.config, inputs.request, runs, seed).empirical_success_rate;
        const PerturbedNetwork up = inputs.perturbed_network(parameter, kScaleUp);
        const double plus = run(up.graph, up.config, inputs.request, runs, seed + 1).empirical_success_rate;
        seed += 2;
        impacts.emplace_back(std::move(parameter.display_name), impact_of(b, minus, plus));
    }
    sort_impacts_descending(impacts);
    return merge_equal_names(impacts);
}

}  // namespace vorn

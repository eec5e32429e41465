// Binding of the engine class.
#include "analysis/monte_carlo_stats.h"
#include "common/errors.h"
#include "common/messages.h"
#include "engine/engine.h"
#include "files/vorn_engine_bridge.h"
#include "protocols/distributed_computation.h"
#include "protocols/qkd.h"
#include "protocols/teleportation.h"
#include "python_bridge/bindings.h"
#include "python_bridge/docstrings.h"
#include "python_bridge/signal_stop.h"
#include "python_bridge/class_builder.h"
#include "python_bridge/vorn_objects.h"
#include "simulation/ensemble.h"

namespace vorn::py {

namespace {

Engine make_engine(std::optional<SimulationConfig> config) {
    return config ? Engine(EngineConfig::from(*config)) : Engine();
}

void define_network(Engine& engine, std::vector<NodeDefinition> nodes, std::vector<LinkDefinition> links) {
    engine.build_network(nodes, links, SignalStop());
}

RequestOutcome request_entanglement(const Engine& engine, std::string from_node, std::string to, double fidelity_target,
                                    double max_latency_ms, std::optional<StrategyType> strategy) {
    return run_request(engine, {std::move(from_node), std::move(to), fidelity_target, max_latency_ms, strategy},
                       SignalStop());
}

MonteCarloStats simulate(const Engine& engine, std::string from_node, std::string to, double fidelity_target,
                         double max_latency_ms, std::uint64_t runs, std::optional<StrategyType> strategy,
                         std::optional<std::uint64_t> seed) {
    if (!engine.has_network()) throw OperationError(std::string(vorn::msg::kNoNetworkForEnsemble));
    EntanglementRequest request{std::move(from_node), std::move(to), fidelity_target, max_latency_ms, strategy};
    EnsembleOutcome outcome = run_ensemble(engine, request, runs, seed, SignalStop());
    return {outcome.total_runs,
            outcome.empirical_success_rate,
            outcome.mean_latency_ms,
            outcome.mean_fidelity,
            outcome.aggregate_congestion_drops,
            std::move(outcome.link_usage),
            capture_monte_carlo_context(engine, request, seed)};
}

void engine_define_network_from_vorn(Engine& engine, const VornFileObject& qf) {
    define_network_from_vorn(engine, vorn_network_record(qf), SignalStop());
}

QKDResult engine_run_qkd(const Engine& engine, QKDParameters params) { return run_qkd(engine, params, SignalStop()); }

TeleportationOutcome engine_execute_teleportation(const Engine& engine, TeleportationParameters params) {
    return execute_teleportation(engine, params, SignalStop());
}

DistributedComputingResult engine_run_distributed_computation(const Engine& engine,
                                                              std::vector<std::string> participants,
                                                              std::string coordination_topology, std::string basis_type,
                                                              std::optional<double> correlation_strength,
                                                              std::optional<double> classical_relay_latency_ms) {
    return run_distributed_computation(engine, participants, coordination_topology, basis_type, correlation_strength,
                                       classical_relay_latency_ms, SignalStop());
}

}  // namespace

ClassTable& vorn_engine_class() {
    static ClassTable& table =
        ClassBuilder<Engine>("VornEngine")
            .constructor<&make_engine>({"config"})
            .method<&define_network>("define_network", {"nodes", "links"})
            .method<&request_entanglement>("request_entanglement",
                                           {"from_node", "to", "fidelity_target", "max_latency_ms", "strategy"})
            .method<&simulate>("simulate",
                               {"from_node", "to", "fidelity_target", "max_latency_ms", "runs", "strategy", "seed"})
            .method<&engine_define_network_from_vorn>("define_network_from_vorn", {"qf"}, doc::kFromVornDoc)
            .method<&engine_run_qkd>("run_qkd", {"params"}, doc::kQkdDoc)
            .method<&engine_execute_teleportation>("execute_teleportation", {"params"}, doc::kTeleportationDoc)
            .method<&engine_run_distributed_computation>("run_distributed_computation",
                                                         {"participants", "coordination_topology", "basis_type",
                                                          "correlation_strength", "classical_relay_latency_ms"},
                                                         doc::kDistributedDoc)
            .done();
    return table;
}

}  // namespace vorn::py

// Module functions that mirror engine operations with plain arguments, and
// the built-in topology functions.
#include "protocols/distributed_computation.h"
#include "protocols/qkd.h"
#include "protocols/teleportation.h"
#include "python_bridge/bindings.h"
#include "python_bridge/docstrings.h"
#include "python_bridge/signal_stop.h"
#include "python_bridge/function_builder.h"
#include "topologies/builtin_topologies.h"
#include "topologies/topology_comparison.h"

namespace vorn::py {

namespace {

NetworkTopologyPayload generate_topology_function(std::string name) { return generate_topology(name); }

TopologyComparisonReport compare_topologies_function(std::vector<TopologyEndpoints> endpoints, double fidelity_target,
                                                     double max_latency_ms, std::uint64_t runs,
                                                     std::optional<StrategyType> strategy) {
    return compare_topologies(endpoints, fidelity_target, max_latency_ms, runs, strategy, SignalStop());
}

QKDResult qkd_function(const Engine& engine, std::string from_node, std::string to_node, double fidelity_target,
                       double max_latency_ms, std::optional<std::uint64_t> rounds,
                       std::optional<double> error_rate_tolerance) {
    QKDParameters params;
    params.from_node = std::move(from_node);
    params.to_node = std::move(to_node);
    params.fidelity_target = fidelity_target;
    params.max_latency_ms = max_latency_ms;
    if (rounds) params.rounds = *rounds;
    if (error_rate_tolerance) params.error_rate_tolerance = *error_rate_tolerance;
    // The module function leaves sifting and privacy amplification at their defaults.
    return run_qkd(engine, params, SignalStop());
}

TeleportationOutcome teleportation_function(const Engine& engine, std::string source_node, std::string target_node,
                                            std::optional<double> state_fidelity,
                                            std::optional<double> classical_bandwidth_ms) {
    TeleportationParameters params;
    params.source_node = std::move(source_node);
    params.target_node = std::move(target_node);
    if (state_fidelity) params.state_fidelity = *state_fidelity;
    if (classical_bandwidth_ms) params.classical_bandwidth_ms = *classical_bandwidth_ms;
    return execute_teleportation(engine, params, SignalStop());
}

DistributedComputingResult distributed_computation_function(const Engine& engine, std::vector<std::string> participants,
                                                            CoordinationTopology coordination_topology,
                                                            MeasurementBasis measurement_basis,
                                                            std::optional<double> classical_relay_latency_ms) {
    DistributedComputingParameters params;
    params.participants = std::move(participants);
    params.coordination_topology = std::move(coordination_topology);
    params.measurement_basis = measurement_basis;
    if (classical_relay_latency_ms) params.classical_relay_latency_ms = *classical_relay_latency_ms;
    return distributed_computation(engine, params, SignalStop());
}

}  // namespace

FunctionTable generate_topology_entry() {
    return make_function<&generate_topology_function>("generate_topology", {"name"});
}

FunctionTable compare_topologies_entry() {
    return make_function<&compare_topologies_function>(
        "compare_topologies", {"endpoints", "fidelity_target", "max_latency_ms", "runs", "strategy"}, doc::kCompareDoc);
}

FunctionTable qkd_entry() {
    return make_function<&qkd_function>(
        "qkd",
        {"engine", "from_node", "to_node", "fidelity_target", "max_latency_ms", "rounds", "error_rate_tolerance"},
        doc::kQkdDoc);
}

FunctionTable teleportation_entry() {
    return make_function<&teleportation_function>(
        "teleportation", {"engine", "source_node", "target_node", "state_fidelity", "classical_bandwidth_ms"},
        doc::kTeleportationDoc);
}

FunctionTable distributed_computation_entry() {
    return make_function<&distributed_computation_function>(
        "distributed_computation",
        {"engine", "participants", "coordination_topology", "measurement_basis", "classical_relay_latency_ms"},
        doc::kDistributedDoc);
}

}  // namespace vorn::py

// Bindings of the protocol parameter, result and statistics records.
#include "protocols/distributed_computation.h"
#include "protocols/qkd.h"
#include "protocols/teleportation.h"
#include "python_bridge/bindings.h"
#include "python_bridge/docstrings.h"
#include "python_bridge/class_builder.h"
#include "python_bridge/protocol_parameters.h"

namespace vorn::py {

namespace {

QKDResult make_qkd_result(bool success, std::uint64_t secret_key_length_bits, double efficiency_rate, double qber,
                          double latency_ms, std::vector<std::string> execution_path, std::uint64_t rounds_completed,
                          std::uint64_t rounds_failed) {
    return {success, secret_key_length_bits, efficiency_rate, qber, latency_ms, std::move(execution_path),
            rounds_completed, rounds_failed};
}

QKDStats make_qkd_stats(std::uint64_t total_runs, double success_rate, double mean_key_length_bits,
                        double mean_efficiency, double mean_qber) {
    return {total_runs, success_rate, mean_key_length_bits, mean_efficiency, mean_qber};
}

TeleportationOutcome make_teleportation_outcome(bool success, double teleportation_fidelity,
                                                double resource_entanglement_fidelity, double latency_ms,
                                                std::vector<std::string> path,
                                                std::uint64_t classical_bits_transferred) {
    return {success, teleportation_fidelity, resource_entanglement_fidelity, latency_ms, std::move(path),
            classical_bits_transferred};
}

TeleportationStats make_teleportation_stats(std::uint64_t total_runs, double success_rate,
                                            double mean_teleportation_fidelity,
                                            double teleportation_fidelity_stddev, double mean_latency_ms) {
    return {total_runs, success_rate, mean_teleportation_fidelity, teleportation_fidelity_stddev, mean_latency_ms};
}

CoordinationTopology make_coordination_topology(std::string kind, std::optional<std::string> center_node,
                                                std::optional<std::vector<NodePair>> edges) {
    return {std::move(kind), std::move(center_node), std::move(edges)};
}
CoordinationTopology star_topology(std::string center_node) { return {"star", std::move(center_node), std::nullopt}; }
CoordinationTopology ring_topology() { return {"ring", std::nullopt, std::nullopt}; }
CoordinationTopology mesh_topology() { return {"mesh", std::nullopt, std::nullopt}; }
CoordinationTopology arbitrary_topology(std::vector<NodePair> edges) {
    return {"arbitrary", std::nullopt, std::move(edges)};
}

MeasurementBasis make_measurement_basis(std::optional<BasisType> basis_type,
                                        std::optional<double> correlation_strength) {
    MeasurementBasis basis;
    if (basis_type) basis.basis_type = *basis_type;
    if (correlation_strength) basis.correlation_strength = *correlation_strength;
    return basis;
}

DistributedComputingParameters make_distributed_parameters(std::vector<std::string> participants,
                                                           CoordinationTopology coordination_topology,
                                                           std::optional<MeasurementBasis> measurement_basis,
                                                           std::optional<double> classical_relay_latency_ms) {
    DistributedComputingParameters params;
    params.participants = std::move(participants);
    params.coordination_topology = std::move(coordination_topology);
    if (measurement_basis) params.measurement_basis = *measurement_basis;
    if (classical_relay_latency_ms) params.classical_relay_latency_ms = *classical_relay_latency_ms;
    return params;
}

PartyOutcome make_party_outcome(std::string node_id, bool successful_measurement, double local_fidelity) {
    return {std::move(node_id), successful_measurement, local_fidelity};
}

DistributedComputingResult make_distributed_result(bool success, double computation_fidelity,
                                                   std::vector<PartyOutcome> party_results,
                                                   std::vector<std::string> resource_links_used,
                                                   double total_latency_ms, double coordination_overhead_ms) {
    return {success, computation_fidelity, std::move(party_results), std::move(resource_links_used),
            total_latency_ms, coordination_overhead_ms};
}

DistributedComputingStats make_distributed_stats(std::uint64_t total_runs, double success_rate,
                                                 double mean_computation_fidelity, double mean_party_success_rate) {
    return {total_runs, success_rate, mean_computation_fidelity, mean_party_success_rate};
}

}  // namespace

QKDParameters make_qkd_parameters(std::string from_node, std::string to_node, double fidelity_target,
                                  double max_latency_ms, std::optional<std::uint64_t> rounds,
                                  std::optional<double> error_rate_tolerance,
                                  std::optional<double> sifting_overhead_ratio,
                                  std::optional<double> privacy_amplification_factor) {
    QKDParameters params;
    params.from_node = std::move(from_node);
    params.to_node = std::move(to_node);
    params.fidelity_target = fidelity_target;
    params.max_latency_ms = max_latency_ms;
    if (rounds) params.rounds = *rounds;
    if (error_rate_tolerance) params.error_rate_tolerance = *error_rate_tolerance;
    if (sifting_overhead_ratio) params.sifting_overhead_ratio = *sifting_overhead_ratio;
    if (privacy_amplification_factor) params.privacy_amplification_factor = *privacy_amplification_factor;
    return params;
}

TeleportationParameters make_teleportation_parameters(std::string source_node, std::string target_node,
                                                      std::optional<double> state_fidelity,
                                                      std::optional<double> classical_bandwidth_ms) {
    TeleportationParameters params;
    params.source_node = std::move(source_node);
    params.target_node = std::move(target_node);
    if (state_fidelity) params.state_fidelity = *state_fidelity;
    if (classical_bandwidth_ms) params.classical_bandwidth_ms = *classical_bandwidth_ms;
    return params;
}

ClassTable& qkd_parameters_class() {
    static ClassTable& table =
        ClassBuilder<QKDParameters>("QKDParameters")
            .constructor<&make_qkd_parameters>({"from_node", "to_node", "fidelity_target", "max_latency_ms", "rounds",
                                                "error_rate_tolerance", "sifting_overhead_ratio",
                                                "privacy_amplification_factor"})
            .field<&QKDParameters::from_node>("from_node")
            .field<&QKDParameters::to_node>("to_node")
            .field<&QKDParameters::fidelity_target>("fidelity_target")
            .field<&QKDParameters::max_latency_ms>("max_latency_ms")
            .field<&QKDParameters::rounds>("rounds")
            .field<&QKDParameters::error_rate_tolerance>("error_rate_tolerance")
            .field<&QKDParameters::sifting_overhead_ratio>("sifting_overhead_ratio")
            .field<&QKDParameters::privacy_amplification_factor>("privacy_amplification_factor")
            .done();
    return table;
}

ClassTable& qkd_result_class() {
    static ClassTable& table =
        ClassBuilder<QKDResult>("QKDResult")
            .constructor<&make_qkd_result>({"success", "secret_key_length_bits", "efficiency_rate", "qber",
                                            "latency_ms", "execution_path", "rounds_completed", "rounds_failed"})
            .field<&QKDResult::success>("success")
            .field<&QKDResult::secret_key_length_bits>("secret_key_length_bits")
            .field<&QKDResult::efficiency_rate>("efficiency_rate")
            .field<&QKDResult::qber>("qber")
            .field<&QKDResult::latency_ms>("latency_ms")
            .field<&QKDResult::execution_path>("execution_path")
            .field<&QKDResult::rounds_completed>("rounds_completed")
            .field<&QKDResult::rounds_failed>("rounds_failed")
            .repr<&qkd_result_repr>()
            .done();
    return table;
}

ClassTable& qkd_stats_class() {
    static ClassTable& table =
        ClassBuilder<QKDStats>("QKDStats")
            .constructor<&make_qkd_stats>(
                {"total_runs", "success_rate", "mean_key_length_bits", "mean_efficiency", "mean_qber"})
            .field<&QKDStats::total_runs>("total_runs")
            .field<&QKDStats::success_rate>("success_rate")
            .field<&QKDStats::mean_key_length_bits>("mean_key_length_bits")
            .field<&QKDStats::mean_efficiency>("mean_efficiency")
            .field<&QKDStats::mean_qber>("mean_qber")
            .repr<&qkd_stats_repr>()
            .done();
    return table;
}

ClassTable& teleportation_parameters_class() {
    static ClassTable& table =
        ClassBuilder<TeleportationParameters>("TeleportationParameters")
            .constructor<&make_teleportation_parameters>(
                {"source_node", "target_node", "state_fidelity", "classical_bandwidth_ms"})
            .field<&TeleportationParameters::source_node>("source_node")
            .field<&TeleportationParameters::target_node>("target_node")
            .field<&TeleportationParameters::relay_nodes>("relay_nodes")
            .field<&TeleportationParameters::state_fidelity>("state_fidelity")
            .field<&TeleportationParameters::classical_bandwidth_ms>("classical_bandwidth_ms")
            .done();
    return table;
}

ClassTable& teleportation_outcome_class() {
    static ClassTable& table =
        ClassBuilder<TeleportationOutcome>("TeleportationOutcome")
            .constructor<&make_teleportation_outcome>({"success", "teleportation_fidelity",
                                                       "resource_entanglement_fidelity", "latency_ms", "path",
                                                       "classical_bits_transferred"})
            .field<&TeleportationOutcome::success>("success")
            .field<&TeleportationOutcome::teleportation_fidelity>("teleportation_fidelity")
            .field<&TeleportationOutcome::resource_entanglement_fidelity>("resource_entanglement_fidelity")
            .field<&TeleportationOutcome::latency_ms>("latency_ms")
            .field<&TeleportationOutcome::path>("path")
            .field<&TeleportationOutcome::classical_bits_transferred>("classical_bits_transferred")
            .repr<&teleportation_outcome_repr>()
            .done();
    return table;
}

ClassTable& teleportation_stats_class() {
    static ClassTable& table =
        ClassBuilder<TeleportationStats>("TeleportationStats")
            .constructor<&make_teleportation_stats>({"total_runs", "success_rate", "mean_teleportation_fidelity",
                                                     "teleportation_fidelity_stddev", "mean_latency_ms"})
            .field<&TeleportationStats::total_runs>("total_runs")
            .field<&TeleportationStats::success_rate>("success_rate")
            .field<&TeleportationStats::mean_teleportation_fidelity>("mean_teleportation_fidelity")
            .field<&TeleportationStats::teleportation_fidelity_stddev>("teleportation_fidelity_stddev")
            .field<&TeleportationStats::mean_latency_ms>("mean_latency_ms")
            .repr<&teleportation_stats_repr>()
            .done();
    return table;
}

ClassTable& basis_type_class() {
    static ClassTable& table = ClassBuilder<BasisType>("BasisType")
                                 .members({{"GHZ", BasisType::GHZ},
                                           {"Cluster", BasisType::Cluster},
                                           {"GraphGraph", BasisType::GraphGraph}})
                                 .done();
    return table;
}

ClassTable& coordination_topology_class() {
    static ClassTable& table =
        ClassBuilder<CoordinationTopology>("CoordinationTopology", doc::kCoordinationTopologyDoc)
            .constructor<&make_coordination_topology>({"kind", "center_node", "edges"})
            .field<&CoordinationTopology::kind>("kind")
            .field<&CoordinationTopology::center_node>("center_node")
            .field<&CoordinationTopology::edges>("edges")
            .static_method<&star_topology>("star", {"center_node"}, doc::kStarDoc)
            .static_method<&ring_topology>("ring", {}, doc::kRingDoc)
            .static_method<&mesh_topology>("mesh", {}, doc::kMeshDoc)
            .static_method<&arbitrary_topology>("arbitrary", {"edges"},
                                                doc::kArbitraryDoc)
            .done();
    return table;
}

ClassTable& measurement_basis_class() {
    static ClassTable& table = ClassBuilder<MeasurementBasis>("MeasurementBasis")
                                 .constructor<&make_measurement_basis>({"basis_type", "correlation_strength"})
                                 .field<&MeasurementBasis::basis_type>("basis_type")
                                 .field<&MeasurementBasis::correlation_strength>("correlation_strength")
                                 .done();
    return table;
}

ClassTable& distributed_computing_parameters_class() {
    static ClassTable& table =
        ClassBuilder<DistributedComputingParameters>("DistributedComputingParameters")
            .constructor<&make_distributed_parameters>(
                {"participants", "coordination_topology", "measurement_basis", "classical_relay_latency_ms"})
            .field<&DistributedComputingParameters::participants>("participants")
            .field<&DistributedComputingParameters::coordination_topology>("coordination_topology")
            .field<&DistributedComputingParameters::measurement_basis>("measurement_basis")
            .field<&DistributedComputingParameters::classical_relay_latency_ms>("classical_relay_latency_ms")
            .done();
    return table;
}

ClassTable& party_outcome_class() {
    static ClassTable& table =
        ClassBuilder<PartyOutcome>("PartyOutcome")
            .constructor<&make_party_outcome>({"node_id", "successful_measurement", "local_fidelity"})
            .field<&PartyOutcome::node_id>("node_id")
            .field<&PartyOutcome::successful_measurement>("successful_measurement")
            .field<&PartyOutcome::local_fidelity>("local_fidelity")
            .repr<&party_outcome_repr>()
            .done();
    return table;
}

ClassTable& distributed_computing_result_class() {
    static ClassTable& table =
        ClassBuilder<DistributedComputingResult>("DistributedComputingResult")
            .constructor<&make_distributed_result>({"success", "computation_fidelity", "party_results",
                                                    "resource_links_used", "total_latency_ms",
                                                    "coordination_overhead_ms"})
            .field<&DistributedComputingResult::success>("success")
            .field<&DistributedComputingResult::computation_fidelity>("computation_fidelity")
            .field<&DistributedComputingResult::party_results>("party_results")
            .field<&DistributedComputingResult::resource_links_used>("resource_links_used")
            .field<&DistributedComputingResult::total_latency_ms>("total_latency_ms")
            .field<&DistributedComputingResult::coordination_overhead_ms>("coordination_overhead_ms")
            .repr<&distributed_result_repr>()
            .done();
    return table;
}

ClassTable& distributed_computing_stats_class() {
    static ClassTable& table =
        ClassBuilder<DistributedComputingStats>("DistributedComputingStats")
            .constructor<&make_distributed_stats>(
                {"total_runs", "success_rate", "mean_computation_fidelity", "mean_party_success_rate"})
            .field<&DistributedComputingStats::total_runs>("total_runs")
            .field<&DistributedComputingStats::success_rate>("success_rate")
            .field<&DistributedComputingStats::mean_computation_fidelity>("mean_computation_fidelity")
            .field<&DistributedComputingStats::mean_party_success_rate>("mean_party_success_rate")
            .repr<&distributed_stats_repr>()
            .done();
    return table;
}

}  // namespace vorn::py

// Bindings of the protocol parameter, result and statistics records.
#include "protocols/distributed_computation.h"
#include "protocols/qkd.h"
#include "protocols/teleportation.h"
#include "python_bridge/bindings.h"
#include "python_bridge/docstrings.h"
#include "python_bridge/class_builder.h"

namespace vorn::py {

namespace {

CoordinationTopology star_topology(std::string center_node) { return {"star", std::move(center_node), std::nullopt}; }
CoordinationTopology ring_topology() { return {"ring", std::nullopt, std::nullopt}; }
CoordinationTopology mesh_topology() { return {"mesh", std::nullopt, std::nullopt}; }
CoordinationTopology arbitrary_topology(std::vector<NodePair> edges) {
    return {"arbitrary", std::nullopt, std::move(edges)};
}

}  // namespace

ClassTable& qkd_parameters_class() {
    static ClassTable& table =
        ClassBuilder<QKDParameters>("QKDParameters")
            .constructor({param<&QKDParameters::from_node>("from_node"),
                          param<&QKDParameters::to_node>("to_node"),
                          param<&QKDParameters::fidelity_target>("fidelity_target"),
                          param<&QKDParameters::max_latency_ms>("max_latency_ms"),
                          optional_param<&QKDParameters::rounds>("rounds"),
                          optional_param<&QKDParameters::error_rate_tolerance>("error_rate_tolerance"),
                          optional_param<&QKDParameters::sifting_overhead_ratio>("sifting_overhead_ratio"),
                          optional_param<&QKDParameters::privacy_amplification_factor>("privacy_amplification_factor")})
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
            .constructor({param<&QKDResult::success>("success"),
                          param<&QKDResult::secret_key_length_bits>("secret_key_length_bits"),
                          param<&QKDResult::efficiency_rate>("efficiency_rate"),
                          param<&QKDResult::qber>("qber"),
                          param<&QKDResult::latency_ms>("latency_ms"),
                          param<&QKDResult::execution_path>("execution_path"),
                          param<&QKDResult::rounds_completed>("rounds_completed"),
                          param<&QKDResult::rounds_failed>("rounds_failed")})
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
            .constructor({param<&QKDStats::total_runs>("total_runs"),
                          param<&QKDStats::success_rate>("success_rate"),
                          param<&QKDStats::mean_key_length_bits>("mean_key_length_bits"),
                          param<&QKDStats::mean_efficiency>("mean_efficiency"),
                          param<&QKDStats::mean_qber>("mean_qber")})
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
            .constructor({param<&TeleportationParameters::source_node>("source_node"),
                          param<&TeleportationParameters::target_node>("target_node"),
                          optional_param<&TeleportationParameters::state_fidelity>("state_fidelity"),
                          optional_param<&TeleportationParameters::classical_bandwidth_ms>("classical_bandwidth_ms")})
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
            .constructor({param<&TeleportationOutcome::success>("success"),
                          param<&TeleportationOutcome::teleportation_fidelity>("teleportation_fidelity"),
                          param<&TeleportationOutcome::resource_entanglement_fidelity>(
                              "resource_entanglement_fidelity"),
                          param<&TeleportationOutcome::latency_ms>("latency_ms"),
                          param<&TeleportationOutcome::path>("path"),
                          param<&TeleportationOutcome::classical_bits_transferred>("classical_bits_transferred")})
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
            .constructor({param<&TeleportationStats::total_runs>("total_runs"),
                          param<&TeleportationStats::success_rate>("success_rate"),
                          param<&TeleportationStats::mean_teleportation_fidelity>("mean_teleportation_fidelity"),
                          param<&TeleportationStats::teleportation_fidelity_stddev>("teleportation_fidelity_stddev"),
                          param<&TeleportationStats::mean_latency_ms>("mean_latency_ms")})
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
            .constructor({param<&CoordinationTopology::kind>("kind"),
                          optional_param<&CoordinationTopology::center_node>("center_node"),
                          optional_param<&CoordinationTopology::edges>("edges")})
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
    static ClassTable& table =
        ClassBuilder<MeasurementBasis>("MeasurementBasis")
            .constructor({optional_param<&MeasurementBasis::basis_type>("basis_type"),
                          optional_param<&MeasurementBasis::correlation_strength>("correlation_strength")})
            .field<&MeasurementBasis::basis_type>("basis_type")
            .field<&MeasurementBasis::correlation_strength>("correlation_strength")
            .done();
    return table;
}

ClassTable& distributed_computing_parameters_class() {
    static ClassTable& table =
        ClassBuilder<DistributedComputingParameters>("DistributedComputingParameters")
            .constructor({param<&DistributedComputingParameters::participants>("participants"),
                          param<&DistributedComputingParameters::coordination_topology>("coordination_topology"),
                          optional_param<&DistributedComputingParameters::measurement_basis>("measurement_basis"),
                          optional_param<&DistributedComputingParameters::classical_relay_latency_ms>(
                              "classical_relay_latency_ms")})
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
            .constructor({param<&PartyOutcome::node_id>("node_id"),
                          param<&PartyOutcome::successful_measurement>("successful_measurement"),
                          param<&PartyOutcome::local_fidelity>("local_fidelity")})
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
            .constructor({param<&DistributedComputingResult::success>("success"),
                          param<&DistributedComputingResult::computation_fidelity>("computation_fidelity"),
                          param<&DistributedComputingResult::party_results>("party_results"),
                          param<&DistributedComputingResult::resource_links_used>("resource_links_used"),
                          param<&DistributedComputingResult::total_latency_ms>("total_latency_ms"),
                          param<&DistributedComputingResult::coordination_overhead_ms>("coordination_overhead_ms")})
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
            .constructor({param<&DistributedComputingStats::total_runs>("total_runs"),
                          param<&DistributedComputingStats::success_rate>("success_rate"),
                          param<&DistributedComputingStats::mean_computation_fidelity>("mean_computation_fidelity"),
                          param<&DistributedComputingStats::mean_party_success_rate>("mean_party_success_rate")})
            .field<&DistributedComputingStats::total_runs>("total_runs")
            .field<&DistributedComputingStats::success_rate>("success_rate")
            .field<&DistributedComputingStats::mean_computation_fidelity>("mean_computation_fidelity")
            .field<&DistributedComputingStats::mean_party_success_rate>("mean_party_success_rate")
            .repr<&distributed_stats_repr>()
            .done();
    return table;
}

}  // namespace vorn::py

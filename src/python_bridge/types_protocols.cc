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
            .init_field<&QKDParameters::from_node>("from_node")
            .init_field<&QKDParameters::to_node>("to_node")
            .init_field<&QKDParameters::fidelity_target>("fidelity_target")
            .init_field<&QKDParameters::max_latency_ms>("max_latency_ms")
            .optional_init_field<&QKDParameters::rounds>("rounds")
            .optional_init_field<&QKDParameters::error_rate_tolerance>("error_rate_tolerance")
            .optional_init_field<&QKDParameters::sifting_overhead_ratio>("sifting_overhead_ratio")
            .optional_init_field<&QKDParameters::privacy_amplification_factor>("privacy_amplification_factor")
            .done();
    return table;
}

ClassTable& qkd_result_class() {
    static ClassTable& table = ClassBuilder<QKDResult>("QKDResult")
                                   .init_field<&QKDResult::success>("success")
                                   .init_field<&QKDResult::secret_key_length_bits>("secret_key_length_bits")
                                   .init_field<&QKDResult::efficiency_rate>("efficiency_rate")
                                   .init_field<&QKDResult::qber>("qber")
                                   .init_field<&QKDResult::latency_ms>("latency_ms")
                                   .init_field<&QKDResult::execution_path>("execution_path")
                                   .init_field<&QKDResult::rounds_completed>("rounds_completed")
                                   .init_field<&QKDResult::rounds_failed>("rounds_failed")
                                   .repr<&qkd_result_repr>()
                                   .done();
    return table;
}

ClassTable& qkd_stats_class() {
    static ClassTable& table = ClassBuilder<QKDStats>("QKDStats")
                                   .init_field<&QKDStats::total_runs>("total_runs")
                                   .init_field<&QKDStats::success_rate>("success_rate")
                                   .init_field<&QKDStats::mean_key_length_bits>("mean_key_length_bits")
                                   .init_field<&QKDStats::mean_efficiency>("mean_efficiency")
                                   .init_field<&QKDStats::mean_qber>("mean_qber")
                                   .repr<&qkd_stats_repr>()
                                   .done();
    return table;
}

ClassTable& teleportation_parameters_class() {
    static ClassTable& table =
        ClassBuilder<TeleportationParameters>("TeleportationParameters")
            .init_field<&TeleportationParameters::source_node>("source_node")
            .init_field<&TeleportationParameters::target_node>("target_node")
            .field<&TeleportationParameters::relay_nodes>("relay_nodes")
            .optional_init_field<&TeleportationParameters::state_fidelity>("state_fidelity")
            .optional_init_field<&TeleportationParameters::classical_bandwidth_ms>("classical_bandwidth_ms")
            .done();
    return table;
}

ClassTable& teleportation_outcome_class() {
    static ClassTable& table =
        ClassBuilder<TeleportationOutcome>("TeleportationOutcome")
            .init_field<&TeleportationOutcome::success>("success")
            .init_field<&TeleportationOutcome::teleportation_fidelity>("teleportation_fidelity")
            .init_field<&TeleportationOutcome::resource_entanglement_fidelity>("resource_entanglement_fidelity")
            .init_field<&TeleportationOutcome::latency_ms>("latency_ms")
            .init_field<&TeleportationOutcome::path>("path")
            .init_field<&TeleportationOutcome::classical_bits_transferred>("classical_bits_transferred")
            .repr<&teleportation_outcome_repr>()
            .done();
    return table;
}

ClassTable& teleportation_stats_class() {
    static ClassTable& table =
        ClassBuilder<TeleportationStats>("TeleportationStats")
            .init_field<&TeleportationStats::total_runs>("total_runs")
            .init_field<&TeleportationStats::success_rate>("success_rate")
            .init_field<&TeleportationStats::mean_teleportation_fidelity>("mean_teleportation_fidelity")
            .init_field<&TeleportationStats::teleportation_fidelity_stddev>("teleportation_fidelity_stddev")
            .init_field<&TeleportationStats::mean_latency_ms>("mean_latency_ms")
            .repr<&teleportation_stats_repr>()
            .done();
    return table;
}

ClassTable& basis_type_class() {
    static ClassTable& table =
        ClassBuilder<BasisType>("BasisType")
            .members({{"GHZ", BasisType::GHZ}, {"Cluster", BasisType::Cluster}, {"GraphGraph", BasisType::GraphGraph}})
            .done();
    return table;
}

ClassTable& coordination_topology_class() {
    static ClassTable& table = ClassBuilder<CoordinationTopology>("CoordinationTopology", doc::kCoordinationTopologyDoc)
                                   .init_field<&CoordinationTopology::kind>("kind")
                                   .optional_init_field<&CoordinationTopology::center_node>("center_node")
                                   .optional_init_field<&CoordinationTopology::edges>("edges")
                                   .static_method<&star_topology>("star", {"center_node"}, doc::kStarDoc)
                                   .static_method<&ring_topology>("ring", {}, doc::kRingDoc)
                                   .static_method<&mesh_topology>("mesh", {}, doc::kMeshDoc)
                                   .static_method<&arbitrary_topology>("arbitrary", {"edges"}, doc::kArbitraryDoc)
                                   .done();
    return table;
}

ClassTable& measurement_basis_class() {
    static ClassTable& table = ClassBuilder<MeasurementBasis>("MeasurementBasis")
                                   .optional_init_field<&MeasurementBasis::basis_type>("basis_type")
                                   .optional_init_field<&MeasurementBasis::correlation_strength>("correlation_strength")
                                   .done();
    return table;
}

ClassTable& distributed_computing_parameters_class() {
    static ClassTable& table =
        ClassBuilder<DistributedComputingParameters>("DistributedComputingParameters")
            .init_field<&DistributedComputingParameters::participants>("participants")
            .init_field<&DistributedComputingParameters::coordination_topology>("coordination_topology")
            .optional_init_field<&DistributedComputingParameters::measurement_basis>("measurement_basis")
            .optional_init_field<&DistributedComputingParameters::classical_relay_latency_ms>(
                "classical_relay_latency_ms")
            .done();
    return table;
}

ClassTable& party_outcome_class() {
    static ClassTable& table = ClassBuilder<PartyOutcome>("PartyOutcome")
                                   .init_field<&PartyOutcome::node_id>("node_id")
                                   .init_field<&PartyOutcome::successful_measurement>("successful_measurement")
                                   .init_field<&PartyOutcome::local_fidelity>("local_fidelity")
                                   .repr<&party_outcome_repr>()
                                   .done();
    return table;
}

ClassTable& distributed_computing_result_class() {
    static ClassTable& table =
        ClassBuilder<DistributedComputingResult>("DistributedComputingResult")
            .init_field<&DistributedComputingResult::success>("success")
            .init_field<&DistributedComputingResult::computation_fidelity>("computation_fidelity")
            .init_field<&DistributedComputingResult::party_results>("party_results")
            .init_field<&DistributedComputingResult::resource_links_used>("resource_links_used")
            .init_field<&DistributedComputingResult::total_latency_ms>("total_latency_ms")
            .init_field<&DistributedComputingResult::coordination_overhead_ms>("coordination_overhead_ms")
            .repr<&distributed_result_repr>()
            .done();
    return table;
}

ClassTable& distributed_computing_stats_class() {
    static ClassTable& table =
        ClassBuilder<DistributedComputingStats>("DistributedComputingStats")
            .init_field<&DistributedComputingStats::total_runs>("total_runs")
            .init_field<&DistributedComputingStats::success_rate>("success_rate")
            .init_field<&DistributedComputingStats::mean_computation_fidelity>("mean_computation_fidelity")
            .init_field<&DistributedComputingStats::mean_party_success_rate>("mean_party_success_rate")
            .repr<&distributed_stats_repr>()
            .done();
    return table;
}

}  // namespace vorn::py

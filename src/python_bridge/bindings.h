// The class bindings, one function per class; each returns the class's
// description, built once. The module's registration table orders them.
#pragma once

#include "python_bridge/class_table.h"
#include "python_bridge/function_builder.h"

namespace vorn::py {

// Network model and engine.
ClassTable& vorn_engine_class();
ClassTable& physical_config_class();
ClassTable& simulation_config_class();
ClassTable& node_definition_class();
ClassTable& satellite_conditions_class();
ClassTable& link_type_class();
ClassTable& link_definition_class();
ClassTable& network_topology_payload_class();

// Requests and results.
ClassTable& strategy_type_class();
ClassTable& entanglement_request_class();
ClassTable& simulation_result_class();

// Ensembles and their analysis.
ClassTable& monte_carlo_stats_class();
ClassTable& monte_carlo_context_class();

// Topology comparison.
ClassTable& topology_endpoints_class();
ClassTable& topology_comparison_result_class();
ClassTable& topology_comparison_report_class();

// Protocols.
ClassTable& qkd_parameters_class();
ClassTable& qkd_result_class();
ClassTable& qkd_stats_class();
ClassTable& teleportation_parameters_class();
ClassTable& teleportation_outcome_class();
ClassTable& teleportation_stats_class();
ClassTable& basis_type_class();
ClassTable& coordination_topology_class();
ClassTable& measurement_basis_class();
ClassTable& distributed_computing_parameters_class();
ClassTable& party_outcome_class();
ClassTable& distributed_computing_result_class();
ClassTable& distributed_computing_stats_class();

// Network files.
ClassTable& vorn_file_class();
ClassTable& vorn_node_class();
ClassTable& vorn_link_class();
ClassTable& vorn_config_class();
ClassTable& vorn_constraints_class();
ClassTable& vorn_metadata_class();
ClassTable& vorn_node_type_class();
ClassTable& vorn_link_type_class();
ClassTable& vorn_satellite_extension_class();

// Topology snapshots.
ClassTable& topology_snapshot_class();
ClassTable& topology_metadata_class();
ClassTable& topology_config_class();
ClassTable& topology_diff_class();

// The physical model.
ClassTable& physical_totals_class();

// Module functions.
FunctionTable generate_topology_entry();
FunctionTable compare_topologies_entry();
FunctionTable save_topology_entry();
FunctionTable load_topology_entry();
FunctionTable validate_entry();
FunctionTable load_vorn_file_entry();
FunctionTable diff_entry();
FunctionTable diff_topologies_entry();
FunctionTable from_vorn_file_entry();
FunctionTable save_vorn_file_wrapper_entry();
FunctionTable qkd_entry();
FunctionTable teleportation_entry();
FunctionTable distributed_computation_entry();
FunctionTable read_topology_entry();
FunctionTable snapshot_topology_entry();
FunctionTable simulate_physical_entry();
FunctionTable validate_with_positions_entry();
FunctionTable python_types_entry();
FunctionTable hidden_classes_entry();

}  // namespace vorn::py

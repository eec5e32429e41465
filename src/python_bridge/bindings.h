// The class bindings, one function per class; each returns the class's
// description, built once. The module's registration table orders them.
#pragma once

#include "python_bridge/class_spec.h"
#include "python_bridge/function_builder.h"

namespace vorn::py {

// Network model and engine.
ClassSpec& vorn_engine_class();
ClassSpec& physical_config_class();
ClassSpec& simulation_config_class();
ClassSpec& node_definition_class();
ClassSpec& satellite_conditions_class();
ClassSpec& link_type_class();
ClassSpec& link_definition_class();
ClassSpec& network_topology_payload_class();

// Requests and results.
ClassSpec& strategy_type_class();
ClassSpec& entanglement_request_class();
ClassSpec& simulation_result_class();

// Ensembles and their analysis.
ClassSpec& monte_carlo_stats_class();
ClassSpec& monte_carlo_context_class();

// Topology comparison.
ClassSpec& topology_endpoints_class();
ClassSpec& topology_comparison_result_class();
ClassSpec& topology_comparison_report_class();

// Protocols.
ClassSpec& qkd_parameters_class();
ClassSpec& qkd_result_class();
ClassSpec& qkd_stats_class();
ClassSpec& teleportation_parameters_class();
ClassSpec& teleportation_outcome_class();
ClassSpec& teleportation_stats_class();
ClassSpec& basis_type_class();
ClassSpec& coordination_topology_class();
ClassSpec& measurement_basis_class();
ClassSpec& distributed_computing_parameters_class();
ClassSpec& party_outcome_class();
ClassSpec& distributed_computing_result_class();
ClassSpec& distributed_computing_stats_class();

// Network files.
ClassSpec& vorn_file_class();
ClassSpec& vorn_node_class();
ClassSpec& vorn_link_class();
ClassSpec& vorn_config_class();
ClassSpec& vorn_constraints_class();
ClassSpec& vorn_metadata_class();
ClassSpec& vorn_node_type_class();
ClassSpec& vorn_link_type_class();
ClassSpec& vorn_satellite_extension_class();

// Topology snapshots.
ClassSpec& topology_snapshot_class();
ClassSpec& topology_metadata_class();
ClassSpec& topology_config_class();
ClassSpec& topology_diff_class();

// Module functions.
FunctionSpec generate_topology_spec();
FunctionSpec compare_topologies_spec();
FunctionSpec save_topology_spec();
FunctionSpec load_topology_spec();
FunctionSpec validate_spec();
FunctionSpec load_vorn_file_spec();
FunctionSpec diff_spec();
FunctionSpec diff_topologies_spec();
FunctionSpec from_vorn_file_spec();
FunctionSpec save_vorn_file_wrapper_spec();
FunctionSpec qkd_spec();
FunctionSpec teleportation_spec();
FunctionSpec distributed_computation_spec();
FunctionSpec read_topology_spec();
FunctionSpec snapshot_topology_spec();

}  // namespace vorn::py

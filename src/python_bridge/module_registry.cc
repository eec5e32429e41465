// The order in which the module adds its classes and functions. Insert new
// entries at their place: this table alone fixes the order of __all__.
#include "python_bridge/module_registry.h"

#include "python_bridge/bindings.h"

namespace vorn::py {

namespace {

ModuleEntry exported(ClassTable& (*table)()) { return {ModuleEntry::Kind::Class, table}; }
ModuleEntry hidden(ClassTable& (*table)()) { return {ModuleEntry::Kind::HiddenClass, table}; }
ModuleEntry function(FunctionTable (*make)()) { return {ModuleEntry::Kind::Function, nullptr, make}; }
ModuleEntry unlisted(FunctionTable (*make)()) { return {ModuleEntry::Kind::Unlisted, nullptr, make}; }
ModuleEntry alias(const char* name, const char* target) {
    return {ModuleEntry::Kind::Alias, nullptr, nullptr, name, target};
}

}  // namespace

const std::vector<ModuleEntry>& module_entries() {
    static const std::vector<ModuleEntry> entries = {
        exported(&vorn_engine_class),
        exported(&physical_config_class),
        exported(&link_definition_class),
        exported(&satellite_conditions_class),
        exported(&entanglement_request_class),
        exported(&monte_carlo_stats_class),
        exported(&topology_comparison_result_class),
        exported(&topology_comparison_report_class),
        exported(&link_type_class),
        exported(&strategy_type_class),
        exported(&simulation_config_class),
        exported(&node_definition_class),
        exported(&network_topology_payload_class),
        exported(&vorn_file_class),
        exported(&vorn_node_class),
        exported(&vorn_link_class),
        exported(&vorn_config_class),
        exported(&vorn_constraints_class),
        exported(&vorn_metadata_class),
        exported(&vorn_node_type_class),
        exported(&vorn_link_type_class),
        exported(&vorn_satellite_extension_class),
        exported(&topology_endpoints_class),
        exported(&qkd_parameters_class),
        exported(&qkd_result_class),
        exported(&qkd_stats_class),
        exported(&teleportation_parameters_class),
        exported(&teleportation_outcome_class),
        exported(&teleportation_stats_class),
        exported(&basis_type_class),
        exported(&coordination_topology_class),
        exported(&measurement_basis_class),
        exported(&distributed_computing_parameters_class),
        exported(&party_outcome_class),
        exported(&distributed_computing_result_class),
        exported(&distributed_computing_stats_class),

        // Classes reached only through returned objects.
        hidden(&simulation_result_class),
        hidden(&monte_carlo_context_class),
        hidden(&topology_snapshot_class),
        hidden(&topology_metadata_class),
        hidden(&topology_config_class),
        hidden(&topology_diff_class),
        hidden(&physical_totals_class),

        // Module functions and aliases.
        function(&generate_topology_entry),
        function(&compare_topologies_entry),
        function(&save_topology_entry),
        function(&load_topology_entry),
        function(&validate_entry),
        function(&load_vorn_file_entry),
        function(&diff_entry),
        function(&diff_topologies_entry),
        function(&from_vorn_file_entry),
        alias("load", "load_vorn_file"),
        function(&save_vorn_file_wrapper_entry),
        alias("save", "save_vorn_file_wrapper"),
        function(&qkd_entry),
        function(&teleportation_entry),
        function(&distributed_computation_entry),
        function(&read_topology_entry),
        function(&snapshot_topology_entry),

        // Added after the original surface.
        function(&simulate_physical_entry),
        function(&validate_with_positions_entry),

        // For the stub generator, not in __all__.
        unlisted(&python_types_entry),
        unlisted(&hidden_classes_entry),
    };
    return entries;
}

std::vector<const FunctionTable*>& registered_functions() {
    static std::vector<const FunctionTable*> tables;
    return tables;
}

}  // namespace vorn::py

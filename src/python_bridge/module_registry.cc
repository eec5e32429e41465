// The order in which the module adds its classes and functions. Insert new
// entries at their place: this table alone fixes the order of __all__.
#include "python_bridge/module_registry.h"

#include "python_bridge/bindings.h"

namespace vorn::py {

namespace {

ModuleEntry exported(ClassSpec& (*spec)()) { return {ModuleEntry::Kind::Class, spec}; }
ModuleEntry hidden(ClassSpec& (*spec)()) { return {ModuleEntry::Kind::HiddenClass, spec}; }
[[maybe_unused]] ModuleEntry function(FunctionSpec (*make)()) { return {ModuleEntry::Kind::Function, nullptr, make}; }
[[maybe_unused]] ModuleEntry alias(const char* name, const char* target) {
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
        // MonteCarloStats, TopologyComparisonResult, TopologyComparisonReport
        exported(&link_type_class),
        exported(&strategy_type_class),
        exported(&simulation_config_class),
        exported(&node_definition_class),
        exported(&network_topology_payload_class),
        // VornFile ... DistributedComputingStats

        // Classes reached only through returned objects.
        hidden(&simulation_result_class),

        // Module functions and aliases.
    };
    return entries;
}

}  // namespace vorn::py

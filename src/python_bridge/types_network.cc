// Bindings of the network-model records.
#include "network/network_model.h"
#include "python_bridge/bindings.h"
#include "python_bridge/docstrings.h"
#include "python_bridge/class_builder.h"

namespace vorn::py {

namespace {

PhysicalConfig make_physical_config(std::optional<double> alpha_loss_db_km) {
    return PhysicalConfig::from_alpha_loss(alpha_loss_db_km);
}

SimulationConfig make_simulation_config(std::optional<double> total_time_cutoff_ms,
                                        std::optional<double> step_resolution_ms,
                                        std::optional<double> alpha_loss_db_km) {
    SimulationConfig config;
    config.physical = PhysicalConfig::from_alpha_loss(alpha_loss_db_km);
    if (total_time_cutoff_ms) config.total_time_cutoff_ms = *total_time_cutoff_ms;
    if (step_resolution_ms) config.step_resolution_ms = *step_resolution_ms;
    return config;
}

double conditions_effective_rate(const SatelliteConditions& conditions, double base_rate) {
    return conditions.effective_rate(base_rate);
}

}  // namespace

ClassTable& physical_config_class() {
    static ClassTable& table =
        ClassBuilder<PhysicalConfig>("PhysicalConfig")
            .constructor<&make_physical_config>({"alpha_loss_db_km"})
            .field<&PhysicalConfig::baseline_purify_factor>("baseline_purify_factor")
            .field<&PhysicalConfig::speed_of_light_in_fiber_km_ms>("speed_of_light_in_fiber_km_ms")
            .done();
    return table;
}

ClassTable& simulation_config_class() {
    static ClassTable& table =
        ClassBuilder<SimulationConfig>("SimulationConfig")
            .constructor<&make_simulation_config>({"total_time_cutoff_ms", "step_resolution_ms", "alpha_loss_db_km"})
            .field<&SimulationConfig::physical>("physical")
            .field<&SimulationConfig::total_time_cutoff_ms>("total_time_cutoff_ms")
            .field<&SimulationConfig::step_resolution_ms>("step_resolution_ms")
            .done();
    return table;
}

ClassTable& node_definition_class() {
    static ClassTable& table = ClassBuilder<NodeDefinition>("NodeDefinition")
                                   .init_field<&NodeDefinition::id>("id")
                                   .init_field<&NodeDefinition::memory_lifetime_t2>("memory_lifetime_t2")
                                   .done();
    return table;
}

ClassTable& satellite_conditions_class() {
    static ClassTable& table =
        ClassBuilder<SatelliteConditions>("SatelliteConditions")
            .optional_init_field<&SatelliteConditions::visibility>("visibility")
            .optional_init_field<&SatelliteConditions::weather_factor>("weather_factor")
            .method<&conditions_effective_rate>("effective_rate", {"base_rate"}, doc::kEffectiveRateDoc)
            .done();
    return table;
}

ClassTable& link_type_class() {
    static ClassTable& table = ClassBuilder<LinkType>("LinkType")
                                   .members({{"Fiber", LinkType::Fiber}, {"Satellite", LinkType::Satellite}})
                                   .done();
    return table;
}

ClassTable& link_definition_class() {
    static ClassTable& table = ClassBuilder<LinkDefinition>("LinkDefinition")
                                   .init_field<&LinkDefinition::from_node>("from_node")
                                   .init_field<&LinkDefinition::to>("to")
                                   .init_field<&LinkDefinition::distance_km>("distance_km")
                                   .init_field<&LinkDefinition::base_fidelity>("base_fidelity")
                                   .init_field<&LinkDefinition::generation_rate_hz>("generation_rate_hz")
                                   .optional_init_field<&LinkDefinition::link_type>("link_type")
                                   .optional_init_field<&LinkDefinition::satellite_conditions>("satellite_conditions")
                                   .done();
    return table;
}

ClassTable& network_topology_payload_class() {
    static ClassTable& table = ClassBuilder<NetworkTopologyPayload>("NetworkTopologyPayload")
                                   .init_field<&NetworkTopologyPayload::nodes>("nodes")
                                   .init_field<&NetworkTopologyPayload::links>("links")
                                   .done();
    return table;
}

}  // namespace vorn::py

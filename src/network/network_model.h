// The value records with which a network is described: nodes, links,
// satellite conditions, physical constants and the simulation configuration.
// They check nothing; out-of-range values are stored and used as given.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorn {

enum class LinkType : std::uint8_t { Fiber = 0, Satellite = 1 };

struct PhysicalConfig {
    double baseline_purify_factor = 0.022;
    double speed_of_light_in_fiber_km_ms = 200.0;

    // `alpha_loss_db_km` / 10 when given, else the 0.022 default.
    static PhysicalConfig from_alpha_loss(std::optional<double> alpha_loss_db_km);
};

struct SimulationConfig {
    PhysicalConfig physical;
    double total_time_cutoff_ms = 5000.0;
    double step_resolution_ms = 0.1;
};

struct NodeDefinition {
    std::string id;
    double memory_lifetime_t2 = 0.0;
};

struct SatelliteConditions {
    double visibility = 1.0;
    double weather_factor = 1.0;

    double effective_rate(double base_rate) const { return base_rate * visibility * weather_factor; }

    friend bool operator==(const SatelliteConditions&, const SatelliteConditions&) = default;
};

struct LinkDefinition {
    std::string from_node;
    std::string to;
    double distance_km = 0.0;
    double base_fidelity = 0.0;
    double generation_rate_hz = 0.0;
    LinkType link_type = LinkType::Fiber;
    std::optional<SatelliteConditions> satellite_conditions;

    // Member-wise; a NaN member is never equal.
    friend bool operator==(const LinkDefinition&, const LinkDefinition&) = default;
};

struct NetworkTopologyPayload {
    std::vector<NodeDefinition> nodes;
    std::vector<LinkDefinition> links;
};

// The flattened configuration an engine, a request context and an ensemble
// hold, always in this order.
struct EngineConfig {
    double baseline_purify_factor = 0.12;
    double speed_of_light_in_fiber_km_ms = 200.0;
    double total_time_cutoff_ms = 5000.0;
    double step_resolution_ms = 0.1;

    static EngineConfig from(const SimulationConfig& config) {
        return {config.physical.baseline_purify_factor, config.physical.speed_of_light_in_fiber_km_ms,
                config.total_time_cutoff_ms, config.step_resolution_ms};
    }
};

}  // namespace vorn

#include "files/vorn_engine_bridge.h"

#include "files/load_file.h"

namespace vorn {

namespace {

constexpr double kMillisecondsPerSecond = 1000.0;
constexpr double kDefaultLifetimeT2 = 1.0;
// The factor of a config without alpha_loss is 0.22, the value an alpha_loss
// of 2.2 would give; without any config it is the default engine's 0.12.
constexpr double kFactorForConfigWithoutAlpha = 0.22;
constexpr double kAlphaLossToFactor = 10.0;
constexpr double kCutoffPerAttemptMs = 50.0;

}  // namespace

std::vector<NodeDefinition> engine_nodes_from_vorn(const std::vector<VornNode>& nodes) {
    std::vector<NodeDefinition> result;
    result.reserve(nodes.size());
    for (const VornNode& node : nodes) {
        const double t2 =
            node.memory_lifetime_ms ? *node.memory_lifetime_ms / kMillisecondsPerSecond : kDefaultLifetimeT2;
        result.push_back({node.id, t2});
    }
    return result;
}

std::vector<LinkDefinition> engine_links_from_vorn(const std::vector<VornLink>& links) {
    std::vector<LinkDefinition> result;
    result.reserve(links.size());
    for (const VornLink& link : links) {
        LinkDefinition definition;
        definition.from_node = link.from;
        definition.to = link.to;
        definition.distance_km = link.distance_km;
        definition.base_fidelity = link.base_fidelity;
        definition.generation_rate_hz = link.generation_rate_hz;
        definition.link_type = link.link_type == VornLinkType::Satellite ? LinkType::Satellite : LinkType::Fiber;
        if (link.satellite) {
            definition.satellite_conditions =
                SatelliteConditions{link.satellite->visibility, link.satellite->weather_factor};
        }
        result.push_back(std::move(definition));
    }
    return result;
}

EngineConfig engine_config_from_vorn(const std::optional<VornConfig>& config) {
    EngineConfig engine_config;  // 0.12, 200.0, 5000.0, 0.1
    if (config) {
        engine_config.baseline_purify_factor =
            config->alpha_loss ? *config->alpha_loss / kAlphaLossToFactor : kFactorForConfigWithoutAlpha;
        if (config->max_attempts) {
            engine_config.total_time_cutoff_ms = static_cast<double>(*config->max_attempts) * kCutoffPerAttemptMs;
        }
    }
    return engine_config;
}

void define_network_from_vorn(Engine& engine, const VornFile& file, const StopCheck& stop) {
    engine.build_network(engine_nodes_from_vorn(file.nodes), engine_links_from_vorn(file.links), stop);
}

Engine engine_from_vorn_record(const VornFile& file, const StopCheck& stop) {
    Engine engine(engine_config_from_vorn(file.config));
    define_network_from_vorn(engine, file, stop);
    return engine;
}

Engine engine_from_vorn_file(std::string_view path, const StopCheck& stop) {
    return engine_from_vorn_record(load_file(path, stop), stop);
}

}  // namespace vorn

// Binding of the engine class.
#include "engine/engine.h"
#include "python_bridge/bindings.h"
#include "python_bridge/class_builder.h"

namespace vorn::py {

namespace {

Engine make_engine(std::optional<SimulationConfig> config) {
    return config ? Engine(EngineConfig::from(*config)) : Engine();
}

void define_network(Engine& engine, std::vector<NodeDefinition> nodes, std::vector<LinkDefinition> links) {
    engine.build_network(nodes, links);
}

RequestOutcome request_entanglement(const Engine& engine, std::string from_node, std::string to,
                                    double fidelity_target, double max_latency_ms,
                                    std::optional<StrategyType> strategy) {
    return run_request(engine, {std::move(from_node), std::move(to), fidelity_target, max_latency_ms, strategy});
}

}  // namespace

ClassSpec& vorn_engine_class() {
    static ClassSpec& spec =
        ClassBuilder<Engine>("VornEngine")
            .constructor<&make_engine>({"config"})
            .method<&define_network>("define_network", {"nodes", "links"})
            .method<&request_entanglement>("request_entanglement",
                                           {"from_node", "to", "fidelity_target", "max_latency_ms", "strategy"})
            .done();
    return spec;
}

}  // namespace vorn::py

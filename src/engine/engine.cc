#include "engine/engine.h"

namespace vorn {

void Engine::build_network(const std::vector<NodeDefinition>& nodes, const std::vector<LinkDefinition>& links,
                           const StopCheck& stop) {
    install(build_graph(nodes, links, stop));
}

void Engine::install(NetworkGraph graph) { graph_ = std::make_shared<const NetworkGraph>(std::move(graph)); }

}  // namespace vorn

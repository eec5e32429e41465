// The engine: a configuration fixed at creation and at most one network graph,
// and the requests and ensembles run on it. The simulation and the analyses
// below it take the graph and the configuration themselves; the engine only
// checks that a network is installed and hands both down.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/monte_carlo_context.h"
#include "common/stop_check.h"
#include "network/network_graph.h"
#include "network/network_model.h"
#include "simulation/ensemble.h"
#include "simulation/request.h"

namespace vorn {

class Engine {
public:
    Engine() = default;
    explicit Engine(const EngineConfig& config) : config_(config) {}

    const EngineConfig& config() const { return config_; }
    // The installed graph, or nullptr when no network was defined.
    const NetworkGraph* graph() const { return graph_.get(); }
    bool has_network() const { return graph_ != nullptr; }

    // Builds a new graph from the records and installs it in place of the old
    // one; a stop (Stopped) leaves the old one.
    void build_network(const std::vector<NodeDefinition>& nodes, const std::vector<LinkDefinition>& links,
                       const StopCheck& stop = never_stop());
    void install(NetworkGraph graph);

private:
    EngineConfig config_{};
    // Shared so that copying an engine (Python owns engines by value) is cheap;
    // a graph never changes once installed.
    std::shared_ptr<const NetworkGraph> graph_;
};

// Runs one request with the all-zero-key request generator. Throws
// InternalFault when the engine has no network, Stopped when `stop` says so.
RequestOutcome run_request(const Engine& engine, const EntanglementRequest& request,
                           const StopCheck& stop = never_stop());

// run_ensemble over the engine's graph and configuration. Throws InternalFault
// when the engine has no network.
EnsembleOutcome run_ensemble(const Engine& engine, const EntanglementRequest& request, std::uint64_t runs,
                             std::optional<std::uint64_t> seed, const StopCheck& stop = never_stop(),
                             unsigned threads = 0);

// The context of an ensemble on the engine (empty node and link lists when it
// has no network).
MonteCarloContext capture_monte_carlo_context(const Engine& engine, const EntanglementRequest& request,
                                              std::optional<std::uint64_t> seed);

}  // namespace vorn

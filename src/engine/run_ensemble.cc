// Ensembles on an engine: the run, and the context captured for sensitivity
// analysis, both over the installed graph and the engine's configuration.
#include <string>

#include "common/errors.h"
#include "common/messages.h"
#include "engine/engine.h"

namespace vorn {

EnsembleOutcome run_ensemble(const Engine& engine, const EntanglementRequest& request, std::uint64_t runs,
                             std::optional<std::uint64_t> seed, const StopCheck& stop, unsigned threads) {
    const NetworkGraph* graph = engine.graph();
    if (graph == nullptr) throw InternalFault(std::string(msg::kNoNetworkForEnsemble));
    return run_ensemble(*graph, engine.config(), request, runs, seed, stop, threads);
}

MonteCarloContext capture_monte_carlo_context(const Engine& engine, const EntanglementRequest& request,
                                              std::optional<std::uint64_t> seed) {
    if (const NetworkGraph* graph = engine.graph()) {
        return capture_monte_carlo_context(*graph, engine.config(), request, seed);
    }
    return capture_monte_carlo_context(NetworkGraph{}, engine.config(), request, seed);
}

}  // namespace vorn

// The ensemble entry point that sensitivity analysis and topology comparison
// call, as a replaceable function so that seeds, run counts and the handling
// of the returned rates can be checked with scripted outcomes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "network/network_graph.h"
#include "network/network_model.h"
#include "simulation/ensemble.h"
#include "simulation/request.h"

namespace vorn {

using EnsembleRunner =
    std::function<EnsembleOutcome(const NetworkGraph&, const EngineConfig&, const EntanglementRequest&,
                                  std::uint64_t runs, std::optional<std::uint64_t> seed)>;

}  // namespace vorn

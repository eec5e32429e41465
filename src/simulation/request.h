// One entanglement request, its outcome, and the per-request state that the
// simulation leaves behind for ensembles.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/network_model.h"

namespace vorn {

// Strategy codes: 0 LowestLatency, 1 HighestFidelity, anything else is scored
// as HighestSuccess. No strategy means HighestFidelity with fallback.
enum class StrategyType : std::uint8_t { LowestLatency = 0, HighestFidelity = 1, HighestSuccess = 2 };

struct EntanglementRequest {
    std::string from_node;
    std::string to;
    double fidelity_target = 0.0;
    double max_latency_ms = 0.0;
    std::optional<StrategyType> strategy;
};

// The outcome of one request (Python: SimulationResult).
struct RequestOutcome {
    bool success = false;
    double latency_ms = 0.0;
    double final_fidelity = 0.0;
    std::vector<std::string> execution_path;
};

}  // namespace vorn

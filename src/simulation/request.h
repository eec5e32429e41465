// One entanglement request, its outcome, and the per-request state that the
// simulation leaves behind for ensembles.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "network/network_model.h"

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

// Per-request state that a request leaves behind: ensembles merge the
// link-usage counts into their heat map. Keys are "a->b" for the hop from a
// to b in path direction; each generation attempt on the hop counts once.
struct RequestContext {
    EngineConfig config;
    std::map<std::string, std::uint64_t> link_usage;
};

// Pairs live only within the round that creates them (every pair is released,
// kept or lost, in that round), so the tallies keep just the count of failed
// generation attempts since the last fidelity retry.
struct RequestTallies {
    std::uint64_t drops = 0;
};

}  // namespace vorn

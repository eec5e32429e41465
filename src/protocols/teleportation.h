// Teleportation of a state over one entanglement request: the teleported
// fidelity is the state's fidelity times the resource pair's, capped, and
// every relay node adds a fixed classical forwarding delay.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "protocols/request_runner.h"

namespace vorn {

struct TeleportationParameters {
    std::string source_node;
    std::string target_node;
    std::vector<std::string> relay_nodes;
    double state_fidelity = 0.95;           // also the request's fidelity target
    double classical_bandwidth_ms = 100.0;  // the request's latency budget
};

struct TeleportationOutcome {
    bool success = false;
    double teleportation_fidelity = 0.0;
    double resource_entanglement_fidelity = 0.0;
    double latency_ms = 0.0;
    std::vector<std::string> path;
    std::uint64_t classical_bits_transferred = 0;
};

// Aggregate of several outcomes; filled by callers, never computed here.
struct TeleportationStats {
    std::uint64_t total_runs = 0;
    double success_rate = 0.0;
    double mean_teleportation_fidelity = 0.0;
    double teleportation_fidelity_stddev = 0.0;
    double mean_latency_ms = 0.0;
};

// The reported path is the source, the relays and the target; relays never
// influence routing. Without a network the path stops after the relays.
TeleportationOutcome execute_teleportation(const Engine& engine, const TeleportationParameters& params,
                                           const StopCheck& stop = never_stop());
TeleportationOutcome execute_teleportation(const Engine& engine, const TeleportationParameters& params,
                                           const RequestRunner& run);

// "TeleportationOutcome(success=true, fidelity=0.8550, latency=12.3ms)"
std::string teleportation_outcome_repr(const TeleportationOutcome& outcome);
// "TeleportationStats(runs=50, fidelity=0.8123±0.0210)"
std::string teleportation_stats_repr(const TeleportationStats& stats);

}  // namespace vorn

#include "protocols/teleportation.h"

#include <cmath>

#include "protocols/repr_fields.h"

namespace vorn {

namespace {

constexpr double kRelayHopKm = 50.0;
constexpr double kClassicalSpeedKmMs = 200.0;  // 0.25 ms per relay node
constexpr double kTeleportationFidelityCap = 0.999;
constexpr double kSuccessThreshold = 0.5;
constexpr std::uint64_t kClassicalBitsPerTeleport = 2;

}  // namespace

TeleportationOutcome execute_teleportation(const Engine& engine, const TeleportationParameters& params,
                                           const StopCheck& stop) {
    return execute_teleportation(engine, params, engine_requests(stop));
}

TeleportationOutcome execute_teleportation(const Engine& engine, const TeleportationParameters& params,
                                           const RequestRunner& run) {
    TeleportationOutcome outcome;
    outcome.path.reserve(params.relay_nodes.size() + 2);
    outcome.path.push_back(params.source_node);
    outcome.path.insert(outcome.path.end(), params.relay_nodes.begin(), params.relay_nodes.end());

    double resource = 0.0;
    double latency = 0.0;
    if (engine.has_network()) {
        const RequestOutcome request_outcome =
            run(engine, {params.source_node, params.target_node, params.state_fidelity, params.classical_bandwidth_ms,
                         StrategyType::HighestFidelity});
        // The fidelity is taken as reported; a failed request reports 0.
        resource = request_outcome.final_fidelity;
        latency = request_outcome.latency_ms;
        if (!params.relay_nodes.empty()) {
            latency += static_cast<double>(params.relay_nodes.size()) * kRelayHopKm / kClassicalSpeedKmMs;
        }
        outcome.path.push_back(params.target_node);
    }

    outcome.teleportation_fidelity =
        resource > 0.0 ? std::fmin(params.state_fidelity * resource, kTeleportationFidelityCap) : 0.0;
    outcome.resource_entanglement_fidelity = resource;
    outcome.latency_ms = latency;
    outcome.classical_bits_transferred = kClassicalBitsPerTeleport;
    outcome.success = resource > kSuccessThreshold;
    return outcome;
}

std::string teleportation_outcome_repr(const TeleportationOutcome& outcome) {
    return ReprFields("TeleportationOutcome")
        .flag("success", outcome.success)
        .fixed("fidelity", outcome.teleportation_fidelity, 4)
        .fixed("latency", outcome.latency_ms, 1)
        .unit("ms")
        .close();
}

std::string teleportation_stats_repr(const TeleportationStats& stats) {
    return ReprFields("TeleportationStats")
        .count("runs", stats.total_runs)
        .fixed("fidelity", stats.mean_teleportation_fidelity, 4)
        .plus_minus(stats.teleportation_fidelity_stddev, 4)
        .close();
}

}  // namespace vorn

#include "protocols/teleportation.h"

#include <cmath>

#include "common/repr_text.h"

namespace vorn {

namespace {

constexpr double kRelayHopKm = 50.0;
constexpr double kClassicalSpeedKmMs = 200.0;  // 0.25 ms per relay node
constexpr double kFidelityCap = 0.999;
constexpr double kSuccessThreshold = 0.5;
constexpr std::uint64_t kClassicalBitsPerTeleport = 2;

}  // namespace

TeleportationOutcome execute_teleportation(const Engine& engine, const TeleportationParameters& params,
                                           const StopCheck& stop) {
    return execute_teleportation(engine, params,
                                 [&stop](const Engine& e, const EntanglementRequest& r) { return run_request(e, r, stop); });
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
            run(engine, {params.source_node, params.target_node, params.state_fidelity,
                         params.classical_bandwidth_ms, StrategyType::HighestFidelity});
        // The fidelity is taken as reported; a failed request reports 0.
        resource = request_outcome.final_fidelity;
        latency = request_outcome.latency_ms;
        if (!params.relay_nodes.empty()) {
            latency += static_cast<double>(params.relay_nodes.size()) * kRelayHopKm / kClassicalSpeedKmMs;
        }
        outcome.path.push_back(params.target_node);
    }

    outcome.teleportation_fidelity = resource > 0.0 ? std::fmin(params.state_fidelity * resource, kFidelityCap) : 0.0;
    outcome.resource_entanglement_fidelity = resource;
    outcome.latency_ms = latency;
    outcome.classical_bits_transferred = kClassicalBitsPerTeleport;
    outcome.success = resource > kSuccessThreshold;
    return outcome;
}

std::string teleportation_outcome_repr(const TeleportationOutcome& outcome) {
    std::string text = "TeleportationOutcome(success=";
    text += bool_text(outcome.success);
    text += ", fidelity=";
    append_fixed(text, outcome.teleportation_fidelity, 4);
    text += ", latency=";
    append_fixed(text, outcome.latency_ms, 1);
    text += "ms)";
    return text;
}

std::string teleportation_stats_repr(const TeleportationStats& stats) {
    std::string text = "TeleportationStats(runs=";
    append_decimal(text, stats.total_runs);
    text += ", fidelity=";
    append_fixed(text, stats.mean_teleportation_fidelity, 4);
    text += "\xC2\xB1";  // U+00B1 PLUS-MINUS SIGN in UTF-8
    append_fixed(text, stats.teleportation_fidelity_stddev, 4);
    text += ')';
    return text;
}

}  // namespace vorn

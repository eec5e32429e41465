// Everything about a physical-model request that is settled before its
// first run: the route (the one the round model picks), and per hop the
// attempt time, the attempt success probability and the Werner parameter of
// a generated pair, per node the memory decay rate, and the signalling time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/stop_check.h"
#include "network/network_model.h"
#include "physical/physical_model.h"
#include "simulation/request.h"

namespace vorn {

struct ChainPlan {
    // The route's nodes; empty when there is no route of at least one hop.
    std::vector<std::string> path;
    // "a->b" per hop in path direction (keys of attempts_per_link).
    std::vector<std::string> hop_keys;

    // False when no run can deliver: no route, a hop whose attempts never
    // succeed or never end, or swaps that always fail on three or more nodes.
    bool can_deliver = false;

    // Per hop: attempt time tau_i (ms), success probability p_i,
    // 1 / log(1 - p_i) for drawing attempt counts by inversion, Werner
    // parameter of a pair.
    std::vector<double> attempt_ms;
    std::vector<double> success_probability;
    std::vector<double> inverse_log_failure;
    std::vector<double> werner;
    // Per node in path order: the rate (per ms) at which a stored qubit's
    // Werner parameter decays, 1 / (1000 T2); 0 for no decoherence.
    std::vector<double> decay_per_ms;

    double swap_success = 1.0;
    bool swaps_can_fail = false;
    // Swap draws whose top 52 bits are below this succeed (closed01_win_bound).
    std::uint64_t swap_win_bound = 0;
    // Infinity without a cutoff (or a NaN one); at least 0.
    double cutoff_ms = 0.0;
    // Route length / speed: the time from the end-to-end pair to delivery.
    double signalling_ms = 0.0;
    // The latest time at which the end-to-end pair may form and still be
    // delivered within max_latency_ms.
    double deadline_ms = 0.0;
    double fidelity_target = 0.0;
    double max_latency_ms = 0.0;

    std::size_t hops() const { return attempt_ms.size(); }
};

// Werner parameter of a pair of fidelity F, and back.
inline double werner_from_fidelity(double fidelity) { return (4.0 * fidelity - 1.0) / 3.0; }
inline double fidelity_from_werner(double werner) { return (1.0 + 3.0 * werner) / 4.0; }

// Success probability of one attempt on a link of the network: fiber loss
// over its length, or the satellite loss and its conditions (1.0 when none
// are given), times the source efficiency; clamped to [0, 1], NaN gives 0.
double attempt_success_probability(const LinkDefinition& link, const PhysicalModel& model);

// The route comes from the round model's route choice (strategy and its
// fallback to the lowest-latency route) over a graph built from `network`;
// hop i uses the first link in list order that joins its two nodes. The
// route search polls `stop`.
ChainPlan plan_chain(const NetworkTopologyPayload& network, const EntanglementRequest& request,
                     const PhysicalModel& model, const StopCheck& stop = never_stop());

}  // namespace vorn

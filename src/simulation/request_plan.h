// Everything about a request that is settled before its first round: the
// strategy, the route (with the fallback to the lowest-latency route), the
// feasibility and signalling checks, and the per-hop constants of the round
// loop. None of it depends on a random generator, so an ensemble plans once
// and replays only the rounds.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/stop_check.h"
#include "network/network_graph.h"
#include "network/network_model.h"
#include "routing/route_objective.h"
#include "simulation/request.h"

namespace vorn {

struct RequestPlan {
    // The request ends before any round, unsuccessful, with this latency.
    bool ends_early = false;
    double early_latency_ms = 0.0;

    // The route's nodes; empty when there is no route.
    std::vector<std::string> path;
    // Per hop: the success probability of one generation attempt, and the
    // same as a bound on the top 52 bits of the draw (closed01_win_bound).
    std::vector<double> hop_probability;
    std::vector<std::uint64_t> hop_win_bound;
    // hop_win_bound repeated a whole number of times (at least 64 draws when
    // there are hops): the bounds of consecutive rounds' draws.
    std::vector<std::uint64_t> hop_win_pattern;

    double start_fidelity = 0.0;
    // Paths of three or more nodes swap; a round that keeps every hop's pair
    // sets the fidelity to swapped_fidelity (the product of the pairs'
    // fidelities with G applied once per intermediate node).
    bool swaps = false;
    double swapped_fidelity = 0.0;

    double fidelity_target = 0.0;
    double max_latency_ms = 0.0;
    double total_time_cutoff_ms = 0.0;
    double baseline_purify_factor = 0.0;
};

// The route objective of a request: its strategy's, else HighestFidelity.
RouteObjective route_objective(const EntanglementRequest& request);

// The route searches poll `stop`.
RequestPlan plan_request(const NetworkGraph& graph, const EngineConfig& config, const EntanglementRequest& request,
                         const StopCheck& stop = never_stop());

// The outcome of a request that ended before any round.
RequestOutcome early_outcome(const RequestPlan& plan);

}  // namespace vorn

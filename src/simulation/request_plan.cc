#include "simulation/request_plan.h"

#include "routing/route_search.h"
#include "random/chacha12.h"
#include "simulation/request_physics.h"

namespace vorn {
namespace {

const GraphLink* hop_link(const NetworkGraph& graph, const Route& route, std::size_t hop) {
    const std::size_t l = route.hop_links[hop];
    return l == Route::kNoLink ? nullptr : &graph.links[l];
}

}  // namespace

RouteObjective route_objective(const EntanglementRequest& request) {
    return request.strategy ? route_objective_of_code(static_cast<std::uint8_t>(*request.strategy))
                            : RouteObjective::kHighestFidelity;
}

RequestPlan plan_request(const NetworkGraph& graph, const EngineConfig& config, const EntanglementRequest& request,
                         const StopCheck& stop) {
    RequestPlan plan;
    plan.fidelity_target = request.fidelity_target;
    plan.max_latency_ms = request.max_latency_ms;
    plan.total_time_cutoff_ms = config.total_time_cutoff_ms;
    plan.baseline_purify_factor = config.baseline_purify_factor;
    plan.ends_early = true;
    const double target = request.fidelity_target;
    const double beta = config.baseline_purify_factor;

    const RouteObjective objective = route_objective(request);
    std::optional<Route> route = find_route(graph, request.from_node, request.to, objective, stop);
    if (!route) return plan;
    // The fidelity route cannot reach the target: use the fastest route.
    if (objective == RouteObjective::kHighestFidelity && target > route->fidelity) {
        route = find_route(graph, request.from_node, request.to, RouteObjective::kLowestLatency, stop);
        if (!route) return plan;
    }
    plan.path = std::move(route->path);

    // One purification is the most this check allows for.
    const double start = route->fidelity;
    if (target > start && target > purify_fidelity(start, beta)) return plan;

    const std::size_t hops = route->hop_links.size();
    double signalling_ms = 0.0;
    for (std::size_t h = 0; h < hops; ++h) {
        const GraphLink* link = hop_link(graph, *route, h);
        signalling_ms += (link ? link->distance_km : 0.0) / config.speed_of_light_in_fiber_km_ms;
    }
    if (signalling_ms > request.max_latency_ms) {
        plan.early_latency_ms = signalling_ms;
        return plan;
    }

    plan.ends_early = false;
    plan.start_fidelity = start;
    plan.hop_probability.reserve(hops);
    double swapped = 1.0;
    for (std::size_t h = 0; h < hops; ++h) {
        const GraphLink* link = hop_link(graph, *route, h);
        plan.hop_probability.push_back(link ? hop_success_probability(link->distance_km, link->base_fidelity, target)
                                            : 0.0);
        swapped *= link ? link->base_fidelity : 0.0;
    }
    plan.hop_win_bound.reserve(hops);
    for (const double p : plan.hop_probability) plan.hop_win_bound.push_back(closed01_win_bound(p));
    while (hops != 0 && plan.hop_win_pattern.size() < 64) {
        plan.hop_win_pattern.insert(plan.hop_win_pattern.end(), plan.hop_win_bound.begin(), plan.hop_win_bound.end());
    }
    plan.swaps = plan.path.size() >= 3;
    if (plan.swaps) {
        for (std::size_t i = 0; i + 2 < plan.path.size(); ++i) swapped = purify_fidelity(swapped, beta);
        plan.swapped_fidelity = swapped;
    }
    return plan;
}

RequestOutcome early_outcome(const RequestPlan& plan) { return {false, plan.early_latency_ms, 0.0, plan.path}; }

}  // namespace vorn

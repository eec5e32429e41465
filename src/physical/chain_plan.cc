#include "physical/chain_plan.h"

#include <cmath>
#include <limits>

#include "network/network_graph.h"
#include "random/chacha12.h"
#include "simulation/request_plan.h"

namespace vorn {
namespace {

// The first link in list order that joins a and b, in either orientation.
const LinkDefinition* joining_link(const std::vector<LinkDefinition>& links, const std::string& a,
                                   const std::string& b) {
    for (const LinkDefinition& link : links) {
        if ((link.from_node == a && link.to == b) || (link.from_node == b && link.to == a)) return &link;
    }
    return nullptr;
}

// 1 / (1000 T2) for a memory of T2 seconds; only T2 > 0 decoheres (a node
// without entry, or with T2 of 0, negative or NaN, keeps its qubits intact).
double decay_rate(const NodeEntry* node) {
    if (node == nullptr || !(node->memory_lifetime_t2 > 0.0)) return 0.0;
    return 1.0 / (1000.0 * node->memory_lifetime_t2);
}

double clamped_probability(double p) {
    if (!(p > 0.0)) return 0.0;
    return p < 1.0 ? p : 1.0;
}

}  // namespace

double attempt_success_probability(const LinkDefinition& link, const PhysicalModel& model) {
    double transmission;
    if (link.link_type == LinkType::Satellite) {
        const SatelliteConditions conditions = link.satellite_conditions.value_or(SatelliteConditions{});
        transmission =
            conditions.visibility * conditions.weather_factor * std::pow(10.0, -model.satellite_loss_db / 10.0);
    } else {
        transmission = std::pow(10.0, -model.attenuation_db_km * link.distance_km / 10.0);
    }
    return clamped_probability(model.source_efficiency * transmission);
}

ChainPlan plan_chain(const NetworkTopologyPayload& network, const EntanglementRequest& request,
                     const PhysicalModel& model, const StopCheck& stop) {
    ChainPlan plan;
    plan.fidelity_target = request.fidelity_target;
    plan.max_latency_ms = request.max_latency_ms;
    plan.swap_success = model.swap_success;
    // A negative cutoff discards pairs as 0 does; NaN is no cutoff.
    plan.cutoff_ms = model.memory_cutoff_ms && !std::isnan(*model.memory_cutoff_ms)
                         ? std::fmax(*model.memory_cutoff_ms, 0.0)
                         : std::numeric_limits<double>::infinity();

    const NetworkGraph graph = build_graph(network.nodes, network.links);
    // The round model's route choice; its path does not depend on the
    // configuration.
    std::vector<std::string> path = plan_request(graph, EngineConfig{}, request, stop).path;
    if (path.size() < 2) return plan;
    plan.path = std::move(path);

    const std::size_t hops = plan.path.size() - 1;
    bool every_hop_ends = true;
    double length_km = 0.0;
    for (std::size_t h = 0; h < hops; ++h) {
        const LinkDefinition* link = joining_link(network.links, plan.path[h], plan.path[h + 1]);
        plan.hop_keys.push_back(plan.path[h] + "->" + plan.path[h + 1]);
        const double distance = link ? link->distance_km : 0.0;
        const double p = link ? attempt_success_probability(*link, model) : 0.0;
        const double tau = std::fmax(link ? 1000.0 / link->generation_rate_hz : 0.0, distance / model.speed_km_ms);
        plan.attempt_ms.push_back(tau);
        plan.success_probability.push_back(p);
        plan.inverse_log_failure.push_back(1.0 / std::log1p(-p));
        plan.werner.push_back(werner_from_fidelity(link ? link->base_fidelity : 0.0));
        length_km += distance;
        every_hop_ends = every_hop_ends && p > 0.0 && tau >= 0.0 && std::isfinite(tau);
    }
    for (const std::string& id : plan.path) plan.decay_per_ms.push_back(decay_rate(graph.nodes.find(id)));

    plan.swaps_can_fail = hops >= 2 && !(model.swap_success >= 1.0);
    plan.swap_win_bound = closed01_win_bound(model.swap_success);
    plan.signalling_ms = length_km / model.speed_km_ms;
    plan.deadline_ms = request.max_latency_ms - plan.signalling_ms;
    const bool swaps_ever_succeed = hops < 2 || plan.swap_win_bound != 0;
    plan.can_deliver =
        every_hop_ends && swaps_ever_succeed && std::isfinite(plan.signalling_ms) && plan.deadline_ms >= 0.0;
    return plan;
}

}  // namespace vorn

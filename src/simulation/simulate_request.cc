#include "simulation/simulate_request.h"

#include "simulation/request_plan.h"
#include "simulation/round_loop.h"

namespace vorn {
namespace {

template <class LossGenerator>
RequestOutcome simulate(const NetworkGraph& graph, RequestContext& context, RequestTallies& tallies,
                        const EntanglementRequest& request, ChaCha12Generator& request_generator,
                        LossGenerator& loss_generator, const StopCheck& stop, RoundsKept kept) {
    RequestPlan plan = plan_request(graph, context.config, request, stop);
    if (plan.ends_early) return early_outcome(plan);
    const RoundsResult rounds =
        run_rounds(plan, tallies.drops, request_generator, loss_generator, stop, 0.0, nullptr, kept);
    add_link_usage(context.link_usage, plan.path, rounds.rounds);
    return {rounds.success, rounds.latency_ms, rounds.fidelity, std::move(plan.path)};
}

}  // namespace

RequestOutcome simulate_request(const NetworkGraph& graph, RequestContext& context, RequestTallies& tallies,
                                const EntanglementRequest& request, ChaCha12Generator& request_generator,
                                ChaCha12Generator& loss_generator, const StopCheck& stop) {
    return simulate(graph, context, tallies, request, request_generator, loss_generator, stop,
                    RoundsKept::kCountsAndDraws);
}

RequestOutcome simulate_request(const NetworkGraph& graph, RequestContext& context, RequestTallies& tallies,
                                const EntanglementRequest& request, ChaCha12Generator& request_generator,
                                ThreadGenerator& loss_generator, const StopCheck& stop) {
    return simulate(graph, context, tallies, request, request_generator, loss_generator, stop,
                    RoundsKept::kCountsAndDraws);
}

RequestOutcome request_outcome(const NetworkGraph& graph, const EngineConfig& config,
                               const EntanglementRequest& request, ChaCha12Generator& request_generator,
                               ThreadGenerator& loss_generator, const StopCheck& stop) {
    RequestContext context{config, {}};
    RequestTallies tallies;
    return simulate(graph, context, tallies, request, request_generator, loss_generator, stop,
                    RoundsKept::kOutcomeOnly);
}

void add_link_usage(std::map<std::string, std::uint64_t>& usage, const std::vector<std::string>& path,
                    std::uint64_t attempts) {
    if (attempts == 0) return;
    for (std::size_t i = 1; i < path.size(); ++i) {
        std::string key;
        key.reserve(path[i - 1].size() + 2 + path[i].size());
        key.append(path[i - 1]).append("->").append(path[i]);
        usage[std::move(key)] += attempts;
    }
}

}  // namespace vorn

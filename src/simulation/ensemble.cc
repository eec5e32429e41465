#include "simulation/ensemble.h"

#include <chrono>
#include <string>

#include "common/errors.h"
#include "common/messages.h"
#include "simulation/chacha12.h"
#include "simulation/request_plan.h"
#include "simulation/round_loop.h"
#include "simulation/simulate_request.h"

namespace vorn {
namespace {

// Nanoseconds since the Unix epoch (seconds x 1e9 + sub-second part, wrapping),
// or 0 for a clock set before the epoch.
std::uint64_t clock_seed() {
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    if (since_epoch.count() < 0) return 0;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch);
    const auto subsecond = std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch - seconds);
    return static_cast<std::uint64_t>(seconds.count()) * 1'000'000'000ULL + static_cast<std::uint64_t>(subsecond.count());
}

}  // namespace

EnsembleOutcome run_ensemble(const Engine& engine, const EntanglementRequest& request, std::uint64_t runs,
                             std::optional<std::uint64_t> seed) {
    const NetworkGraph* graph = engine.graph();
    if (graph == nullptr) throw InternalFault(std::string(msg::kNoNetworkForEnsemble));
    const std::uint64_t base = seed ? *seed : clock_seed();

    // The route and every per-hop constant depend on the graph and the
    // request only; the runs differ in their random streams alone.
    const RequestPlan plan = plan_request(*graph, engine.config(), request);

    // 64 bits: a 32-bit count would wrap past 2^31 successes and report a
    // negative success rate.
    std::uint64_t successes = 0;
    double fidelity_sum = 0.0;
    double latency_sum = 0.0;
    std::uint64_t drops = 0;
    std::uint64_t attempts_per_hop = 0;
    for (std::uint64_t i = 0; i < runs; ++i) {
        if (plan.ends_early) {
            latency_sum += plan.early_latency_ms;
            continue;
        }
        // Run i: generation draws from seed base + i, stream 0; memory-loss
        // draws from the same key on stream 1, so seeded ensembles repeat exactly.
        const ChaCha12Generator::Key key = ChaCha12Generator::key_from_u64(base + i);
        ChaCha12Generator request_generator(key, 0);
        ChaCha12Generator loss_generator(key, 1);
        std::uint64_t run_drops = 0;
        const RoundsResult result = run_rounds(plan, run_drops, request_generator, loss_generator);
        if (result.success) {
            ++successes;
            fidelity_sum += result.fidelity;
        }
        latency_sum += result.latency_ms;
        drops += run_drops;
        attempts_per_hop += result.rounds;
    }

    EnsembleOutcome outcome;
    add_link_usage(outcome.link_usage, plan.path, attempts_per_hop);
    outcome.total_runs = runs;
    outcome.empirical_success_rate = static_cast<double>(successes) / static_cast<double>(runs);
    outcome.mean_latency_ms = latency_sum / static_cast<double>(runs);
    outcome.mean_fidelity = successes >= 1 ? fidelity_sum / static_cast<double>(successes) : 0.0;
    outcome.aggregate_congestion_drops = drops;
    return outcome;
}

}  // namespace vorn

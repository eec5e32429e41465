#include "protocols/qkd.h"

#include "common/saturating_u64.h"
#include "protocols/repr_fields.h"

namespace vorn {

namespace {

// Simulated time charged for a round whose request failed, whatever latency
// the request itself reports.
constexpr double kFailedRoundCostMs = 2.5;

}  // namespace

QKDResult run_qkd(const Engine& engine, const QKDParameters& params, const StopCheck& stop) {
    return run_qkd(engine, params, engine_requests(stop));
}

QKDResult run_qkd(const Engine& engine, const QKDParameters& params, const RequestRunner& run) {
    QKDResult result;
    std::uint64_t completed = 0;
    std::uint64_t failed = 0;
    double total_ms = 0.0;
    double fidelity_sum = 0.0;

    if (engine.has_network()) {
        EntanglementRequest request{params.from_node, params.to_node, params.fidelity_target, 0.0,
                                    StrategyType::HighestFidelity};
        for (std::uint64_t round = 0; round < params.rounds; ++round) {
            // A spent budget ends the exchange and counts as one more failed round.
            if (total_ms >= params.max_latency_ms) {
                ++failed;
                break;
            }
            request.max_latency_ms = params.max_latency_ms - total_ms;
            RequestOutcome outcome = run(engine, request);
            if (outcome.success) {
                ++completed;
                fidelity_sum += outcome.final_fidelity;
                total_ms += outcome.latency_ms;
                result.execution_path = std::move(outcome.execution_path);
            } else {
                ++failed;
                total_ms += kFailedRoundCostMs;
            }
        }
    }

    const double completed_real = static_cast<double>(completed);
    result.qber = completed > 0 ? (1.0 - fidelity_sum / completed_real) * 0.5 : 1.0;
    if (completed > 0 && params.error_rate_tolerance > result.qber) {
        // Both stages keep whole bits: the sifted count is truncated before
        // privacy amplification is applied to it.
        const std::uint64_t sifted = truncate_to_u64((1.0 - params.sifting_overhead_ratio) * completed_real);
        result.secret_key_length_bits =
            truncate_to_u64(static_cast<double>(sifted) * params.privacy_amplification_factor);
    }
    result.success = completed > 0;
    result.efficiency_rate =
        params.rounds != 0 ? static_cast<double>(result.secret_key_length_bits) / static_cast<double>(params.rounds)
                           : 0.0;
    result.latency_ms = total_ms;
    result.rounds_completed = completed;
    result.rounds_failed = failed;
    return result;
}

std::string qkd_result_repr(const QKDResult& result) {
    return ReprFields("QKDResult")
        .flag("success", result.success)
        .count("key_bits", result.secret_key_length_bits)
        .fixed("qber", result.qber, 4)
        .close();
}

std::string qkd_stats_repr(const QKDStats& stats) {
    return ReprFields("QKDStats")
        .count("runs", stats.total_runs)
        .percent("success", stats.success_rate)
        .fixed("mean_key_len", stats.mean_key_length_bits, 1)
        .close();
}

}  // namespace vorn

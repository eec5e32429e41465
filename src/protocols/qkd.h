// BB84-style key exchange estimated from single entanglement requests: the
// fidelities of the completed rounds give the bit error rate, sifting and
// privacy amplification shrink the completed rounds into a key length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "protocols/request_runner.h"

namespace vorn {

struct QKDParameters {
    std::string from_node;
    std::string to_node;
    double fidelity_target = 0.0;
    double max_latency_ms = 0.0;  // budget of the whole exchange
    std::uint64_t rounds = 100;
    double error_rate_tolerance = 0.11;
    double sifting_overhead_ratio = 0.5;
    double privacy_amplification_factor = 0.8;
};

struct QKDResult {
    bool success = false;
    std::uint64_t secret_key_length_bits = 0;
    double efficiency_rate = 0.0;
    double qber = 1.0;
    double latency_ms = 0.0;
    std::vector<std::string> execution_path;
    std::uint64_t rounds_completed = 0;
    std::uint64_t rounds_failed = 0;
};

// Aggregate of several results; filled by callers, never computed here.
struct QKDStats {
    std::uint64_t total_runs = 0;
    double success_rate = 0.0;
    double mean_key_length_bits = 0.0;
    double mean_efficiency = 0.0;
    double mean_qber = 0.0;
};

// Each round is one request with the HighestFidelity strategy and the budget
// left over; a failed round costs a fixed back-off. Without a network no
// round runs and the result reports nothing completed.
QKDResult run_qkd(const Engine& engine, const QKDParameters& params, const StopCheck& stop = never_stop());
QKDResult run_qkd(const Engine& engine, const QKDParameters& params, const RequestRunner& run);

// "QKDResult(success=true, key_bits=40, qber=0.0250)"
std::string qkd_result_repr(const QKDResult& result);
// "QKDStats(runs=10, success=80, mean_key_len=36.5)"
std::string qkd_stats_repr(const QKDStats& stats);

}  // namespace vorn

// A distributed computation among participant nodes: every edge of the
// coordination shape is served by one entanglement request; a participant's
// local fidelity is the mean of its incident edge fidelities scaled by the
// correlation strength, and the computation fidelity is their product.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "protocols/coordination_shape.h"
#include "protocols/request_runner.h"

namespace vorn {

// Carried through to the parameters; no computation reads it.
enum class BasisType : std::uint8_t { GHZ = 0, Cluster = 1, GraphGraph = 2 };

struct MeasurementBasis {
    BasisType basis_type = BasisType::GHZ;
    double correlation_strength = 0.85;
};

struct DistributedComputingParameters {
    std::vector<std::string> participants;
    CoordinationTopology coordination_topology;
    MeasurementBasis measurement_basis;
    double classical_relay_latency_ms = 5.0;
};

struct PartyOutcome {
    std::string node_id;
    bool successful_measurement = false;
    double local_fidelity = 0.0;
};

struct DistributedComputingResult {
    bool success = false;
    double computation_fidelity = 0.0;
    std::vector<PartyOutcome> party_results;
    std::vector<std::string> resource_links_used;
    double total_latency_ms = 0.0;
    double coordination_overhead_ms = 0.0;
};

// Aggregate of several results; filled by callers, never computed here.
struct DistributedComputingStats {
    std::uint64_t total_runs = 0;
    double success_rate = 0.0;
    double mean_computation_fidelity = 0.0;
    double mean_party_success_rate = 0.0;
};

// The computation itself. Each edge request has fidelity target 0.9, budget
// 10 × the relay latency and the HighestFidelity strategy. Without a network
// nothing runs and the result is empty and unsuccessful.
DistributedComputingResult execute_distributed_computation(const Engine& engine,
                                                           const std::vector<std::string>& participants,
                                                           const CoordinationShape& shape, double correlation_strength,
                                                           double classical_relay_latency_ms, const RequestRunner& run);

// The value-record form: the topology record is converted to its shape (never
// an error) and the correlation strength taken from the basis.
DistributedComputingResult distributed_computation(const Engine& engine, const DistributedComputingParameters& params,
                                                   const StopCheck& stop = never_stop());

// The text form: `coordination_topology` must be exactly "star", "ring" or
// "mesh" (a star is centred on the first participant, or the empty id when
// there is none); `basis_type` exactly "ghz", "cluster" or "graph". Both are
// checked, topology first, before the network is looked at; a rejected text
// raises ValueError. Defaults: correlation 0.85, relay latency 5.0 ms.
DistributedComputingResult run_distributed_computation(
    const Engine& engine, const std::vector<std::string>& participants, std::string_view coordination_topology,
    std::string_view basis_type, std::optional<double> correlation_strength,
    std::optional<double> classical_relay_latency_ms, const StopCheck& stop = never_stop());
CoordinationShape parse_coordination_topology(std::string_view text, const std::vector<std::string>& participants);
BasisType parse_basis_type(std::string_view text);

// "PartyOutcome(A, success=true, fidelity=0.7650)"
std::string party_outcome_repr(const PartyOutcome& outcome);
// "DistributedComputingResult(success=true, fidelity=0.1234, parties=3)"
std::string distributed_result_repr(const DistributedComputingResult& result);
// "DistributedComputingStats(runs=10, success=80, fidelity=0.1234)"
std::string distributed_stats_repr(const DistributedComputingStats& stats);

}  // namespace vorn

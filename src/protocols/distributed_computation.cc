#include "protocols/distributed_computation.h"

#include <cmath>

#include "common/errors.h"
#include "common/messages.h"
#include "protocols/repr_fields.h"

namespace vorn {

namespace {

constexpr double kEdgeFidelityTarget = 0.9;
constexpr double kEdgeBudgetPerRelayLatency = 10.0;
constexpr double kComputationFidelityCap = 0.999;
constexpr double kMeasurementThreshold = 0.5;
constexpr double kDefaultCorrelation = 0.85;
constexpr double kDefaultRelayLatencyMs = 5.0;

}  // namespace

DistributedComputingResult execute_distributed_computation(const Engine& engine,
                                                           const std::vector<std::string>& participants,
                                                           const CoordinationShape& shape, double correlation_strength,
                                                           double classical_relay_latency_ms,
                                                           const RequestRunner& run) {
    DistributedComputingResult result;
    if (!engine.has_network()) return result;

    const std::vector<NodePair> edges = coordination_edges(shape, participants);
    std::vector<double> edge_fidelity;
    edge_fidelity.reserve(edges.size());
    result.resource_links_used.reserve(edges.size());
    EntanglementRequest request{{},
                                {},
                                kEdgeFidelityTarget,
                                classical_relay_latency_ms * kEdgeBudgetPerRelayLatency,
                                StrategyType::HighestFidelity};
    for (const auto& [a, b] : edges) {
        request.from_node = a;
        request.to = b;
        const RequestOutcome outcome = run(engine, request);
        edge_fidelity.push_back(outcome.success ? outcome.final_fidelity : 0.0);
        result.total_latency_ms += outcome.latency_ms;
        result.resource_links_used.push_back(a + "->" + b);
    }

    double product = 1.0;
    bool all_measured = true;
    result.party_results.reserve(participants.size());
    for (const std::string& party : participants) {
        // A self-edge touches its node once.
        double sum = 0.0;
        std::size_t count = 0;
        bool measured = true;
        for (std::size_t e = 0; e < edges.size(); ++e) {
            if (edges[e].first != party && edges[e].second != party) continue;
            sum += edge_fidelity[e];
            ++count;
            measured = measured && edge_fidelity[e] > kMeasurementThreshold;
        }
        const double mean = count > 0 ? sum / static_cast<double>(count) : 1.0;
        const double local = mean * correlation_strength;
        result.party_results.push_back({party, measured, std::fmin(local, kComputationFidelityCap)});
        product *= local;  // the product runs over the uncapped values
        all_measured = all_measured && measured;
    }

    result.success = !participants.empty() && all_measured;
    result.computation_fidelity = std::fmin(product, kComputationFidelityCap);
    result.coordination_overhead_ms =
        edges.empty() ? 0.0 : static_cast<double>(edges.size()) * classical_relay_latency_ms;
    return result;
}

DistributedComputingResult distributed_computation(const Engine& engine, const DistributedComputingParameters& params,
                                                   const StopCheck& stop) {
    return execute_distributed_computation(
        engine, params.participants, to_coordination_shape(params.coordination_topology),
        params.measurement_basis.correlation_strength, params.classical_relay_latency_ms, engine_requests(stop));
}

CoordinationShape parse_coordination_topology(std::string_view text, const std::vector<std::string>& participants) {
    if (text == "star") return StarShape{participants.empty() ? std::string() : participants.front()};
    if (text == "ring") return RingShape{};
    if (text == "mesh") return MeshShape{};
    throw ValueError(std::string(msg::kCoordinationTopologyChoices));
}

BasisType parse_basis_type(std::string_view text) {
    if (text == "ghz") return BasisType::GHZ;
    if (text == "cluster") return BasisType::Cluster;
    if (text == "graph") return BasisType::GraphGraph;
    throw ValueError(std::string(msg::kBasisTypeChoices));
}

DistributedComputingResult run_distributed_computation(
    const Engine& engine, const std::vector<std::string>& participants, std::string_view coordination_topology,
    std::string_view basis_type, std::optional<double> correlation_strength,
    std::optional<double> classical_relay_latency_ms, const StopCheck& stop) {
    const CoordinationShape shape = parse_coordination_topology(coordination_topology, participants);
    (void)parse_basis_type(basis_type);  // validated only; the basis enters no computation
    return execute_distributed_computation(
        engine, participants, shape, correlation_strength.value_or(kDefaultCorrelation),
        classical_relay_latency_ms.value_or(kDefaultRelayLatencyMs), engine_requests(stop));
}

std::string party_outcome_repr(const PartyOutcome& outcome) {
    return ReprFields("PartyOutcome")
        .text(outcome.node_id)
        .flag("success", outcome.successful_measurement)
        .fixed("fidelity", outcome.local_fidelity, 4)
        .close();
}

std::string distributed_result_repr(const DistributedComputingResult& result) {
    return ReprFields("DistributedComputingResult")
        .flag("success", result.success)
        .fixed("fidelity", result.computation_fidelity, 4)
        .count("parties", result.party_results.size())
        .close();
}

std::string distributed_stats_repr(const DistributedComputingStats& stats) {
    return ReprFields("DistributedComputingStats")
        .count("runs", stats.total_runs)
        .percent("success", stats.success_rate)
        .fixed("fidelity", stats.mean_computation_fidelity, 4)
        .close();
}

}  // namespace vorn

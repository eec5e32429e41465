// Bindings of the strategy enumeration, the request record and the result.
#include "python_bridge/bindings.h"
#include "python_bridge/class_builder.h"
#include "simulation/request.h"

namespace vorn::py {

namespace {

std::uint8_t strategy_to_u8(const StrategyType& strategy) { return static_cast<std::uint8_t>(strategy); }

EntanglementRequest make_request(std::string from_node, std::string to, double fidelity_target,
                                 double max_latency_ms, std::optional<StrategyType> strategy) {
    return {std::move(from_node), std::move(to), fidelity_target, max_latency_ms, strategy};
}

RequestOutcome make_result(bool success, double latency_ms, double final_fidelity,
                           std::vector<std::string> execution_path) {
    return {success, latency_ms, final_fidelity, std::move(execution_path)};
}

}  // namespace

ClassTable& strategy_type_class() {
    static ClassTable& table = ClassBuilder<StrategyType>("StrategyType")
                                 .members({{"LowestLatency", StrategyType::LowestLatency},
                                           {"HighestFidelity", StrategyType::HighestFidelity},
                                           {"HighestSuccess", StrategyType::HighestSuccess}})
                                 .method<&strategy_to_u8>("to_u8", {})
                                 .done();
    return table;
}

ClassTable& entanglement_request_class() {
    static ClassTable& table =
        ClassBuilder<EntanglementRequest>("EntanglementRequest")
            .constructor<&make_request>({"from_node", "to", "fidelity_target", "max_latency_ms", "strategy"})
            .field<&EntanglementRequest::from_node>("from_node")
            .field<&EntanglementRequest::to>("to")
            .field<&EntanglementRequest::fidelity_target>("fidelity_target")
            .field<&EntanglementRequest::max_latency_ms>("max_latency_ms")
            .field<&EntanglementRequest::strategy>("strategy")
            .done();
    return table;
}

ClassTable& simulation_result_class() {
    static ClassTable& table =
        ClassBuilder<RequestOutcome>("SimulationResult")
            .constructor<&make_result>({"success", "latency_ms", "final_fidelity", "execution_path"})
            .field<&RequestOutcome::success>("success")
            .field<&RequestOutcome::latency_ms>("latency_ms")
            .field<&RequestOutcome::final_fidelity>("final_fidelity")
            .field<&RequestOutcome::execution_path>("execution_path")
            .done();
    return table;
}

}  // namespace vorn::py

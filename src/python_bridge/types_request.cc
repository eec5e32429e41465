// Bindings of the strategy enumeration, the request record and the result.
#include "python_bridge/bindings.h"
#include "python_bridge/class_builder.h"
#include "simulation/request.h"

namespace vorn::py {

namespace {

std::uint8_t strategy_to_u8(const StrategyType& strategy) { return static_cast<std::uint8_t>(strategy); }

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
            .constructor({param<&EntanglementRequest::from_node>("from_node"), param<&EntanglementRequest::to>("to"),
                          param<&EntanglementRequest::fidelity_target>("fidelity_target"),
                          param<&EntanglementRequest::max_latency_ms>("max_latency_ms"),
                          optional_param<&EntanglementRequest::strategy>("strategy")})
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
            .constructor({param<&RequestOutcome::success>("success"), param<&RequestOutcome::latency_ms>("latency_ms"),
                          param<&RequestOutcome::final_fidelity>("final_fidelity"),
                          param<&RequestOutcome::execution_path>("execution_path")})
            .field<&RequestOutcome::success>("success")
            .field<&RequestOutcome::latency_ms>("latency_ms")
            .field<&RequestOutcome::final_fidelity>("final_fidelity")
            .field<&RequestOutcome::execution_path>("execution_path")
            .done();
    return table;
}

}  // namespace vorn::py

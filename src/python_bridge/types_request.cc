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
    static ClassTable& table = ClassBuilder<EntanglementRequest>("EntanglementRequest")
                                   .init_field<&EntanglementRequest::from_node>("from_node")
                                   .init_field<&EntanglementRequest::to>("to")
                                   .init_field<&EntanglementRequest::fidelity_target>("fidelity_target")
                                   .init_field<&EntanglementRequest::max_latency_ms>("max_latency_ms")
                                   .optional_init_field<&EntanglementRequest::strategy>("strategy")
                                   .done();
    return table;
}

ClassTable& simulation_result_class() {
    static ClassTable& table = ClassBuilder<RequestOutcome>("SimulationResult")
                                   .init_field<&RequestOutcome::success>("success")
                                   .init_field<&RequestOutcome::latency_ms>("latency_ms")
                                   .init_field<&RequestOutcome::final_fidelity>("final_fidelity")
                                   .init_field<&RequestOutcome::execution_path>("execution_path")
                                   .done();
    return table;
}

}  // namespace vorn::py

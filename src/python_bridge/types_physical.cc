// Bindings of the physical model's ensemble: a module function with plain
// arguments and the totals it returns (the vorn package builds its
// PhysicalModel and PhysicalStats on them).
#include "physical/physical_ensemble.h"
#include "python_bridge/bindings.h"
#include "python_bridge/class_builder.h"
#include "python_bridge/docstrings.h"
#include "python_bridge/signal_stop.h"

namespace vorn::py {

namespace {

PhysicalTotals simulate_physical_function(std::vector<NodeDefinition> nodes, std::vector<LinkDefinition> links,
                                          std::string from_node, std::string to, std::uint64_t runs, std::uint64_t seed,
                                          double fidelity_target, double max_latency_ms, double attenuation_db_km,
                                          double source_efficiency, double swap_success, double speed_km_ms,
                                          double satellite_loss_db, std::optional<StrategyType> strategy,
                                          std::optional<double> memory_cutoff_ms) {
    const NetworkTopologyPayload network{std::move(nodes), std::move(links)};
    const EntanglementRequest request{std::move(from_node), std::move(to), fidelity_target, max_latency_ms, strategy};
    const PhysicalModel model{attenuation_db_km, source_efficiency, swap_success,
                              speed_km_ms,       satellite_loss_db, memory_cutoff_ms};
    return run_physical_ensemble(network, request, model, runs, seed, SignalStop());
}

}  // namespace

ClassTable& physical_totals_class() {
    static ClassTable& table = ClassBuilder<PhysicalTotals>("PhysicalTotals")
                                   .field<&PhysicalTotals::total_runs>("total_runs")
                                   .field<&PhysicalTotals::delivered>("delivered")
                                   .field<&PhysicalTotals::successes>("successes")
                                   .field<&PhysicalTotals::abandoned>("abandoned")
                                   .field<&PhysicalTotals::delivery_ms_sum>("delivery_ms_sum")
                                   .field<&PhysicalTotals::fidelity_sum>("fidelity_sum")
                                   .field<&PhysicalTotals::elapsed_ms_sum>("elapsed_ms_sum")
                                   .field<&PhysicalTotals::path>("path")
                                   .field<&PhysicalTotals::signalling_ms>("signalling_ms")
                                   .field<&PhysicalTotals::attempts_per_link>("attempts_per_link")
                                   .field<&PhysicalTotals::delivery_histogram>("delivery_histogram")
                                   .done();
    return table;
}

FunctionTable simulate_physical_entry() {
    return make_function<&simulate_physical_function>(
        "simulate_physical",
        {"nodes", "links", "from_node", "to", "runs", "seed", "fidelity_target", "max_latency_ms", "attenuation_db_km",
         "source_efficiency", "swap_success", "speed_km_ms", "satellite_loss_db", "strategy", "memory_cutoff_ms"},
        doc::kSimulatePhysicalDoc);
}

}  // namespace vorn::py

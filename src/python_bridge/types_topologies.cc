// Bindings of the topology-comparison records.
#include "python_bridge/bindings.h"
#include "python_bridge/docstrings.h"
#include "python_bridge/class_builder.h"
#include "topologies/comparison_records.h"

namespace vorn::py {

ClassTable& topology_endpoints_class() {
    static ClassTable& table = ClassBuilder<TopologyEndpoints>("TopologyEndpoints", doc::kTopologyEndpointsDoc)
                                   .init_field<&TopologyEndpoints::topology_name>("topology_name")
                                   .init_field<&TopologyEndpoints::from_node>("from_node")
                                   .init_field<&TopologyEndpoints::to_node>("to_node")
                                   .done();
    return table;
}

ClassTable& topology_comparison_result_class() {
    static ClassTable& table =
        ClassBuilder<TopologyComparisonResult>("TopologyComparisonResult", doc::kComparisonResultDoc)
            .field<&TopologyComparisonResult::topology_name>("topology_name")
            .field<&TopologyComparisonResult::success_rate>("success_rate")
            .field<&TopologyComparisonResult::mean_latency_ms>("mean_latency_ms")
            .field<&TopologyComparisonResult::mean_fidelity>("mean_fidelity")
            .field<&TopologyComparisonResult::link_utilization>("link_utilization")
            .done();
    return table;
}

ClassTable& topology_comparison_report_class() {
    static ClassTable& table =
        ClassBuilder<TopologyComparisonReport>("TopologyComparisonReport", doc::kComparisonReportDoc)
            .field<&TopologyComparisonReport::source_node>("source_node")
            .field<&TopologyComparisonReport::target_node>("target_node")
            .field<&TopologyComparisonReport::fidelity_target>("fidelity_target")
            .field<&TopologyComparisonReport::max_latency_ms>("max_latency_ms")
            .field<&TopologyComparisonReport::runs>("runs")
            .field<&TopologyComparisonReport::results>("results")
            .field<&TopologyComparisonReport::recommended_topology>("recommended_topology")
            .field<&TopologyComparisonReport::summary>("summary")
            .done();
    return table;
}

}  // namespace vorn::py

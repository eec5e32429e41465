// Bindings of the ensemble statistics and their captured context.
#include "analysis/monte_carlo_stats.h"
#include "analysis/sensitivity_analysis.h"
#include "common/errors.h"
#include "common/messages.h"
#include "python_bridge/bindings.h"
#include "python_bridge/docstrings.h"
#include "python_bridge/signal_stop.h"
#include "python_bridge/class_builder.h"

namespace vorn::py {

namespace {

DictItems<std::string, double> stats_sensitivity_analysis(const MonteCarloStats& stats, std::uint64_t seed_base) {
    if (!stats.context) throw ValueError(std::string(vorn::msg::kNoSimulationContext));
    return {sensitivity_analysis(*stats.context, stats.empirical_success_rate, seed_base, SignalStop())};
}

}  // namespace

ClassTable& monte_carlo_stats_class() {
    static ClassTable& table =
        ClassBuilder<MonteCarloStats>("MonteCarloStats")
            .constructor({param<&MonteCarloStats::total_runs>("total_runs"),
                          param<&MonteCarloStats::empirical_success_rate>("empirical_success_rate"),
                          param<&MonteCarloStats::mean_latency_ms>("mean_latency_ms"),
                          param<&MonteCarloStats::mean_fidelity>("mean_fidelity"),
                          param<&MonteCarloStats::aggregate_congestion_drops>("aggregate_congestion_drops"),
                          param<&MonteCarloStats::link_utilization_heatmap>("link_utilization_heatmap"),
                          optional_param<&MonteCarloStats::context>("context")})
            .field<&MonteCarloStats::total_runs>("total_runs")
            .field<&MonteCarloStats::empirical_success_rate>("empirical_success_rate")
            .field<&MonteCarloStats::mean_latency_ms>("mean_latency_ms")
            .field<&MonteCarloStats::mean_fidelity>("mean_fidelity")
            .field<&MonteCarloStats::aggregate_congestion_drops>("aggregate_congestion_drops")
            .field<&MonteCarloStats::link_utilization_heatmap>("link_utilization_heatmap")
            .field<&MonteCarloStats::context>("_context", doc::kContextDoc)
            .method<&stats_sensitivity_analysis>("sensitivity_analysis", {"seed_base"}, doc::kSensitivityDoc)
            .done();
    return table;
}

ClassTable& monte_carlo_context_class() {
    static ClassTable& table = ClassBuilder<MonteCarloContext>("PyMonteCarloContext")
                                   .field<&MonteCarloContext::seed>("seed")
                                   .field<&MonteCarloContext::nodes>("nodes")
                                   .field<&MonteCarloContext::links>("links")
                                   .field<&MonteCarloContext::from_node>("from_node")
                                   .field<&MonteCarloContext::to_node>("to_node")
                                   .field<&MonteCarloContext::fidelity_target>("fidelity_target")
                                   .field<&MonteCarloContext::max_latency_ms>("max_latency_ms")
                                   .field<&MonteCarloContext::strategy>("strategy")
                                   .field<&MonteCarloContext::total_time_cutoff_ms>("total_time_cutoff_ms")
                                   .field<&MonteCarloContext::step_resolution_ms>("step_resolution_ms")
                                   .field<&MonteCarloContext::baseline_purify_factor>("baseline_purify_factor")
                                   .done();
    return table;
}

}  // namespace vorn::py

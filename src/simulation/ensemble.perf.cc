// Runs per second of run_ensemble on two reference networks, with both a
// short and a long latency budget (long budgets make failed runs replay
// every remaining round).
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "simulation/ensemble.h"
#include <gtest/gtest.h>

namespace {

struct LinkRow {
    const char* from;
    const char* to;
    double distance_km, fidelity, rate_hz;
};

vorn::Engine make_engine(const std::vector<const char*>& nodes, const std::vector<LinkRow>& rows) {
    std::vector<vorn::NodeDefinition> node_defs;
    for (const char* id : nodes) node_defs.push_back({id, 150.0});
    std::vector<vorn::LinkDefinition> link_defs;
    for (const LinkRow& row : rows) {
        vorn::LinkDefinition link;
        link.from_node = row.from;
        link.to = row.to;
        link.distance_km = row.distance_km;
        link.base_fidelity = row.fidelity;
        link.generation_rate_hz = row.rate_hz;
        link_defs.push_back(link);
    }
    vorn::Engine engine;  // default configuration, purification factor 0.12
    engine.build_network(node_defs, link_defs);
    return engine;
}

void measure(const char* name, const vorn::Engine& engine, const vorn::EntanglementRequest& request) {
    std::uint64_t runs = 1000;
    for (;;) {
        const auto start = std::chrono::steady_clock::now();
        const vorn::EnsembleOutcome out = vorn::run_ensemble(engine, request, runs, 2024);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds >= 0.5 || runs >= (std::uint64_t{1} << 32)) {
            std::printf("%-27s budget %6.0f ms: %12.0f runs/s  (%llu runs, success %.3f, mean latency %.2f ms)\n",
                        name, request.max_latency_ms, static_cast<double>(runs) / seconds,
                        static_cast<unsigned long long>(runs), out.empirical_success_rate, out.mean_latency_ms);
            return;
        }
        runs *= 4;
    }
}

}  // namespace

TEST(EnsemblePerf, ensemble_runs_per_second) {
    const vorn::Engine chain = make_engine(
        {"N0", "N1", "N2", "N3"},
        {{"N0", "N1", 100, 0.92, 800}, {"N1", "N2", 100, 0.92, 800}, {"N2", "N3", 100, 0.92, 800}});
    const vorn::Engine backbone = make_engine(
        {"A", "B", "C", "D", "E", "F"},
        {{"A", "B", 5, 0.97, 2000}, {"B", "C", 80, 0.93, 1200}, {"C", "D", 600, 0.88, 600},
         {"D", "E", 5500, 0.75, 150}, {"C", "F", 900, 0.91, 500}, {"F", "E", 4800, 0.8, 200},
         {"B", "F", 1200, 0.85, 400}});
    // At 0.9 no backbone route is feasible (every run ends before its first
    // round); 0.8 gives a mix of successes and failures.
    for (double budget : {100.0, 5000.0}) {
        measure("repeater chain N0->N3 @0.9", chain, {"N0", "N3", 0.9, budget, {}});
        measure("backbone A->E @0.9", backbone, {"A", "E", 0.9, budget, {}});
        measure("backbone A->E @0.8", backbone, {"A", "E", 0.8, budget, {}});
    }
}

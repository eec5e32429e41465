#include <string>

#include "common/errors.h"
#include "engine/engine.h"
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

bool same(const vorn::RequestOutcome& a, const vorn::RequestOutcome& b) {
    return a.success == b.success && a.latency_ms == b.latency_ms && a.final_fidelity == b.final_fidelity &&
           a.execution_path == b.execution_path;
}

vorn::Engine two_nodes(vorn::EngineConfig config, double distance_km, double fidelity) {
    vorn::Engine engine(config);
    vorn::LinkDefinition link;
    link.from_node = "A";
    link.to = "B";
    link.distance_km = distance_km;
    link.base_fidelity = fidelity;
    link.generation_rate_hz = 100.0;
    engine.build_network({{"A", 1.0}, {"B", 1.0}}, {link});
    return engine;
}

}  // namespace

TEST(RunRequest, run_request_without_network_is_an_internal_fault) {
    EXPECT_THAT([] { vorn::run_request(vorn::Engine{}, {"A", "B", 0.9, 100.0, {}}); },
                ::testing::ThrowsMessage<vorn::InternalFault>(
                    ::testing::StrEq("Network topology must be explicitly defined prior to run processing.")));
}

TEST(RunRequest, run_request_outcomes_on_small_networks) {
    vorn::Engine empty;
    empty.build_network({}, {});
    EXPECT_TRUE(same(vorn::run_request(empty, {"A", "B", 0.9, 100.0, {}}), {}));

    const vorn::EngineConfig sim_default{0.022, 200.0, 5000.0, 0.1};
    // Signalling over 1000 km takes 5 ms, beyond a 4 ms budget.
    EXPECT_TRUE(same(vorn::run_request(two_nodes(vorn::EngineConfig{}, 1000.0, 0.95), {"A", "B", 0.9, 4.0, {}}),
                     {false, 5.0, 0.0, {"A", "B"}}));
    // Every request starts from the all-zero-key stream, whose first draw
    // (0.328) generates the pair; one purification then reaches the target,
    // with the engine's own purification factor.
    const vorn::Engine engine = two_nodes(sim_default, 10.0, 0.9);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(
            same(vorn::run_request(engine, {"A", "B", 0.95, 100.0, {}}), {true, 0.85, 0.9531224489795919, {"A", "B"}}));
    }
    EXPECT_TRUE(same(vorn::run_request(two_nodes(vorn::EngineConfig{}, 10.0, 0.9), {"A", "B", 0.95, 100.0, {}}),
                     {true, 0.85, 0.999, {"A", "B"}}));
}

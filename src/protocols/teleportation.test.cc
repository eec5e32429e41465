#include "protocols/teleportation.h"

#include "protocols/scripted_requests.testing.h"
#include <gtest/gtest.h>

using namespace vorn;
using vorn::test_support::scripted_failure;
using vorn::test_support::scripted_success;
using vorn::test_support::ScriptedRequests;
using Path = std::vector<std::string>;

namespace {

Engine teleportation_two_node_engine() {
    Engine engine;
    engine.build_network({{"S", 1.0}, {"T", 1.0}}, {{"S", "T", 0.0, 1.0, 1000.0, LinkType::Fiber, std::nullopt}});
    return engine;
}

TeleportationParameters params(Path relays = {}) {
    TeleportationParameters p;
    p.source_node = "S";
    p.target_node = "T";
    p.relay_nodes = std::move(relays);
    return p;
}

}  // namespace

TEST(Teleportation, teleportation_without_network_reports_path_without_target) {
    ScriptedRequests script{{scripted_success(1.0, 1.0)}, {}};
    const TeleportationOutcome o = execute_teleportation(Engine{}, params({"R1", "R2"}), script.runner());
    EXPECT_EQ(script.seen.size(), 0u);
    EXPECT_FALSE(o.success);
    EXPECT_EQ(o.teleportation_fidelity, 0.0);
    EXPECT_EQ(o.resource_entanglement_fidelity, 0.0);
    EXPECT_EQ(o.latency_ms, 0.0);
    EXPECT_EQ(o.classical_bits_transferred, 2u);
    EXPECT_EQ(o.path, (Path{"S", "R1", "R2"}));
}

TEST(Teleportation, teleportation_path_is_source_relays_target_whatever_the_route) {
    ScriptedRequests script{{scripted_success(0.9, 12.0, {"S", "X", "T"})}, {}};
    const TeleportationOutcome direct =
        execute_teleportation(teleportation_two_node_engine(), params(), script.runner());
    EXPECT_EQ(direct.path, (Path{"S", "T"}));
    EXPECT_EQ(direct.latency_ms, 12.0);

    const TeleportationOutcome relayed =
        execute_teleportation(teleportation_two_node_engine(), params({"R1", "R2", "R3"}), script.runner());
    EXPECT_EQ(relayed.path, (Path{"S", "R1", "R2", "R3", "T"}));
    EXPECT_EQ(relayed.latency_ms, 12.75);

    // The request itself ignores the relays.
    const EntanglementRequest& request = script.seen.back();
    EXPECT_EQ(request.from_node, std::string("S"));
    EXPECT_EQ(request.to, std::string("T"));
    EXPECT_EQ(request.fidelity_target, 0.95);
    EXPECT_EQ(request.max_latency_ms, 100.0);
    EXPECT_EQ(request.strategy, StrategyType::HighestFidelity);
}

TEST(Teleportation, teleportation_fidelity_product_threshold_and_cap) {
    struct Case {
        RequestOutcome request;
        double state_fidelity;
        bool success;
        double teleported;
    };
    const Case cases[] = {
        {scripted_success(0.9, 0.0), 0.95, true, 0.95 * 0.9},
        {scripted_success(0.5, 0.0), 0.95, false, 0.95 * 0.5},  // threshold is strict
        {scripted_success(1.0, 0.0), 1.0, true, 0.999},          // capped
        {scripted_failure(5.0), 0.95, false, 0.0},
        // The reported fidelity is used as given, whatever the success flag says.
        {scripted_failure(5.0, 0.7), 0.95, true, 0.95 * 0.7},
        {scripted_success(-0.2, 0.0), 0.95, false, 0.0},
    };
    for (const Case& c : cases) {
        ScriptedRequests script{{c.request}, {}};
        TeleportationParameters p = params();
        p.state_fidelity = c.state_fidelity;
        const TeleportationOutcome o = execute_teleportation(teleportation_two_node_engine(), p, script.runner());
        EXPECT_EQ(o.success, c.success);
        EXPECT_EQ(o.teleportation_fidelity, c.teleported);
        EXPECT_EQ(o.resource_entanglement_fidelity, c.request.final_fidelity);
        EXPECT_EQ(script.seen.at(0).fidelity_target, c.state_fidelity);
    }
}

TEST(Teleportation, teleportation_through_engine_request_path) {
    TeleportationParameters p = params({"R"});
    p.target_node = "S";  // a request from a node to itself yields fidelity 1.0 at once
    p.state_fidelity = 1.0;
    const TeleportationOutcome o = execute_teleportation(teleportation_two_node_engine(), p);
    EXPECT_TRUE(o.success);
    EXPECT_EQ(o.resource_entanglement_fidelity, 1.0);
    EXPECT_EQ(o.teleportation_fidelity, 0.999);
    EXPECT_EQ(o.latency_ms, 0.25);
    EXPECT_EQ(o.path, (Path{"S", "R", "S"}));

    p.target_node = "nowhere";
    const TeleportationOutcome missing = execute_teleportation(teleportation_two_node_engine(), p);
    EXPECT_FALSE(missing.success);
    EXPECT_EQ(missing.teleportation_fidelity, 0.0);
    EXPECT_EQ(missing.path, (Path{"S", "R", "nowhere"}));
}

TEST(Teleportation, teleportation_representations) {
    TeleportationOutcome o;
    o.success = true;
    o.teleportation_fidelity = 0.855;
    o.latency_ms = 12.34;
    EXPECT_EQ(teleportation_outcome_repr(o),
              std::string("TeleportationOutcome(success=true, fidelity=0.8550, latency=12.3ms)"));
    EXPECT_EQ(teleportation_stats_repr({50, 0.9, 0.8123, 0.021, 3.0}),
              std::string("TeleportationStats(runs=50, fidelity=0.8123\xC2\xB1"
                          "0.0210)"));
}

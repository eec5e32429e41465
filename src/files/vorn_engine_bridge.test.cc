#include "files/vorn_engine_bridge.h"

#include <string>

#include "formats/chain_file.testing.h"
#include "common/stopping_check.testing.h"
#include "files/file_io.h"
#include "files/load_error.h"
#include "files/temp_path.testing.h"
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using vorn::VornConfig;
using vorn::VornFile;
using vorn::test_support::TempPath;

std::string document(std::string_view config_member) {
    std::string text = R"({"version": "1.0", "metadata": {"name": "x"},
      "nodes": [{"id": "A", "memory_lifetime_ms": 250, "memory_capacity": 4, "node_type": "satellite"}, {"id": "B"}],
      "links": [{"from": "A", "to": "B", "distance_km": 12.5, "base_fidelity": 0.9, "generation_rate_hz": 10,
                 "link_type": "satellite", "satellite": {"visibility": 0.5, "weather_factor": 0.8}}])";
    text.append(config_member).append("}");
    return text;
}

}  // namespace

TEST(VornEngineBridge, bridge_converts_nodes_and_links) {
    VornFile file;
    file.nodes = {{"A", 250.0, 4u, vorn::VornNodeType::Repeater}, {"B", std::nullopt, std::nullopt, std::nullopt}};
    vorn::VornLink fiber{"L1", "A", "B", 10.0, 0.95, 1000.0, std::nullopt, std::nullopt};
    vorn::VornLink sat{
        std::nullopt, "B", "C", 1.0, 0.5, 2.0, vorn::VornLinkType::Satellite, vorn::VornSatelliteExtension{0.25, 0.75}};
    vorn::VornLink typed_fiber = fiber;
    typed_fiber.link_type = vorn::VornLinkType::Fiber;
    file.links = {fiber, sat, typed_fiber};

    const auto nodes = vorn::engine_nodes_from_vorn(file.nodes);
    EXPECT_EQ(nodes.size(), std::size_t(2));
    EXPECT_EQ(nodes[0].memory_lifetime_t2, 0.25);
    EXPECT_EQ(nodes[1].memory_lifetime_t2, 1.0);
    const auto links = vorn::engine_links_from_vorn(file.links);
    EXPECT_EQ(links[0].from_node, std::string("A"));
    EXPECT_EQ(links[0].to, std::string("B"));
    EXPECT_EQ(links[0].distance_km, 10.0);
    EXPECT_EQ(links[0].base_fidelity, 0.95);
    EXPECT_EQ(links[0].generation_rate_hz, 1000.0);
    EXPECT_EQ(links[0].link_type, vorn::LinkType::Fiber);
    EXPECT_FALSE(links[0].satellite_conditions);
    EXPECT_EQ(links[1].link_type, vorn::LinkType::Satellite);
    EXPECT_TRUE(links[1].satellite_conditions.has_value());
    EXPECT_EQ(links[1].satellite_conditions->visibility, 0.25);
    EXPECT_EQ(links[1].satellite_conditions->weather_factor, 0.75);
    EXPECT_EQ(links[2].link_type, vorn::LinkType::Fiber);

    // No validation: unknown nodes and any version are installed as given.
    file.version = "2.0";
    vorn::Engine engine(vorn::EngineConfig{0.3, 1.0, 2.0, 3.0});
    vorn::define_network_from_vorn(engine, file);
    EXPECT_EQ(engine.graph()->links.size(), std::size_t(3));
    EXPECT_EQ(engine.config().baseline_purify_factor, 0.3);
}

TEST(VornEngineBridge, bridge_engine_configuration_table) {
    struct Case {
        std::optional<VornConfig> config;
        double factor;
        double cutoff;
    };
    const Case cases[] = {
        {std::nullopt, 0.12, 5000.0},
        {VornConfig{}, 0.22, 5000.0},
        {VornConfig{0.5, std::nullopt, std::nullopt, std::nullopt}, 0.05, 5000.0},
        {VornConfig{std::nullopt, 0.3, 0.4, 40u}, 0.22, 2000.0},
        {VornConfig{0.0, std::nullopt, std::nullopt, 0u}, 0.0, 0.0},
        {VornConfig{std::nullopt, std::nullopt, std::nullopt, 4294967295u}, 0.22, 4294967295.0 * 50.0},
    };
    for (const Case& c : cases) {
        const vorn::EngineConfig config = vorn::engine_config_from_vorn(c.config);
        EXPECT_EQ(config.baseline_purify_factor, c.factor);
        EXPECT_EQ(config.total_time_cutoff_ms, c.cutoff);
        EXPECT_EQ(config.speed_of_light_in_fiber_km_ms, 200.0);
        EXPECT_EQ(config.step_resolution_ms, 0.1);
    }
}

TEST(VornEngineBridge, bridge_engine_from_file) {
    TempPath path("engine.vorn");
    vorn::write_bytes_file(path.str(), document(R"(, "config": {"alpha_loss": 0.5, "max_attempts": 40})"));
    const vorn::Engine engine = vorn::engine_from_vorn_file(path.str());
    EXPECT_EQ(engine.config().baseline_purify_factor, 0.05);
    EXPECT_EQ(engine.config().total_time_cutoff_ms, 2000.0);
    const vorn::NetworkGraph& graph = *engine.graph();
    EXPECT_EQ(graph.nodes.size(), std::size_t(2));
    EXPECT_EQ(graph.nodes.find("A")->memory_lifetime_t2, 0.25);
    EXPECT_EQ(graph.links[0].link_type, vorn::LinkType::Satellite);

    vorn::write_bytes_file(path.str(), document(""));
    EXPECT_EQ(vorn::engine_from_vorn_file(path.str()).config().baseline_purify_factor, 0.12);

    // Load failures come through as LoadError, validation included.
    vorn::write_bytes_file(path.str(), R"({"version": "1.0", "metadata": {"name": "x"}, "nodes": [{"id": "A"}],
        "links": [{"from": "A", "to": "Q", "distance_km": 1, "base_fidelity": 1, "generation_rate_hz": 1}]})");
    EXPECT_THAT([&] { vorn::engine_from_vorn_file(path.str()); },
                ::testing::Throws<vorn::LoadError>(
                    ::testing::Property(&vorn::LoadError::kind, vorn::LoadErrorKind::Validation)));
}

TEST(VornEngineBridge, building_an_engine_network_ends_when_its_stop_check_asks_and_keeps_the_old_network) {
    const vorn::VornFile small = vorn::test_support::chain_file(2);
    const vorn::VornFile large = vorn::test_support::chain_file(vorn::test_support::kManyUnits);
    vorn::Engine engine;
    vorn::define_network_from_vorn(engine, small);
    EXPECT_THROW(vorn::define_network_from_vorn(engine, large, vorn::test_support::StoppingCheck()), vorn::Stopped);
    EXPECT_EQ(engine.graph()->nodes.size(), std::size_t{2});
    vorn::define_network_from_vorn(engine, large);
    EXPECT_EQ(engine.graph()->nodes.size(), vorn::test_support::kManyUnits);
}

#include "topologies/builtin_topologies.h"

#include "common/errors.h"
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vorn;

namespace {

std::vector<std::string> node_ids(const NetworkTopologyPayload& payload) {
    std::vector<std::string> ids;
    for (const NodeDefinition& node : payload.nodes) ids.push_back(node.id);
    return ids;
}

bool same_network(const NetworkTopologyPayload& a, const NetworkTopologyPayload& b) {
    if (node_ids(a) != node_ids(b) || a.links.size() != b.links.size()) return false;
    for (std::size_t i = 0; i < a.nodes.size(); ++i) {
        if (a.nodes[i].memory_lifetime_t2 != b.nodes[i].memory_lifetime_t2) return false;
    }
    for (std::size_t i = 0; i < a.links.size(); ++i) {
        const LinkDefinition& x = a.links[i];
        const LinkDefinition& y = b.links[i];
        if (x.from_node != y.from_node || x.to != y.to || x.distance_km != y.distance_km ||
            x.base_fidelity != y.base_fidelity || x.generation_rate_hz != y.generation_rate_hz ||
            x.link_type != y.link_type || x.satellite_conditions.has_value() != y.satellite_conditions.has_value()) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(BuiltinTopologies, builtin_backbone_tables) {
    const NetworkTopologyPayload backbone = generate_topology("telecom_backbone");
    EXPECT_EQ(node_ids(backbone), (std::vector<std::string>{"A", "B", "C", "D", "E", "F"}));
    EXPECT_EQ(backbone.nodes[4].memory_lifetime_t2, 250.0);
    EXPECT_EQ(backbone.links.size(), 7u);
    EXPECT_EQ(backbone.links[0].from_node + backbone.links[0].to, std::string("AB"));
    EXPECT_EQ(backbone.links[0].distance_km, 5.0);
    const LinkDefinition& last = backbone.links[6];
    EXPECT_EQ(last.from_node + last.to, std::string("BF"));
    EXPECT_EQ(last.distance_km, 1200.0);
    EXPECT_EQ(last.base_fidelity, 0.85);
    EXPECT_EQ(last.generation_rate_hz, 400.0);
    for (const LinkDefinition& link : backbone.links) {
        EXPECT_EQ(link.link_type, LinkType::Fiber);
        EXPECT_FALSE(link.satellite_conditions);
    }
}

TEST(BuiltinTopologies, builtin_repeater_chain_joins_consecutive_nodes) {
    const NetworkTopologyPayload chain = generate_topology("repeater_chain");
    EXPECT_EQ(node_ids(chain), (std::vector<std::string>{"N0", "N1", "N2", "N3"}));
    EXPECT_EQ(chain.links.size(), 3u);
    for (std::size_t i = 0; i < chain.links.size(); ++i) {
        EXPECT_EQ(chain.links[i].from_node, "N" + std::to_string(i));
        EXPECT_EQ(chain.links[i].to, "N" + std::to_string(i + 1));
        EXPECT_EQ(chain.links[i].distance_km, 100.0);
        EXPECT_EQ(chain.links[i].base_fidelity, 0.92);
        EXPECT_EQ(chain.links[i].generation_rate_hz, 800.0);
    }
    EXPECT_EQ(repeater_chain(0).nodes.size() + repeater_chain(0).links.size(), 0u);
    EXPECT_EQ(repeater_chain(1).links.size(), 0u);
    const NetworkTopologyPayload long_chain = repeater_chain(12);
    EXPECT_EQ(long_chain.links.back().from_node + long_chain.links.back().to, std::string("N10N11"));
}

TEST(BuiltinTopologies, builtin_hybrid_has_two_satellite_links_with_conditions) {
    const NetworkTopologyPayload hybrid = generate_topology("hybrid_satellite_fiber");
    EXPECT_EQ(node_ids(hybrid), (std::vector<std::string>{"Toronto", "Montreal", "London", "SAT-1"}));
    EXPECT_EQ(hybrid.links.size(), 4u);
    EXPECT_EQ(hybrid.links[0].link_type, LinkType::Fiber);
    EXPECT_FALSE(hybrid.links[0].satellite_conditions);
    EXPECT_EQ(hybrid.links[1].link_type, LinkType::Fiber);
    EXPECT_FALSE(hybrid.links[1].satellite_conditions);
    EXPECT_EQ(hybrid.links[2].link_type, LinkType::Satellite);
    EXPECT_TRUE(hybrid.links[2].satellite_conditions);
    EXPECT_EQ(hybrid.links[3].link_type, LinkType::Satellite);
    EXPECT_TRUE(hybrid.links[3].satellite_conditions);
    EXPECT_EQ(hybrid.links[2].satellite_conditions->visibility, 0.95);
    EXPECT_EQ(hybrid.links[2].satellite_conditions->weather_factor, 0.98);
    EXPECT_EQ(hybrid.links[3].satellite_conditions->visibility, 0.85);
    EXPECT_EQ(hybrid.links[3].satellite_conditions->weather_factor, 0.9);
    EXPECT_EQ(hybrid.links[3].distance_km, 6000.0);
}

TEST(BuiltinTopologies, builtin_generate_rejects_other_names) {
    const std::string expected =
        "Invalid topology name. Use: 'telecom_backbone', 'repeater_chain', or 'hybrid_satellite_fiber'";
    for (const char* name : {"fiber_only", "hybrid", "", "Telecom_Backbone", " repeater_chain", "repeater_chain "}) {
        EXPECT_THAT([&] { generate_topology(name); }, ::testing::ThrowsMessage<ValueError>(::testing::StrEq(expected)))
            << "name: '" << name << "'";
    }
}

TEST(BuiltinTopologies, builtin_library_table_maps_aliases) {
    EXPECT_TRUE(same_network(*library_topology("fiber_only"), telecom_backbone()));
    EXPECT_TRUE(same_network(*library_topology("telecom_backbone"), telecom_backbone()));
    EXPECT_TRUE(same_network(*library_topology("hybrid"), hybrid_satellite_fiber()));
    EXPECT_TRUE(same_network(*library_topology("hybrid_satellite_fiber"), hybrid_satellite_fiber()));
    EXPECT_TRUE(same_network(*library_topology("repeater_chain"), repeater_chain(4)));
    EXPECT_FALSE(same_network(telecom_backbone(), hybrid_satellite_fiber()));
    for (const char* name : {"Fiber_Only", "Hybrid", "", "mesh"}) {
        EXPECT_FALSE(library_topology(name).has_value());
        EXPECT_FALSE(is_library_topology(name));
    }
}

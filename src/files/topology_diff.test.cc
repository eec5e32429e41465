#include "files/topology_diff.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using vorn::LinkDefinition;
using vorn::LinkType;
using vorn::NodeDefinition;
using vorn::SatelliteConditions;
using vorn::TopologySnapshot;

using Names = std::vector<std::string>;

TopologySnapshot snapshot(std::string name, std::vector<NodeDefinition> nodes, std::vector<LinkDefinition> links) {
    TopologySnapshot s;
    s.metadata = {std::move(name), "1.0"};
    s.nodes = std::move(nodes);
    s.links = std::move(links);
    return s;
}

LinkDefinition fiber_link(std::string from, std::string to, double distance = 10.0) {
    return {std::move(from), std::move(to), distance, 0.9, 100.0, LinkType::Fiber, std::nullopt};
}

bool same(const Names& a, const Names& b) { return a == b; }

}  // namespace

TEST(TopologyDiff, topology_diff_identical_snapshots_summary) {
    const TopologySnapshot s = snapshot("x", {{"A", 1.0}, {"B", 2.0}}, {fiber_link("A", "B")});
    const vorn::TopologyDiff diff = vorn::diff_topologies(s, snapshot("y", s.nodes, s.links));
    EXPECT_EQ(diff.name, std::string("x vs y"));
    EXPECT_EQ(diff.summary, std::string("Diff for 'x vs y': 0 nodes added, 0 nodes removed, 0 nodes modified. "
                                        "0 links added, 0 links removed, 0 links modified."));
    ASSERT_TRUE(diff.nodes_added.empty());
    ASSERT_TRUE(diff.nodes_removed.empty());
    EXPECT_TRUE(diff.nodes_modified.empty());
    ASSERT_TRUE(diff.links_added.empty());
    ASSERT_TRUE(diff.links_removed.empty());
    EXPECT_TRUE(diff.links_modified.empty());
}

TEST(TopologyDiff, topology_diff_node_lifetime_tolerance_table) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double before, after;
        bool modified;
    };
    const Case cases[] = {
        {1.0, 1.0005, false}, {1.0, 1.002, true},
        {1.0, 0.998, true},   {1.0, 1.0, false},
        {0.0, 0.001, false},  // exactly the tolerance is not "greater than"
        {nan, 1.0, false},    {1.0, nan, false},
        {nan, nan, false},    {0.0, std::numeric_limits<double>::infinity(), true},
    };
    for (const Case& c : cases) {
        const vorn::TopologyDiff diff =
            vorn::diff_topologies(snapshot("a", {{"N", c.before}}, {}), snapshot("b", {{"N", c.after}}, {}));
        EXPECT_EQ(diff.nodes_modified.size(), std::size_t(c.modified ? 1 : 0));
        ASSERT_TRUE(diff.nodes_added.empty());
        EXPECT_TRUE(diff.nodes_removed.empty());
    }
}

TEST(TopologyDiff, topology_diff_link_field_table) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const LinkDefinition base{"A", "B", 10.0, 0.9, 100.0, LinkType::Fiber, std::nullopt};
    struct Case {
        const char* what;
        LinkDefinition changed;
        bool modified;
    };
    auto with = [&](auto edit) {
        LinkDefinition l = base;
        edit(l);
        return l;
    };
    const std::vector<Case> cases = {
        {"same", base, false},
        {"distance", with([](LinkDefinition& l) { l.distance_km = 10.5; }), true},
        {"fidelity", with([](LinkDefinition& l) { l.base_fidelity = 0.91; }), true},
        {"rate", with([](LinkDefinition& l) { l.generation_rate_hz = 99.0; }), true},
        {"type", with([](LinkDefinition& l) { l.link_type = LinkType::Satellite; }), true},
        {"conditions added", with([](LinkDefinition& l) { l.satellite_conditions = SatelliteConditions{}; }), true},
        {"nan distance", with([&](LinkDefinition& l) { l.distance_km = nan; }), true},
    };
    for (const Case& c : cases) {
        const vorn::TopologyDiff diff =
            vorn::diff_topologies(snapshot("a", {}, {base}), snapshot("b", {}, {c.changed}));
        EXPECT_EQ(diff.links_modified.size(), std::size_t(c.modified ? 1 : 0));
        if (c.modified) {
            EXPECT_EQ(diff.links_modified.front(), std::string("A->B"));
        }
    }
    // NaN never agrees, even with itself.
    const LinkDefinition nan_link = with([&](LinkDefinition& l) { l.base_fidelity = nan; });
    EXPECT_EQ(vorn::diff_topologies(snapshot("a", {}, {nan_link}), snapshot("b", {}, {nan_link})).links_modified.size(),
              std::size_t(1));
    // Conditions compare by value.
    LinkDefinition sat1 = base, sat2 = base;
    sat1.satellite_conditions = SatelliteConditions{0.5, 0.8};
    sat2.satellite_conditions = SatelliteConditions{0.5, 0.8};
    EXPECT_TRUE(vorn::diff_topologies(snapshot("a", {}, {sat1}), snapshot("b", {}, {sat2})).links_modified.empty());
    sat2.satellite_conditions->weather_factor = 0.7;
    EXPECT_EQ(vorn::diff_topologies(snapshot("a", {}, {sat1}), snapshot("b", {}, {sat2})).links_modified.size(),
              std::size_t(1));
}

TEST(TopologyDiff, topology_diff_added_removed_with_later_wins_and_first_order) {
    const TopologySnapshot first = snapshot("one", {{"C", 1.0}, {"A", 1.0}, {"B", 1.0}, {"A", 5.0}},
                                            {fiber_link("A", "B"), fiber_link("B", "C"), fiber_link("A", "B", 20.0)});
    const TopologySnapshot second = snapshot("two", {{"E", 1.0}, {"B", 1.0}, {"A", 5.0}, {"D", 1.0}},
                                             {fiber_link("B", "A"), fiber_link("A", "B", 20.0), fiber_link("C", "D")});
    const vorn::TopologyDiff diff = vorn::diff_topologies(first, second);
    // A's later value 5.0 is compared, so A is unchanged.
    EXPECT_TRUE(same(diff.nodes_added, {"E", "D"}));
    EXPECT_TRUE(same(diff.nodes_removed, {"C"}));
    EXPECT_TRUE(diff.nodes_modified.empty());
    // The later A->B (20 km) is the one compared; the reversed link is a new key.
    EXPECT_TRUE(same(diff.links_added, {"B->A", "C->D"}));
    EXPECT_TRUE(same(diff.links_removed, {"B->C"}));
    EXPECT_TRUE(diff.links_modified.empty());
    EXPECT_EQ(diff.summary, std::string("Diff for 'one vs two': 2 nodes added, 1 nodes removed, 0 nodes modified. "
                                        "2 links added, 1 links removed, 0 links modified."));
}

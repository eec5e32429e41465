#include "protocols/coordination_shape.h"

#include <gtest/gtest.h>

using namespace vorn;
using Edges = std::vector<NodePair>;
using Names = std::vector<std::string>;

TEST(CoordinationShape, coordination_edges_per_shape) {
    const Names abcd{"A", "B", "C", "D"};
    struct Case {
        const char* label;
        CoordinationShape shape;
        Names participants;
        Edges edges;
    };
    const Case cases[] = {
        {"star centred on a participant", StarShape{"B"}, {"A", "B", "C"}, {{"A", "B"}, {"C", "B"}}},
        {"star centred elsewhere", StarShape{"Z"}, {"A", "B"}, {{"A", "Z"}, {"B", "Z"}}},
        {"star without participants", StarShape{""}, {}, {}},
        {"ring of one", RingShape{}, {"A"}, {{"A", "A"}}},
        {"ring of two", RingShape{}, {"A", "B"}, {{"A", "B"}, {"B", "A"}}},
        {"ring of three", RingShape{}, {"A", "B", "C"}, {{"A", "B"}, {"B", "C"}, {"C", "A"}}},
        {"empty ring", RingShape{}, {}, {}},
        {"mesh of four", MeshShape{}, abcd, {{"A", "B"}, {"A", "C"}, {"A", "D"}, {"B", "C"}, {"B", "D"}, {"C", "D"}}},
        {"mesh of one", MeshShape{}, {"A"}, {}},
        {"arbitrary keeps given pairs", ArbitraryShape{{{"X", "Y"}, {"A", "A"}}}, abcd, {{"X", "Y"}, {"A", "A"}}},
    };
    for (const Case& c : cases) {
        if (coordination_edges(c.shape, c.participants) != c.edges) {
            ADD_FAILURE() << (std::string("edges of ") + c.label);
        }
    }
}

TEST(CoordinationShape, coordination_topology_converts_by_exact_kind) {
    const auto star_center = [](const CoordinationShape& shape) {
        const StarShape* star = std::get_if<StarShape>(&shape);
        return star ? std::optional<std::string>(star->center) : std::nullopt;
    };
    EXPECT_TRUE(star_center(to_coordination_shape({"star", "H", std::nullopt})) == std::optional<std::string>("H"));
    EXPECT_TRUE(star_center(to_coordination_shape({"star", std::nullopt, std::nullopt})) ==
                std::optional<std::string>(""));
    EXPECT_TRUE(std::holds_alternative<RingShape>(to_coordination_shape({"ring", "H", Edges{{"A", "B"}}})));
    EXPECT_TRUE(std::holds_alternative<MeshShape>(to_coordination_shape({"mesh", std::nullopt, std::nullopt})));

    // Every other kind, in any letter case, is an explicit edge list.
    for (const char* kind : {"arbitrary", "Star", "RING", "", "mesh "}) {
        const CoordinationShape without = to_coordination_shape({kind, "A", std::nullopt});
        const ArbitraryShape* a = std::get_if<ArbitraryShape>(&without);
        EXPECT_NE(a, nullptr);
        EXPECT_TRUE(a->edges.empty());
        const CoordinationShape with = to_coordination_shape({kind, std::nullopt, Edges{{"A", "B"}}});
        const ArbitraryShape* b = std::get_if<ArbitraryShape>(&with);
        EXPECT_NE(b, nullptr);
        EXPECT_EQ(b->edges, (Edges{{"A", "B"}}));
    }
}

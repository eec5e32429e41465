// How the participants of a distributed computation are joined: the
// caller-facing description (a kind text with optional center and edges) and
// the shape a computation works with, with the edges each shape yields.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace vorn {

using NodePair = std::pair<std::string, std::string>;

// The caller-facing record; nothing in it is validated.
struct CoordinationTopology {
    std::string kind;
    std::optional<std::string> center_node;
    std::optional<std::vector<NodePair>> edges;
};

struct StarShape {
    std::string center;
};
struct RingShape {};
struct MeshShape {};
struct ArbitraryShape {
    std::vector<NodePair> edges;
};
using CoordinationShape = std::variant<StarShape, RingShape, MeshShape, ArbitraryShape>;

// Kinds "star", "ring" and "mesh" match exactly (case-sensitive); every other
// kind is an explicit edge list. A missing center is the empty id, missing
// edges an empty list.
CoordinationShape to_coordination_shape(const CoordinationTopology& topology);

// The edges of the shape over the participants, in request order:
// star: (p, center) for each participant other than the center;
// ring: (p_i, p_{i+1 mod n}), a single participant giving a self-edge;
// mesh: (p_i, p_j) for i < j; arbitrary: the given pairs.
std::vector<NodePair> coordination_edges(const CoordinationShape& shape, const std::vector<std::string>& participants);

}  // namespace vorn

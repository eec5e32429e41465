#include "protocols/coordination_shape.h"

namespace vorn {

CoordinationShape to_coordination_shape(const CoordinationTopology& topology) {
    if (topology.kind == "star") return StarShape{topology.center_node.value_or(std::string())};
    if (topology.kind == "ring") return RingShape{};
    if (topology.kind == "mesh") return MeshShape{};
    return ArbitraryShape{topology.edges.value_or(std::vector<NodePair>{})};
}

namespace {

struct EdgeBuilder {
    const std::vector<std::string>& participants;

    std::vector<NodePair> operator()(const StarShape& star) const {
        std::vector<NodePair> edges;
        for (const std::string& p : participants) {
            if (p != star.center) edges.emplace_back(p, star.center);
        }
        return edges;
    }

    std::vector<NodePair> operator()(const RingShape&) const {
        std::vector<NodePair> edges;
        const std::size_t n = participants.size();
        edges.reserve(n);
        for (std::size_t i = 0; i < n; ++i) edges.emplace_back(participants[i], participants[(i + 1) % n]);
        return edges;
    }

    std::vector<NodePair> operator()(const MeshShape&) const {
        std::vector<NodePair> edges;
        const std::size_t n = participants.size();
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = i + 1; j < n; ++j) edges.emplace_back(participants[i], participants[j]);
        }
        return edges;
    }

    std::vector<NodePair> operator()(const ArbitraryShape& arbitrary) const { return arbitrary.edges; }
};

}  // namespace

std::vector<NodePair> coordination_edges(const CoordinationShape& shape, const std::vector<std::string>& participants) {
    return std::visit(EdgeBuilder{participants}, shape);
}

}  // namespace vorn

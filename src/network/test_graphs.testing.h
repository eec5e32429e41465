// Small network graphs built by hand for the unit tests (test code only;
// nothing in the library uses it).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "network/network_graph.h"

namespace vorn::test_support {

// Nodes with T2 1.0 and the given links, in order.
inline NetworkGraph make_graph(const std::vector<std::string>& nodes, const std::vector<GraphLink>& links) {
    NetworkGraph graph;
    for (const auto& id : nodes) graph.nodes.insert({id, 1.0});
    graph.links = links;
    return graph;
}

// A fiber link; the generation rate defaults to 100 Hz.
inline GraphLink link(std::string a, std::string b, double distance, double fidelity, double rate = 100.0) {
    return {std::move(a), std::move(b), distance, fidelity, rate, LinkType::Fiber};
}

}  // namespace vorn::test_support

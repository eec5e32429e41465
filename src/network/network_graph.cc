#include "network/network_graph.h"

namespace vorn {

void NodeTable::insert(NodeEntry entry) {
    auto [it, inserted] = index_.try_emplace(entry.id, entries_.size());
    if (inserted) {
        entries_.push_back(std::move(entry));
    } else {
        entries_[it->second] = std::move(entry);
    }
}

const NodeEntry* NodeTable::find(std::string_view id) const {
    auto it = index_.find(std::string(id));
    return it == index_.end() ? nullptr : &entries_[it->second];
}

NetworkGraph build_graph(const std::vector<NodeDefinition>& nodes, const std::vector<LinkDefinition>& links,
                         const StopCheck& stop) {
    NetworkGraph graph;
    for (const NodeDefinition& node : nodes) {
        stop.poll();
        graph.nodes.insert({node.id, node.memory_lifetime_t2});
    }
    graph.links.reserve(links.size());
    for (const LinkDefinition& link : links) {
        stop.poll();
        graph.links.push_back(
            {link.from_node, link.to, link.distance_km, link.base_fidelity, link.generation_rate_hz, link.link_type});
    }
    return graph;
}

}  // namespace vorn

// The network as an engine keeps it: the links in the order given and a node
// table. The node table iterates in the order in which ids were first defined
// (a later definition replaces the value in place), so everything that lists
// nodes (ensemble contexts, snapshots, sensitivity seeds) is reproducible.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/stop_check.h"
#include "network/network_model.h"

namespace vorn {

// A link as the graph keeps it: a LinkDefinition without its satellite
// conditions, which no request, ensemble, snapshot or file written from an
// engine reads (the designed engine drops them when a network is defined;
// the physical model gets them with the network values instead).
struct GraphLink {
    std::string from_node;
    std::string to;
    double distance_km = 0.0;
    double base_fidelity = 0.0;
    double generation_rate_hz = 0.0;
    LinkType link_type = LinkType::Fiber;
};

// A node of the table is the node record itself.
using NodeEntry = NodeDefinition;

class NodeTable {
public:
    // Inserts or replaces (last definition wins, first position kept).
    void insert(NodeEntry entry);
    const NodeEntry* find(std::string_view id) const;
    bool contains(std::string_view id) const { return find(id) != nullptr; }
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    const std::vector<NodeEntry>& entries() const { return entries_; }

private:
    std::vector<NodeEntry> entries_;
    std::unordered_map<std::string, std::size_t> index_;
};

struct NetworkGraph {
    std::vector<GraphLink> links;
    NodeTable nodes;
};

// Builds a graph from node and link records in the given order. Nothing is
// validated or merged; satellite conditions are dropped. Polls the stop
// check once per record.
NetworkGraph build_graph(const std::vector<NodeDefinition>& nodes, const std::vector<LinkDefinition>& links,
                         const StopCheck& stop = never_stop());

}  // namespace vorn

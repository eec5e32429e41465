#include "files/topology_diff.h"

#include <cmath>

#include "files/keyed_index.h"

namespace vorn {

namespace {

constexpr double kNodeLifetimeTolerance = 0.001;

// Nodes compare with a tolerance instead of member-wise: greater than the
// tolerance, strictly; a NaN difference is not greater.
bool lifetime_changed(double a, double b) { return std::fabs(a - b) > kNodeLifetimeTolerance; }

KeyedIndex<NodeDefinition> index_nodes(const std::vector<NodeDefinition>& nodes) {
    return index_by(nodes, [](const NodeDefinition& node) { return node.id; });
}

KeyedIndex<LinkDefinition> index_links(const std::vector<LinkDefinition>& links) {
    return index_by(links, [](const LinkDefinition& link) { return link_key(link.from_node, link.to); });
}

std::string summary_text(const TopologyDiff& diff) {
    std::string text = "Diff for '";
    text.append(diff.name).append("': ");
    text.append(std::to_string(diff.nodes_added.size())).append(" nodes added, ");
    text.append(std::to_string(diff.nodes_removed.size())).append(" nodes removed, ");
    text.append(std::to_string(diff.nodes_modified.size())).append(" nodes modified. ");
    text.append(std::to_string(diff.links_added.size())).append(" links added, ");
    text.append(std::to_string(diff.links_removed.size())).append(" links removed, ");
    text.append(std::to_string(diff.links_modified.size())).append(" links modified.");
    return text;
}

}  // namespace

TopologyDiff diff_topologies(const TopologySnapshot& first, const TopologySnapshot& second) {
    TopologyDiff diff;
    diff.name = first.metadata.name + " vs " + second.metadata.name;
    compare_indexes(
        index_nodes(first.nodes), index_nodes(second.nodes),
        [](const NodeDefinition& a, const NodeDefinition& b) {
            return lifetime_changed(a.memory_lifetime_t2, b.memory_lifetime_t2);
        },
        diff.nodes_added, diff.nodes_removed, diff.nodes_modified);
    // Links must agree exactly in every member (a NaN member never agrees).
    compare_indexes(
        index_links(first.links), index_links(second.links),
        [](const LinkDefinition& a, const LinkDefinition& b) { return a != b; }, diff.links_added, diff.links_removed,
        diff.links_modified);
    diff.summary = summary_text(diff);
    return diff;
}

}  // namespace vorn

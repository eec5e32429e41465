#include "files/validation.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "common/messages.h"
#include "files/connected_components.h"

namespace vorn {

namespace {

void check_duplicate_ids(const VornFile& file, ValidationReport& report, const StopCheck& stop) {
    std::unordered_set<std::string_view> seen;
    for (const VornNode& node : file.nodes) {
        stop.poll();
        if (!seen.insert(node.id).second) report.add_error(ValidationIssue::duplicate_node_id(node.id));
    }
}

void check_links(const VornFile& file, ValidationReport& report, const StopCheck& stop) {
    std::unordered_set<std::string_view> ids;
    for (const VornNode& node : file.nodes) {
        stop.poll();
        ids.insert(node.id);
    }
    for (const VornLink& link : file.links) {
        stop.poll();
        const std::string name = link.id ? *link.id : std::string(msg::kUnknownPlaceholder);
        if (link.from == link.to) report.add_error(ValidationIssue::self_loop(name));
        if (!ids.contains(link.from)) report.add_error(ValidationIssue::unknown_node_reference(link.from, link.id));
        if (!ids.contains(link.to)) report.add_error(ValidationIssue::unknown_node_reference(link.to, link.id));
        // Written as the rules state them: a NaN distance or rate is not
        // "<= 0" and passes, while a NaN fidelity is not "> 0" and fails.
        if (link.distance_km <= 0.0) report.add_error(ValidationIssue::invalid_distance(name, link.distance_km));
        if (!(link.base_fidelity > 0.0) || !(link.base_fidelity <= 1.0)) {
            report.add_error(ValidationIssue::invalid_fidelity(name, link.base_fidelity));
        }
        if (link.generation_rate_hz <= 0.0) {
            report.add_error(ValidationIssue::invalid_generation_rate(name, link.generation_rate_hz));
        }
    }
}

// One vertex per node entry (duplicates included); an id stands for the
// vertex of its last entry, so an earlier duplicate stays an isolated vertex.
void check_connectivity(const VornFile& file, ValidationReport& report, const StopCheck& stop) {
    std::unordered_map<std::string_view, std::size_t> vertex_of;
    for (std::size_t i = 0; i < file.nodes.size(); ++i) {
        stop.poll();
        vertex_of[file.nodes[i].id] = i;
    }
    DisjointSets sets(file.nodes.size());
    for (const VornLink& link : file.links) {
        stop.poll();
        const auto from = vertex_of.find(link.from);
        const auto to = vertex_of.find(link.to);
        if (from != vertex_of.end() && to != vertex_of.end()) sets.unite(from->second, to->second);
    }
    if (sets.set_count() > 1) report.add_error(ValidationIssue::graph_disconnected(sets.set_count()));
}

}  // namespace

ValidationReport validate_file(const VornFile& file, const StopCheck& stop) {
    ValidationReport report;
    check_duplicate_ids(file, report, stop);
    check_links(file, report, stop);
    check_connectivity(file, report, stop);
    return report;
}

}  // namespace vorn

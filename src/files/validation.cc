#include "files/validation.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "common/messages.h"
#include "files/connected_components.h"

namespace vorn {

namespace {

// Adds an issue about the record at `index` of its list.
void add_record_error(ValidationReport& report, ValidationIssue issue, std::size_t index) {
    issue.record = index;
    report.add_error(std::move(issue));
}

void check_duplicate_ids(const VornFile& file, ValidationReport& report, const StopCheck& stop) {
    std::unordered_set<std::string_view> seen;
    for (std::size_t i = 0; i < file.nodes.size(); ++i) {
        stop.poll();
        const VornNode& node = file.nodes[i];
        if (!seen.insert(node.id).second) add_record_error(report, ValidationIssue::duplicate_node_id(node.id), i);
    }
}

void check_links(const VornFile& file, ValidationReport& report, const StopCheck& stop) {
    std::unordered_set<std::string_view> ids;
    for (const VornNode& node : file.nodes) {
        stop.poll();
        ids.insert(node.id);
    }
    for (std::size_t i = 0; i < file.links.size(); ++i) {
        stop.poll();
        const VornLink& link = file.links[i];
        const std::string name = link.id ? *link.id : std::string(msg::kUnknownPlaceholder);
        if (link.from == link.to) add_record_error(report, ValidationIssue::self_loop(name), i);
        if (!ids.contains(link.from)) {
            add_record_error(report, ValidationIssue::unknown_node_reference(link.from, link.id), i);
        }
        if (!ids.contains(link.to)) {
            add_record_error(report, ValidationIssue::unknown_node_reference(link.to, link.id), i);
        }
        // Written as the rules state them: a NaN distance or rate is not
        // "<= 0" and passes, while a NaN fidelity is not "> 0" and fails.
        if (link.distance_km <= 0.0) {
            add_record_error(report, ValidationIssue::invalid_distance(name, link.distance_km), i);
        }
        if (!(link.base_fidelity > 0.0) || !(link.base_fidelity <= 1.0)) {
            add_record_error(report, ValidationIssue::invalid_fidelity(name, link.base_fidelity), i);
        }
        if (link.generation_rate_hz <= 0.0) {
            add_record_error(report, ValidationIssue::invalid_generation_rate(name, link.generation_rate_hz), i);
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

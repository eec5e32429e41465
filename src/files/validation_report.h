// The result of checking a network file against the validation rules: the
// issues found (in the order found), warnings, and their fixed text forms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

enum class ValidationIssueKind : std::uint8_t {
    DuplicateNodeId,
    UnknownNodeReference,
    SelfLoop,
    InvalidDistance,
    InvalidFidelity,
    InvalidGenerationRate,
    GraphDisconnected,
};

// The list of the file whose element an issue of a kind is about: a node for
// DuplicateNodeId, a link for the link rules, none for GraphDisconnected
// (the network as a whole).
enum class IssueRecords : std::uint8_t { None, Nodes, Links };
IssueRecords records_of(ValidationIssueKind kind);

struct ValidationIssue {
    ValidationIssueKind kind = ValidationIssueKind::DuplicateNodeId;
    // DuplicateNodeId, UnknownNodeReference: the node id. SelfLoop and the
    // three Invalid* kinds: the link id, or "unknown" when the link has none.
    std::string subject;
    // UnknownNodeReference only: the link id when the link has one.
    std::optional<std::string> link_id;
    // The offending value of the three Invalid* kinds.
    double value = 0.0;
    // GraphDisconnected: the number of connected components.
    std::uint64_t components = 0;
    // No rule sets a path; the text forms still honour one.
    std::optional<std::string> path;
    // The index of the record the issue is about in its list (records_of);
    // none for GraphDisconnected. Not part of the text forms.
    std::optional<std::size_t> record;

    static ValidationIssue duplicate_node_id(std::string node_id);
    static ValidationIssue unknown_node_reference(std::string node_id, std::optional<std::string> link_id);
    static ValidationIssue self_loop(std::string link);
    static ValidationIssue invalid_distance(std::string link, double distance_km);
    static ValidationIssue invalid_fidelity(std::string link, double base_fidelity);
    static ValidationIssue invalid_generation_rate(std::string link, double generation_rate_hz);
    static ValidationIssue graph_disconnected(std::uint64_t components);

    // The sentence, with " [path]" appended when a path is set (never for SelfLoop).
    std::string message() const;
    // The kind's own form, e.g. "DuplicateNodeId: A".
    std::string type_text() const;

private:
    // One of the kind's templates, filled with this issue's values.
    std::string fill(std::string_view text) const;
};

struct ValidationWarning {
    std::string message;
    std::optional<std::string> path;
};

struct ValidationReport {
    bool valid = true;
    std::vector<ValidationIssue> errors;
    std::vector<ValidationWarning> warnings;

    void add_error(ValidationIssue issue) {
        valid = false;
        errors.push_back(std::move(issue));
    }
    void add_warning(ValidationWarning warning) { warnings.push_back(std::move(warning)); }
};

// "Validation passed.\n" or "Validation failed.\n", then the error lines and
// the warning lines under their headings.
std::string report_text(const ValidationReport& report);

}  // namespace vorn

#include "files/validation_report.h"

#include "common/messages.h"
#include "common/template_text.h"
#include "formats/number_text.h"

namespace vorn {

namespace {

// The sentence and the type text of each kind of issue: whole templates, the
// second of each pair for an issue that names its link.
struct IssueTexts {
    std::string_view message;
    std::string_view message_with_link;
    std::string_view type;
    std::string_view type_with_link;
    // Whether the sentence carries the issue's path (the self-loop's never does).
    bool shows_path;
};

IssueTexts texts_of(ValidationIssueKind kind) {
    switch (kind) {
        case ValidationIssueKind::DuplicateNodeId:
            return {msg::kDuplicateNodeIdMessage, msg::kDuplicateNodeIdMessage, msg::kDuplicateNodeIdType,
                    msg::kDuplicateNodeIdType, true};
        case ValidationIssueKind::UnknownNodeReference:
            return {msg::kUnknownNodeMessage, msg::kUnknownNodeInLinkMessage, msg::kUnknownNodeType,
                    msg::kUnknownNodeInLinkType, true};
        case ValidationIssueKind::SelfLoop:
            return {msg::kSelfLoopMessage, msg::kSelfLoopMessage, msg::kSelfLoopType, msg::kSelfLoopType, false};
        case ValidationIssueKind::InvalidDistance:
            return {msg::kInvalidDistanceMessage, msg::kInvalidDistanceMessage, msg::kInvalidDistanceType,
                    msg::kInvalidDistanceType, true};
        case ValidationIssueKind::InvalidFidelity:
            return {msg::kInvalidFidelityMessage, msg::kInvalidFidelityMessage, msg::kInvalidFidelityType,
                    msg::kInvalidFidelityType, true};
        case ValidationIssueKind::InvalidGenerationRate:
            return {msg::kInvalidRateMessage, msg::kInvalidRateMessage, msg::kInvalidRateType, msg::kInvalidRateType,
                    true};
        case ValidationIssueKind::GraphDisconnected:
            return {msg::kDisconnectedMessage, msg::kDisconnectedMessage, msg::kDisconnectedType,
                    msg::kDisconnectedType, true};
    }
    return {};
}

}  // namespace

IssueRecords records_of(ValidationIssueKind kind) {
    switch (kind) {
        case ValidationIssueKind::DuplicateNodeId: return IssueRecords::Nodes;
        case ValidationIssueKind::GraphDisconnected: return IssueRecords::None;
        case ValidationIssueKind::UnknownNodeReference:
        case ValidationIssueKind::SelfLoop:
        case ValidationIssueKind::InvalidDistance:
        case ValidationIssueKind::InvalidFidelity:
        case ValidationIssueKind::InvalidGenerationRate: return IssueRecords::Links;
    }
    return IssueRecords::None;
}

ValidationIssue ValidationIssue::duplicate_node_id(std::string node_id) {
    ValidationIssue issue;
    issue.kind = ValidationIssueKind::DuplicateNodeId;
    issue.subject = std::move(node_id);
    return issue;
}

ValidationIssue ValidationIssue::unknown_node_reference(std::string node_id, std::optional<std::string> link_id) {
    ValidationIssue issue;
    issue.kind = ValidationIssueKind::UnknownNodeReference;
    issue.subject = std::move(node_id);
    issue.link_id = std::move(link_id);
    return issue;
}

namespace {

// The three link checks that report the offending value with the link.
ValidationIssue link_value_issue(ValidationIssueKind kind, std::string link, double value) {
    ValidationIssue issue;
    issue.kind = kind;
    issue.subject = std::move(link);
    issue.value = value;
    return issue;
}

}  // namespace

ValidationIssue ValidationIssue::self_loop(std::string link) {
    ValidationIssue issue;
    issue.kind = ValidationIssueKind::SelfLoop;
    issue.subject = std::move(link);
    return issue;
}

ValidationIssue ValidationIssue::invalid_distance(std::string link, double distance_km) {
    return link_value_issue(ValidationIssueKind::InvalidDistance, std::move(link), distance_km);
}

ValidationIssue ValidationIssue::invalid_fidelity(std::string link, double base_fidelity) {
    return link_value_issue(ValidationIssueKind::InvalidFidelity, std::move(link), base_fidelity);
}

ValidationIssue ValidationIssue::invalid_generation_rate(std::string link, double generation_rate_hz) {
    return link_value_issue(ValidationIssueKind::InvalidGenerationRate, std::move(link), generation_rate_hz);
}

ValidationIssue ValidationIssue::graph_disconnected(std::uint64_t components) {
    ValidationIssue issue;
    issue.kind = ValidationIssueKind::GraphDisconnected;
    issue.components = components;
    return issue;
}

std::string ValidationIssue::fill(std::string_view text) const {
    return fill_template(text, {{"subject", subject},
                                {"link", link_id ? std::string_view(*link_id) : std::string_view()},
                                {"value", plain_number_text(value)},
                                {"components", std::to_string(components)}});
}

std::string ValidationIssue::message() const {
    const IssueTexts texts = texts_of(kind);
    std::string text = fill(link_id ? texts.message_with_link : texts.message);
    if (path && texts.shows_path) text += fill_template(msg::kIssuePathSuffix, {{"path", *path}});
    return text;
}

std::string ValidationIssue::type_text() const {
    const IssueTexts texts = texts_of(kind);
    return fill(link_id ? texts.type_with_link : texts.type);
}

std::string report_text(const ValidationReport& report) {
    std::string text(report.valid ? msg::kValidationPassed : msg::kValidationFailedHeading);
    if (!report.errors.empty()) {
        text.append(msg::kReportErrorsHeading);
        for (const ValidationIssue& issue : report.errors) {
            text.append(msg::kReportItemBullet).append(issue.message()).push_back('\n');
        }
    }
    if (!report.warnings.empty()) {
        text.append(msg::kReportWarningsHeading);
        for (const ValidationWarning& warning : report.warnings) {
            text.append(msg::kReportItemBullet).append(warning.message).append(" [");
            text.append(warning.path ? std::string_view(*warning.path) : msg::kUnknownPlaceholder).append("]\n");
        }
    }
    return text;
}

}  // namespace vorn

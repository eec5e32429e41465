#include "files/validation_report.h"

#include "formats/number_text.h"
#include "common/messages.h"

namespace vorn {

namespace {

std::string plain(double value) { return plain_number_text(value); }

// "<sentence> <value><tail><link><ending>" shared by the three value checks.
std::string value_message(std::string_view head, double value, std::string_view tail, const std::string& link,
                          std::string_view ending) {
    std::string text(head);
    text.append(plain(value)).append(tail).append(link).append(ending);
    return text;
}

}  // namespace

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

std::string ValidationIssue::message() const {
    std::string text;
    switch (kind) {
        case ValidationIssueKind::DuplicateNodeId:
            text.append(msg::kDuplicateNodeIdMessage).append(subject);
            break;
        case ValidationIssueKind::UnknownNodeReference:
            text.append(msg::kUnknownNodeMessage).append(subject);
            if (link_id) text.append(msg::kUnknownNodeInLinkMessage).append(*link_id);
            text.push_back('\'');
            break;
        case ValidationIssueKind::SelfLoop:
            // The self-loop sentence never carries the path.
            text.append(msg::kSelfLoopMessage).append(subject).push_back('\'');
            return text;
        case ValidationIssueKind::InvalidDistance:
            text = value_message(msg::kInvalidDistanceMessage, value, msg::kInvalidDistanceTail, subject,
                                 msg::kMustBePositive);
            break;
        case ValidationIssueKind::InvalidFidelity:
            text = value_message(msg::kInvalidFidelityMessage, value, msg::kInvalidFidelityTail, subject,
                                 msg::kFidelityRange);
            break;
        case ValidationIssueKind::InvalidGenerationRate:
            text = value_message(msg::kInvalidRateMessage, value, msg::kInvalidRateTail, subject, msg::kMustBePositive);
            break;
        case ValidationIssueKind::GraphDisconnected:
            text.append(msg::kDisconnectedMessage).append(std::to_string(components)).append(msg::kComponentsTail);
            break;
    }
    if (path) text.append(" [").append(*path).append("]");
    return text;
}

std::string ValidationIssue::type_text() const {
    std::string text;
    switch (kind) {
        case ValidationIssueKind::DuplicateNodeId:
            text.append(msg::kDuplicateNodeIdType).append(subject);
            break;
        case ValidationIssueKind::UnknownNodeReference:
            text.append(msg::kUnknownNodeType).append(subject);
            if (link_id) text.append("[").append(*link_id).append("]");
            break;
        case ValidationIssueKind::SelfLoop:
            text.append(msg::kSelfLoopType).append(subject);
            break;
        case ValidationIssueKind::InvalidDistance:
            text = value_message(msg::kInvalidDistanceType, value, msg::kInvalidDistanceTail, subject, "'");
            break;
        case ValidationIssueKind::InvalidFidelity:
            text = value_message(msg::kInvalidFidelityType, value, msg::kInvalidFidelityTail, subject, "'");
            break;
        case ValidationIssueKind::InvalidGenerationRate:
            text = value_message(msg::kInvalidRateType, value, msg::kInvalidRateTail, subject, "'");
            break;
        case ValidationIssueKind::GraphDisconnected:
            text.append(msg::kDisconnectedType).append(std::to_string(components)).append(msg::kComponentsTail);
            break;
    }
    return text;
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

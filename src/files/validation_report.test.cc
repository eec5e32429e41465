#include "files/validation_report.h"

#include <string>

#include <gtest/gtest.h>

namespace {

using vorn::ValidationIssue;
using vorn::ValidationReport;

struct TextCase {
    ValidationIssue issue;
    std::string message;
    std::string type_text;
};

}  // namespace

TEST(ValidationReport, validation_issue_message_and_type_text_table) {
    const TextCase cases[] = {
        {ValidationIssue::duplicate_node_id("A"), "Duplicate node ID: A", "DuplicateNodeId: A"},
        {ValidationIssue::unknown_node_reference("X", std::nullopt), "Unknown node reference 'X'",
         "UnknownNodeReference: X"},
        {ValidationIssue::unknown_node_reference("C", "L2"), "Unknown node reference 'C' in link 'L2'",
         "UnknownNodeReference: C[L2]"},
        {ValidationIssue::self_loop("L1"), "Self-loop detected in link 'L1'", "SelfLoop: L1"},
        {ValidationIssue::self_loop("unknown"), "Self-loop detected in link 'unknown'", "SelfLoop: unknown"},
        {ValidationIssue::invalid_distance("L1", -5.0), "Invalid distance -5 km for link 'L1' (must be > 0)",
         "InvalidDistance: -5 km for link 'L1'"},
        {ValidationIssue::invalid_distance("L1", 0.0), "Invalid distance 0 km for link 'L1' (must be > 0)",
         "InvalidDistance: 0 km for link 'L1'"},
        {ValidationIssue::invalid_fidelity("L3", 1.2), "Invalid fidelity 1.2 for link 'L3' (must be 0 < x <= 1)",
         "InvalidFidelity: 1.2 for link 'L3'"},
        {ValidationIssue::invalid_fidelity("unknown", 0.0),
         "Invalid fidelity 0 for link 'unknown' (must be 0 < x <= 1)", "InvalidFidelity: 0 for link 'unknown'"},
        {ValidationIssue::invalid_generation_rate("L4", -1.5),
         "Invalid generation rate -1.5 Hz for link 'L4' (must be > 0)", "InvalidGenerationRate: -1.5 Hz for link 'L4'"},
        {ValidationIssue::invalid_generation_rate("L4", 1e-7),
         "Invalid generation rate 0.0000001 Hz for link 'L4' (must be > 0)",
         "InvalidGenerationRate: 0.0000001 Hz for link 'L4'"},
        {ValidationIssue::graph_disconnected(3), "Graph is disconnected with 3 components",
         "GraphDisconnected: 3 components"},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(c.issue.message(), c.message);
        EXPECT_EQ(c.issue.type_text(), c.type_text);
    }
}

TEST(ValidationReport, validation_issue_path_suffix_except_self_loop) {
    ValidationIssue duplicate = ValidationIssue::duplicate_node_id("A");
    duplicate.path = "nodes[1]";
    EXPECT_EQ(duplicate.message(), std::string("Duplicate node ID: A [nodes[1]]"));
    EXPECT_EQ(duplicate.type_text(), std::string("DuplicateNodeId: A"));
    ValidationIssue loop = ValidationIssue::self_loop("L1");
    loop.path = "links[0]";
    EXPECT_EQ(loop.message(), std::string("Self-loop detected in link 'L1'"));
    ValidationIssue split = ValidationIssue::graph_disconnected(2);
    split.path = "p";
    EXPECT_EQ(split.message(), std::string("Graph is disconnected with 2 components [p]"));
}

TEST(ValidationReport, validation_report_text_forms) {
    ValidationReport report;
    EXPECT_TRUE(report.valid);
    EXPECT_EQ(vorn::report_text(report), std::string("Validation passed.\n"));

    // Warnings alone leave the report valid.
    report.add_warning({"looks odd", std::nullopt});
    report.add_warning({"check this", "nodes[0]"});
    EXPECT_TRUE(report.valid);
    EXPECT_EQ(vorn::report_text(report), std::string("Validation passed.\n"
                                                     "\nWarnings:\n"
                                                     "   - looks odd [unknown]\n"
                                                     "   - check this [nodes[0]]\n"));

    report.add_error(ValidationIssue::duplicate_node_id("A"));
    report.add_error(ValidationIssue::graph_disconnected(2));
    EXPECT_FALSE(report.valid);
    EXPECT_EQ(vorn::report_text(report), std::string("Validation failed.\n"
                                                     "\nErrors:\n"
                                                     "   - Duplicate node ID: A\n"
                                                     "   - Graph is disconnected with 2 components\n"
                                                     "\nWarnings:\n"
                                                     "   - looks odd [unknown]\n"
                                                     "   - check this [nodes[0]]\n"));
}

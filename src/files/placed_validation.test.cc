#include "files/placed_validation.h"

#include <optional>
#include <string>
#include <vector>

#include "formats/marked_places.testing.h"
#include "formats/reader_error_case.testing.h"
#include "files/file_io.h"
#include "files/load_error.h"
#include "files/load_file.h"
#include "files/temp_path.testing.h"
#include <gtest/gtest.h>

namespace {

using vorn::IssueRecords;
using vorn::LoadError;
using vorn::TextPosition;
using vorn::ValidationIssueKind;
using vorn::test_support::marked_places;
using vorn::test_support::TempPath;

// Each rule broken once or more, by records written both as objects and as arrays.
const char* const kBroken = R"({
  "version": ⟨v⟩"1.0",
  "metadata": {"name": "bad"},
  "nodes": ⟨N⟩[
    ⟨n⟩{"id": "A"},
    ⟨n⟩{"id": "B"},
    ⟨n⟩{"id": "A"},
    ⟨n⟩["C", null, null, null], ⟨n⟩["B", null, null, null]
  ],
  "links": [
    ⟨l⟩{"id": "L1", "from": "A", "to": "A", "distance_km": 5, "base_fidelity": 0.9, "generation_rate_hz": 10},
    ⟨l⟩{"from": "A", "to": "X", "distance_km": -5, "base_fidelity": 1.2, "generation_rate_hz": 0},
    ⟨l⟩["L3", "B", "Y", 3.0, 0.9, 10.0, null, null], ⟨l⟩["L4", "Y", "Y", 3.0, 0.9, 10.0, null, null]
  ]
})";

struct Expected {
    ValidationIssueKind kind;
    std::optional<std::size_t> record;
};

// In the rules' order: duplicates, then each link's checks, then connectivity.
const Expected kFindings[] = {
    {ValidationIssueKind::DuplicateNodeId, 2},
    {ValidationIssueKind::DuplicateNodeId, 4},
    {ValidationIssueKind::SelfLoop, 0},
    {ValidationIssueKind::UnknownNodeReference, 1},
    {ValidationIssueKind::InvalidDistance, 1},
    {ValidationIssueKind::InvalidFidelity, 1},
    {ValidationIssueKind::InvalidGenerationRate, 1},
    {ValidationIssueKind::UnknownNodeReference, 2},
    {ValidationIssueKind::SelfLoop, 3},
    {ValidationIssueKind::UnknownNodeReference, 3},
    {ValidationIssueKind::UnknownNodeReference, 3},
    {ValidationIssueKind::GraphDisconnected, std::nullopt},
};

vorn::PlacedValidation placed_in(const std::string& text) {
    TempPath path("placed.vorn");
    vorn::write_bytes_file(path.str(), text);
    return vorn::validate_file_placed(path.str());
}

std::optional<TextPosition> failure_position(const std::string& text) {
    TempPath path("failing.vorn");
    vorn::write_bytes_file(path.str(), text);
    try {
        vorn::validate_file_placed(path.str());
    } catch (const LoadError& error) {
        return error.position();
    }
    ADD_FAILURE() << "no LoadError for " << text;
    return std::nullopt;
}

}  // namespace

TEST(PlacedValidation, each_finding_points_at_the_record_that_raised_it) {
    const auto marked = marked_places(kBroken);
    const vorn::PlacedValidation placed = placed_in(marked.text);
    ASSERT_EQ(placed.report.errors.size(), std::size(kFindings));
    ASSERT_EQ(placed.positions.size(), std::size(kFindings));
    for (std::size_t i = 0; i < std::size(kFindings); ++i) {
        const vorn::ValidationIssue& issue = placed.report.errors[i];
        EXPECT_EQ(issue.kind, kFindings[i].kind) << i;
        EXPECT_EQ(issue.record, kFindings[i].record) << issue.type_text();
        const IssueRecords list = vorn::records_of(issue.kind);
        const TextPosition expected = list == IssueRecords::None    ? marked.places.nodes
                                      : list == IssueRecords::Nodes ? marked.places.node_records.at(*issue.record)
                                                                    : marked.places.link_records.at(*issue.record);
        EXPECT_EQ(placed.positions[i], expected) << issue.type_text();
    }
    // By hand: the second "A" opens line 7 at column 5, "L4" is the second record on line 13.
    EXPECT_EQ(placed.positions[0], (TextPosition{7, 5}));
    EXPECT_EQ(placed.positions[8], (TextPosition{13, 51}));
    EXPECT_EQ(placed.positions[11], (TextPosition{4, 12}));
}

TEST(PlacedValidation, a_valid_file_has_no_findings_to_place) {
    const vorn::PlacedValidation placed =
        placed_in(R"({"version": "1.0", "metadata": {"name": "n"}, "nodes": [{"id": "A"}], "links": []})");
    EXPECT_TRUE(placed.report.valid);
    EXPECT_TRUE(placed.positions.empty());
}

TEST(PlacedValidation, read_parse_and_version_failures_know_where_they_are) {
    // The reader's own place, as its message names it.
    const std::pair<const char*, const char*> parse_errors[] = {
        {"§", "EOF while parsing a value"},
        {"{\n  \"version\": \"1.0\",\n  \"metadata\": {\"name\": 3§}\n}",
         "invalid type: integer `3`, expected a string"},
        {"{\r\n  \"version\": \"1.0\",\r\n  \"metadata\": {}§\r\n}", "missing field `name`"},
        {"[\"1.0\", [\"n\", null, null, null], [], [], null, null, null]\n x§", "trailing characters"},
    };
    for (const auto& [marked, description] : parse_errors) {
        const auto expected = vorn::test_support::marked_error(marked, description);
        const std::string where = expected.expected.substr(expected.expected.rfind(" at line ") + 9);
        const std::optional<TextPosition> position = failure_position(expected.input);
        ASSERT_TRUE(position.has_value()) << expected.input;
        EXPECT_EQ(std::to_string(position->line) + " column " + std::to_string(position->column), where);
    }
    // Another version: where its value starts.
    const auto other_version = marked_places(R"({"metadata": {"name": "n"},
      "version":   ⟨v⟩"2.0", "nodes": ⟨N⟩[], "links": []})");
    EXPECT_EQ(failure_position(other_version.text), other_version.places.version);
    // A file that cannot be read has no place, and reading without places
    // still places a parse failure.
    try {
        vorn::validate_file_placed("/tmp/vorn_missing_dir/none.vorn");
        ADD_FAILURE() << "a missing file was read";
    } catch (const LoadError& error) {
        EXPECT_FALSE(error.position().has_value());
    }
    TempPath path("plain.vorn");
    vorn::write_bytes_file(path.str(), "{\"version\": 5}");
    try {
        vorn::read_vorn_file(path.str());
        ADD_FAILURE() << "a broken file was read";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.position(), (TextPosition{1, 13}));
    }
}

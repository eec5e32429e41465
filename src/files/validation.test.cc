#include "files/validation.h"

#include <limits>
#include <string>
#include <vector>

#include "formats/chain_file.testing.h"
#include "common/stopping_check.testing.h"
#include <gtest/gtest.h>

namespace {

using vorn::VornFile;
using vorn::VornLink;
using vorn::VornNode;

VornNode node(std::string id) { return VornNode{std::move(id), std::nullopt, std::nullopt, std::nullopt}; }

VornLink make_link(std::optional<std::string> id, std::string from, std::string to, double distance = 10.0,
                   double fidelity = 0.9, double rate = 100.0) {
    VornLink l;
    l.id = std::move(id);
    l.from = std::move(from);
    l.to = std::move(to);
    l.distance_km = distance;
    l.base_fidelity = fidelity;
    l.generation_rate_hz = rate;
    return l;
}

VornFile file_with(std::vector<std::string> node_ids, std::vector<VornLink> links) {
    VornFile file;
    file.version = "1.0";
    file.metadata.name = "t";
    for (std::string& id : node_ids) file.nodes.push_back(node(std::move(id)));
    file.links = std::move(links);
    return file;
}

std::vector<std::string> type_texts(const vorn::ValidationReport& report) {
    std::vector<std::string> texts;
    for (const vorn::ValidationIssue& issue : report.errors) texts.push_back(issue.type_text());
    return texts;
}

struct Case {
    const char* what;
    VornFile file;
    std::vector<std::string> types;
};

}  // namespace

TEST(Validation, validation_rules_table) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Case> cases = {
        {"valid chain", file_with({"A", "B", "C"}, {make_link("L1", "A", "B"), make_link("L2", "B", "C")}), {}},
        {"empty file", file_with({}, {}), {}},
        {"single node", file_with({"A"}, {}), {}},
        {"three duplicates",
         file_with({"A", "A", "A"}, {}),
         {"DuplicateNodeId: A", "DuplicateNodeId: A", "GraphDisconnected: 3 components"}},
        {"duplicate leaves earlier vertex alone",
         file_with({"A", "B", "A"}, {make_link("L", "A", "B")}),
         {"DuplicateNodeId: A", "GraphDisconnected: 2 components"}},
        {"self loops with and without id",
         file_with({"A"}, {make_link("L1", "A", "A"), make_link(std::nullopt, "A", "A")}),
         {"SelfLoop: L1", "SelfLoop: unknown"}},
        {"self loop on unknown node",
         file_with({"A"}, {make_link("L9", "X", "X")}),
         {"SelfLoop: L9", "UnknownNodeReference: X[L9]", "UnknownNodeReference: X[L9]"}},
        {"no nodes, both ends unknown",
         file_with({}, {make_link(std::nullopt, "A", "B")}),
         {"UnknownNodeReference: A", "UnknownNodeReference: B"}},
        {"unknown to with id",
         file_with({"A", "B"}, {make_link("L1", "A", "B"), make_link("L2", "B", "C")}),
         {"UnknownNodeReference: C[L2]"}},
        {"all value checks in order",
         file_with({"A", "B"}, {make_link("L1", "A", "B", -5.0, 1.2, 0.0)}),
         {"InvalidDistance: -5 km for link 'L1'", "InvalidFidelity: 1.2 for link 'L1'",
          "InvalidGenerationRate: 0 Hz for link 'L1'"}},
        {"fidelity bounds",
         file_with({"A", "B"}, {make_link("a", "A", "B", 1, 1.0), make_link("b", "A", "B", 1, 0.0)}),
         {"InvalidFidelity: 0 for link 'b'"}},
        {"NaN fidelity fails, NaN distance and rate pass",
         file_with({"A", "B"}, {make_link(std::nullopt, "A", "B", nan, nan, nan)}),
         {"InvalidFidelity: NaN for link 'unknown'"}},
        {"disconnected", file_with({"A", "B", "C"}, {make_link("L1", "A", "B")}), {"GraphDisconnected: 2 components"}},
        {"links to unknown nodes add no edges",
         file_with({"A", "B"}, {make_link("L1", "A", "X"), make_link("L2", "X", "B")}),
         {"UnknownNodeReference: X[L1]", "UnknownNodeReference: X[L2]", "GraphDisconnected: 2 components"}},
        {"parallel and reversed links are fine",
         file_with({"A", "B"}, {make_link("L", "A", "B"), make_link("L", "B", "A")}),
         {}},
    };
    for (const Case& c : cases) {
        const vorn::ValidationReport report = vorn::validate_file(c.file);
        const std::vector<std::string> types = type_texts(report);
        EXPECT_EQ(report.valid, c.types.empty());
        EXPECT_TRUE(report.warnings.empty());
        if (types != c.types) {
            std::string got;
            for (const std::string& t : types) got += t + "; ";
            EXPECT_EQ(std::string(c.what) + ": " + got, std::string(c.what) + ": <expected list>");
        }
    }
}

TEST(Validation, validation_ignores_everything_but_ids_and_link_fields) {
    VornFile file = file_with({"A", "B"}, {make_link("L1", "A", "B")});
    file.version = "9.9";
    file.nodes[0].memory_lifetime_ms = -5.0;
    file.links[0].link_type = vorn::VornLinkType::Satellite;  // no satellite block
    file.links.push_back(make_link("L1", "A", "B"));
    file.links.back().satellite = vorn::VornSatelliteExtension{-1.0, 0.0};
    EXPECT_TRUE(vorn::validate_file(file).valid);
}

TEST(Validation, validation_messages_of_link_issues) {
    const VornFile file = file_with({"A", "B"}, {make_link(std::nullopt, "A", "X"), make_link("L1", "A", "B", -5.0)});
    const vorn::ValidationReport report = vorn::validate_file(file);
    EXPECT_EQ(report.errors.size(), std::size_t(2));
    EXPECT_EQ(report.errors[0].message(), std::string("Unknown node reference 'X'"));
    EXPECT_EQ(report.errors[1].message(), std::string("Invalid distance -5 km for link 'L1' (must be > 0)"));
    EXPECT_FALSE(report.errors[0].path.has_value());
}

TEST(Validation, validation_of_a_large_file_ends_when_its_stop_check_asks) {
    const VornFile file = vorn::test_support::chain_file(vorn::test_support::kManyUnits);
    EXPECT_THROW(vorn::validate_file(file, vorn::test_support::StoppingCheck()), vorn::Stopped);
    EXPECT_TRUE(vorn::validate_file(file).valid);
}

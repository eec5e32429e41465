#include "files/file_diff.h"

#include <cmath>
#include <string>
#include <vector>

#include "formats/chain_file.testing.h"
#include "common/stopping_check.testing.h"
#include "files/file_io.h"
#include "files/temp_path.testing.h"
#include <gtest/gtest.h>

namespace {

using vorn::FileDiff;
using vorn::VornFile;
using vorn::VornLink;
using vorn::VornNode;
using vorn::test_support::TempPath;
using Names = std::vector<std::string>;

VornLink make_link(std::string from, std::string to, std::optional<std::string> id = std::nullopt) {
    return VornLink{std::move(id), std::move(from), std::move(to), 10.0, 0.9, 100.0, std::nullopt, std::nullopt};
}

VornFile base_file() {
    VornFile file;
    file.version = "1.0";
    file.metadata.name = "net";
    file.nodes = {{"A", std::nullopt, std::nullopt, std::nullopt},
                  {"B", 5.0, std::nullopt, std::nullopt},
                  {"C", std::nullopt, std::nullopt, std::nullopt}};
    file.links = {make_link("A", "B"), make_link("B", "C", "L2")};
    return file;
}

FileDiff diff(const VornFile& a, const VornFile& b) { return vorn::diff_files("a.vorn", "b.vorn", a, b); }

const std::string kHeader = "Diff between 'a.vorn' and 'b.vorn':\n";

}  // namespace

TEST(FileDiff, file_diff_identical_files_give_header_only) {
    const FileDiff d = diff(base_file(), base_file());
    EXPECT_EQ(d.summary, kHeader);
    ASSERT_TRUE(d.nodes_added.empty());
    ASSERT_TRUE(d.nodes_removed.empty());
    EXPECT_TRUE(d.nodes_modified.empty());
    ASSERT_TRUE(d.links_added.empty());
    ASSERT_TRUE(d.links_removed.empty());
    EXPECT_TRUE(d.links_modified.empty());
    EXPECT_FALSE(d.version_change);
    EXPECT_FALSE(d.metadata_change);
    EXPECT_FALSE(d.config_change);
    EXPECT_FALSE(d.constraints_change);
    EXPECT_FALSE(d.extensions_changed);
}

TEST(FileDiff, file_diff_node_and_link_lists_in_first_appearance_order) {
    VornFile second = base_file();
    second.nodes.erase(second.nodes.begin());                      // A removed
    second.nodes.push_back({"E", std::nullopt, std::nullopt, std::nullopt});
    second.nodes.push_back({"D", std::nullopt, std::nullopt, std::nullopt});
    second.nodes[1].memory_capacity = 4u;                          // C: capacity absent -> 4
    second.links[0] = make_link("B", "A");                              // reversed: removed + added
    second.links[1].id = "L2b";                                    // same key, other id
    second.links.push_back(make_link("C", "D"));
    const FileDiff d = diff(base_file(), second);
    EXPECT_EQ(d.nodes_added, Names({"E", "D"}));
    EXPECT_EQ(d.nodes_removed, Names({"A"}));
    EXPECT_EQ(d.nodes_modified, Names({"C"}));
    EXPECT_EQ(d.links_added, Names({"B->A", "C->D"}));
    EXPECT_EQ(d.links_removed, Names({"A->B"}));
    EXPECT_EQ(d.links_modified, Names({"B->C"}));
    EXPECT_EQ(d.summary, kHeader +
                             "  Nodes added: 2 (E, D)\n"
                             "  Nodes removed: 1 (A)\n"
                             "  Nodes modified: 1 (C)\n"
                             "  Links added: 2 (B->A, C->D)\n"
                             "  Links removed: 1 (A->B)\n"
                             "  Links modified: 1 (B->C)\n");
}

TEST(FileDiff, file_diff_modification_rules_table) {
    struct Case {
        const char* what;
        void (*edit)(VornFile&);
        std::size_t nodes_modified;
        std::size_t links_modified;
    };
    const Case cases[] = {
        {"lifetime value", [](VornFile& f) { f.nodes[1].memory_lifetime_ms = 5.5; }, 1, 0},
        {"lifetime dropped", [](VornFile& f) { f.nodes[1].memory_lifetime_ms.reset(); }, 1, 0},
        {"node type given", [](VornFile& f) { f.nodes[0].node_type = vorn::VornNodeType::Ground; }, 1, 0},
        {"later duplicate wins", [](VornFile& f) { f.nodes.push_back({"A", 1.0, std::nullopt, std::nullopt}); }, 1, 0},
        {"distance", [](VornFile& f) { f.links[0].distance_km = 11.0; }, 0, 1},
        {"fidelity", [](VornFile& f) { f.links[0].base_fidelity = 0.91; }, 0, 1},
        {"rate", [](VornFile& f) { f.links[0].generation_rate_hz = 1.0; }, 0, 1},
        {"id given to unnamed link", [](VornFile& f) { f.links[0].id = "L1"; }, 0, 1},
        {"link type given", [](VornFile& f) { f.links[0].link_type = vorn::VornLinkType::Fiber; }, 0, 1},
        {"satellite block added", [](VornFile& f) { f.links[0].satellite = vorn::VornSatelliteExtension{1.0, 1.0}; }, 0,
         1},
        {"parallel link, later one differs",
         [](VornFile& f) {
             f.links.push_back(make_link("A", "B"));
             f.links.back().distance_km = 99.0;
         },
         0, 1},
        {"parallel link, later one same", [](VornFile& f) { f.links.push_back(make_link("A", "B")); }, 0, 0},
    };
    for (const Case& c : cases) {
        VornFile second = base_file();
        c.edit(second);
        const FileDiff d = diff(base_file(), second);
        EXPECT_EQ(std::string(c.what) + " nodes " + std::to_string(d.nodes_modified.size()),
                  std::string(c.what) + " nodes " + std::to_string(c.nodes_modified));
        EXPECT_EQ(std::string(c.what) + " links " + std::to_string(d.links_modified.size()),
                  std::string(c.what) + " links " + std::to_string(c.links_modified));
        ASSERT_TRUE(d.nodes_added.empty());
        ASSERT_TRUE(d.links_added.empty());
        EXPECT_TRUE(d.nodes_removed.empty());
    }
    // Satellite blocks compare by value.
    VornFile first = base_file(), second = base_file();
    first.links[0].satellite = second.links[0].satellite = vorn::VornSatelliteExtension{0.5, 0.5};
    EXPECT_TRUE(diff(first, second).links_modified.empty());
    second.links[0].satellite->visibility = 0.6;
    EXPECT_EQ(diff(first, second).links_modified.size(), std::size_t(1));
    // A NaN never agrees, not even with itself.
    first = base_file();
    first.nodes[1].memory_lifetime_ms = NAN;
    first.links[1].distance_km = NAN;
    EXPECT_EQ(diff(first, first).nodes_modified, Names({"B"}));
    EXPECT_EQ(diff(first, first).links_modified, Names({"B->C"}));
    // The endpoints are the key: two spellings of one key are one unmodified link.
    first.links = {make_link("A->B", "C")};
    second.links = {make_link("A", "B->C")};
    const FileDiff respelled = diff(first, second);
    EXPECT_TRUE(respelled.links_added.empty() && respelled.links_removed.empty() && respelled.links_modified.empty());
}

TEST(FileDiff, file_diff_record_level_changes_summary_table) {
    struct Case {
        const char* what;
        void (*edit_old)(VornFile&);
        void (*edit_new)(VornFile&);
        std::string lines;
    };
    const auto none = [](VornFile&) {};
    const Case cases[] = {
        {"version", none, [](VornFile& f) { f.version = "2.0"; }, "  Version: 1.0 -> 2.0\n"},
        {"name", none, [](VornFile& f) { f.metadata.name = "other"; },
         "  Metadata changes:\n     - name: 'net' -> 'other'\n"},
        {"description only", none, [](VornFile& f) { f.metadata.description = "d"; }, "  Metadata changes:\n"},
        {"config only in second, no alpha", none, [](VornFile& f) { f.config = vorn::VornConfig{}; },
         "  Config changes:\n     - alpha_loss: None -> None\n"},
        {"config only in first", [](VornFile& f) { f.config = vorn::VornConfig{0.2, {}, {}, {}}; }, none,
         "  Config changes:\n     - alpha_loss: Some(0.2) -> None\n"},
        {"alpha changed", [](VornFile& f) { f.config = vorn::VornConfig{1.0, {}, {}, {}}; },
         [](VornFile& f) { f.config = vorn::VornConfig{1e-7, {}, {}, {}}; },
         "  Config changes:\n     - alpha_loss: Some(1.0) -> Some(1e-7)\n"},
        {"beta only", [](VornFile& f) { f.config = vorn::VornConfig{0.2, 0.1, {}, {}}; },
         [](VornFile& f) { f.config = vorn::VornConfig{0.2, 0.3, {}, {}}; }, "  Config changes:\n"},
        {"max attempts only", [](VornFile& f) { f.config = vorn::VornConfig{{}, {}, {}, 3u}; },
         [](VornFile& f) { f.config = vorn::VornConfig{{}, {}, {}, std::nullopt}; }, "  Config changes:\n"},
        {"same config", [](VornFile& f) { f.config = vorn::VornConfig{0.2, {}, 0.5, 3u}; },
         [](VornFile& f) { f.config = vorn::VornConfig{0.2, {}, 0.5, 3u}; }, ""},
        {"constraints only in second", none,
         [](VornFile& f) { f.constraints = vorn::VornConstraints{0.9, std::nullopt}; },
         "  Constraints changes:\n     - fidelity_target: None -> Some(0.9)\n"},
        {"latency only", [](VornFile& f) { f.constraints = vorn::VornConstraints{0.9, 10.0}; },
         [](VornFile& f) { f.constraints = vorn::VornConstraints{0.9, 20.0}; }, "  Constraints changes:\n"},
        {"extensions only in first", [](VornFile& f) { f.extensions = vorn::VornExtensions{}; }, none,
         "  Extensions changed\n"},
        {"extensions without custom on both", [](VornFile& f) { f.extensions = vorn::VornExtensions{}; },
         [](VornFile& f) { f.extensions = vorn::VornExtensions{}; }, ""},
        {"custom 1 vs 1.0", [](VornFile& f) { f.extensions = vorn::VornExtensions{vorn::JsonValue(1)}; },
         [](VornFile& f) { f.extensions = vorn::VornExtensions{vorn::JsonValue(1.0)}; }, "  Extensions changed\n"},
        {"custom objects in other member order",
         [](VornFile& f) {
             f.extensions = vorn::VornExtensions{vorn::JsonValue(vorn::JsonValue::Object{{"a", 1}, {"b", "x"}})};
         },
         [](VornFile& f) {
             f.extensions = vorn::VornExtensions{vorn::JsonValue(vorn::JsonValue::Object{{"b", "x"}, {"a", 1}})};
         },
         ""},
    };
    for (const Case& c : cases) {
        VornFile first = base_file(), second = base_file();
        c.edit_old(first);
        c.edit_new(second);
        EXPECT_EQ(std::string(c.what) + "\n" + diff(first, second).summary,
                  std::string(c.what) + "\n" + kHeader + c.lines);
    }
}

TEST(FileDiff, file_diff_summary_section_order) {
    VornFile first = base_file(), second = base_file();
    second.version = "1.1";
    second.metadata.name = "n2";
    second.nodes.push_back({"D", std::nullopt, std::nullopt, std::nullopt});
    second.links.push_back(make_link("C", "D"));
    second.config = vorn::VornConfig{0.5, {}, {}, {}};
    second.constraints = vorn::VornConstraints{0.8, {}};
    second.extensions = vorn::VornExtensions{vorn::JsonValue(true)};
    const FileDiff d = diff(first, second);
    EXPECT_EQ(d.summary, kHeader +
                             "  Version: 1.0 -> 1.1\n"
                             "  Metadata changes:\n     - name: 'net' -> 'n2'\n"
                             "  Nodes added: 1 (D)\n"
                             "  Links added: 1 (C->D)\n"
                             "  Config changes:\n     - alpha_loss: None -> Some(0.5)\n"
                             "  Constraints changes:\n     - fidelity_target: None -> Some(0.8)\n"
                             "  Extensions changed\n");
    ASSERT_TRUE(d.version_change);
    EXPECT_EQ(d.version_change->new_value, "1.1");
    ASSERT_TRUE(d.config_change);
    ASSERT_TRUE(d.config_change->alpha_loss);
    EXPECT_FALSE(d.config_change->alpha_loss->old_value);
}

TEST(FileDiff, file_diff_paths_report_first_failing_file) {
    TempPath good("good.vorn");
    vorn::write_bytes_file(good.str(), R"({"version": "1.0", "metadata": {"name": "x"}, "nodes": [{"id": "A"}],
                                          "links": []})");
    TempPath bad_version("bad.vorn");
    vorn::write_bytes_file(bad_version.str(), R"({"version": "2.0", "metadata": {"name": "x"}, "nodes": [],
                                                 "links": []})");
    const std::string missing = "/tmp/vorn_missing_dir/none.vorn";

    const vorn::FileDiffOutcome both_bad = vorn::diff_file_paths(missing, bad_version.str());
    EXPECT_FALSE(both_bad.diff);
    EXPECT_TRUE(both_bad.error);
    EXPECT_EQ(*both_bad.error, "Failed to load " + missing + ": IO error: " + vorn::system_error_text(ENOENT));

    const vorn::FileDiffOutcome second_bad = vorn::diff_file_paths(good.str(), bad_version.str());
    EXPECT_EQ(second_bad.error.value_or(""), "Failed to load " + bad_version.str() + ": Unsupported vorn version: 2.0");

    const vorn::FileDiffOutcome same = vorn::diff_file_paths(good.str(), good.str());
    ASSERT_TRUE(same.diff);
    EXPECT_FALSE(same.error);
    EXPECT_EQ(same.diff->summary, "Diff between '" + good.str() + "' and '" + good.str() + "':\n");
}

TEST(FileDiff, file_diff_of_large_files_ends_when_its_stop_check_asks) {
    const VornFile first = vorn::test_support::chain_file(vorn::test_support::kManyUnits);
    const VornFile second = vorn::test_support::chain_file(2 * vorn::test_support::kManyUnits);
    EXPECT_THROW(vorn::diff_files("a", "b", first, second, vorn::test_support::StoppingCheck()), vorn::Stopped);
    EXPECT_EQ(diff(first, second).nodes_added.size(), vorn::test_support::kManyUnits);
}

#include "files/topology_snapshot.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <string>

#include "formats/json_error.h"
#include "common/errors.h"
#include "files/file_io.h"
#include "files/snapshot_json_reader.h"
#include "files/snapshot_json_writer.h"
#include "files/temp_path.testing.h"
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using vorn::Engine;
using vorn::LinkDefinition;
using vorn::LinkType;
using vorn::NodeDefinition;
using vorn::OperationError;
using vorn::SatelliteConditions;
using vorn::test_support::TempPath;

// Matches an action that throws an OperationError with exactly this message.
auto fails_with(const std::string& message) {
    return ::testing::ThrowsMessage<OperationError>(::testing::StrEq(message));
}

bool starts_with(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }

Engine two_node_engine() {
    Engine engine;
    engine.build_network({{"A", 1.0}, {"B", 2.5}},
                         {{"A", "B", 10.0, 0.95, 1000.0, LinkType::Satellite, SatelliteConditions{0.5, 0.8}}});
    return engine;
}

const char* const kTwoNodeSnapshot = R"({
  "metadata": {
    "name": "exported_topology",
    "version": "1.0"
  },
  "nodes": [
    {
      "id": "A",
      "memoryLifetimeT2": 1.0
    },
    {
      "id": "B",
      "memoryLifetimeT2": 2.5
    }
  ],
  "links": [
    {
      "fromNode": "A",
      "to": "B",
      "distanceKm": 10.0,
      "baseFidelity": 0.95,
      "generationRateHz": 1000.0,
      "linkType": "Satellite",
      "satelliteConditions": null
    }
  ],
  "config": {
    "alphaLoss": 1.2,
    "gammaSwapping": 0.12
  }
})";

void write(const TempPath& path, std::string_view text) { vorn::write_bytes_file(path.str(), text); }

}  // namespace

TEST(TopologySnapshot, snapshot_save_writes_exact_bytes) {
    TempPath path("saved.json");
    vorn::save_topology(two_node_engine(), path.str());
    // The stored link type is kept; conditions were never part of the graph.
    EXPECT_EQ(vorn::read_text_file(path.str()), std::string(kTwoNodeSnapshot));
}

TEST(TopologySnapshot, snapshot_writer_empty_lists_conditions_and_non_finite) {
    vorn::TopologySnapshot snapshot;
    snapshot.metadata = {"n\"q", "v"};
    snapshot.config = {std::numeric_limits<double>::infinity(), 1e-7};
    // A real that JSON cannot hold is refused, naming the record and member.
    EXPECT_THAT([&] { vorn::snapshot_json_text(snapshot); },
                fails_with("cannot write TopologyConfig member `alphaLoss`: inf is not a finite number"));
    snapshot.config.alpha_loss = 1.5;
    EXPECT_EQ(vorn::snapshot_json_text(snapshot), std::string("{\n  \"metadata\": {\n    \"name\": \"n\\\"q\",\n"
                                                              "    \"version\": \"v\"\n  },\n  \"nodes\": [],\n"
                                                              "  \"links\": [],\n  \"config\": {\n"
                                                              "    \"alphaLoss\": 1.5,\n    \"gammaSwapping\": 1e-7\n"
                                                              "  }\n}"));
    snapshot.links.push_back({"A", "B", 120.0, 1.0, 5.0, LinkType::Fiber, SatelliteConditions{0.5, 2.0}});
    const std::string text = vorn::snapshot_json_text(snapshot);
    EXPECT_NE(text.find("      \"satelliteConditions\": {\n        \"visibility\": 0.5,\n"
                        "        \"weatherFactor\": 2.0\n      }\n    }\n  ],"),
              std::string::npos);
    EXPECT_NE(text.find("\"distanceKm\": 120.0,"), std::string::npos);
}

TEST(TopologySnapshot, snapshot_save_without_network_fails_and_creates_no_file) {
    TempPath path("never.json");
    Engine engine;
    EXPECT_THAT([&] { vorn::save_topology(engine, path.str()); }, fails_with("No network topology to save"));
    EXPECT_FALSE(std::ifstream(path.str()).good());
}

TEST(TopologySnapshot, snapshot_save_and_load_report_file_failures) {
    EXPECT_THAT([] { vorn::save_topology(two_node_engine(), "/tmp/vorn_no_dir/x.json"); },
                fails_with("Failed to write topology file: " + vorn::system_error_text(ENOENT)));
    Engine engine = two_node_engine();
    const std::string read_failure = "Failed to read topology file: " + vorn::system_error_text(ENOENT);
    EXPECT_THAT([&] { vorn::load_topology(engine, "/tmp/vorn_no_dir/x.json"); }, fails_with(read_failure));
    const std::string nul_path("/tmp/x\0y", 8);
    EXPECT_THAT([&] { vorn::save_topology(engine, nul_path); },
                fails_with("Failed to write topology file: file name contained an unexpected NUL byte"));
    EXPECT_THAT([&] { vorn::load_topology(engine, nul_path); },
                fails_with("Failed to read topology file: file name contained an unexpected NUL byte"));
    // read_topology reports the same failures as load_topology.
    EXPECT_THAT([] { vorn::read_topology("/tmp/vorn_no_dir/x.json"); }, fails_with(read_failure));
    EXPECT_THAT([&] { vorn::read_topology(nul_path); },
                fails_with("Failed to read topology file: file name contained an unexpected NUL byte"));
    // The previous network survives a failed load.
    EXPECT_NE(engine.graph(), nullptr);
    EXPECT_EQ(engine.graph()->links.size(), 1);
}

TEST(TopologySnapshot, snapshot_round_trip_through_engine) {
    TempPath path("round.json");
    Engine source;
    source.build_network({{"B", 0.5}, {"A", 1.0}, {"B", 3.0}},
                         {{"A", "B", 10.0, 0.9, 100.0, LinkType::Fiber, std::nullopt},
                          {"B", "C", 0.1, 1.0, 1e-7, LinkType::Satellite, SatelliteConditions{}},
                          {"A", "B", 20.0, 0.8, 50.0, LinkType::Fiber, std::nullopt}});
    vorn::save_topology(source, path.str());
    Engine target(vorn::EngineConfig{0.5, 100.0, 10.0, 1.0});
    vorn::load_topology(target, path.str());
    const vorn::NetworkGraph& graph = *target.graph();
    EXPECT_EQ(graph.nodes.size(), std::size_t(2));
    EXPECT_EQ(graph.nodes.entries()[0].id, std::string("B"));
    EXPECT_EQ(graph.nodes.entries()[0].memory_lifetime_t2, 3.0);
    EXPECT_EQ(graph.links.size(), std::size_t(3));
    EXPECT_EQ(graph.links[1].link_type, LinkType::Satellite);
    EXPECT_EQ(graph.links[1].generation_rate_hz, 1e-7);
    EXPECT_EQ(graph.links[2].distance_km, 20.0);
    // Loading leaves the configuration alone.
    EXPECT_EQ(target.config().baseline_purify_factor, 0.5);
    // A second save of the loaded engine reproduces the network part.
    TempPath again("again.json");
    vorn::save_topology(target, again.str());
    const std::string first = vorn::read_text_file(path.str());
    const std::string second = vorn::read_text_file(again.str());
    EXPECT_EQ(first.substr(0, first.find("\"config\"")), second.substr(0, second.find("\"config\"")));
    // Reading the file gives back the whole document, metadata and config included.
    EXPECT_EQ(vorn::snapshot_json_text(vorn::read_topology(path.str())), first);
}

TEST(TopologySnapshot, snapshot_from_engine_config_values) {
    const vorn::TopologySnapshot snapshot = vorn::snapshot_from_engine(two_node_engine());
    EXPECT_EQ(snapshot.metadata.name, std::string("exported_topology"));
    EXPECT_EQ(snapshot.metadata.version, std::string("1.0"));
    EXPECT_EQ(snapshot.config.alpha_loss, 10.0 * 0.12);
    EXPECT_EQ(snapshot.config.gamma_swapping, 0.12);
    EXPECT_FALSE(snapshot.links[0].satellite_conditions.has_value());
}

namespace {

const char* const kMinimalLinkSnapshot = R"({"config": {"gammaSwapping": 0, "alphaLoss": 1},
  "links": [{"to": "B", "fromNode": "A", "distanceKm": 5, "baseFidelity": 1, "generationRateHz": 10, "extra": [1, {}]}],
  "nodes": [{"memoryLifetimeT2": 2, "id": "A"}, ["B", 0.5]],
  "metadata": {"version": "x", "name": "n", "comment": null},
  "unknown": {"deep": [true]}})";

// The reader's message for a document, or "<parsed>".
std::string parse_failure(std::string_view text) {
    try {
        vorn::parse_snapshot_text(text);
    } catch (const vorn::JsonError& error) {
        return error.what();
    }
    return "<parsed>";
}

}  // namespace

TEST(TopologySnapshot, snapshot_reader_accepts_any_key_order_defaults_and_array_records) {
    const vorn::TopologySnapshot s = vorn::parse_snapshot_text(kMinimalLinkSnapshot);
    EXPECT_EQ(s.metadata.name, std::string("n"));
    EXPECT_EQ(s.nodes.size(), std::size_t(2));
    EXPECT_EQ(s.nodes[1].id, std::string("B"));
    EXPECT_EQ(s.nodes[1].memory_lifetime_t2, 0.5);
    EXPECT_EQ(s.nodes[0].memory_lifetime_t2, 2.0);
    EXPECT_EQ(s.links[0].link_type, LinkType::Fiber);
    EXPECT_FALSE(s.links[0].satellite_conditions.has_value());
    EXPECT_EQ(s.config.alpha_loss, 1.0);

    const vorn::TopologySnapshot sat = vorn::parse_snapshot_text(
        R"([["n", "v"], [], [["A", "B", 1.5, 0.9, 2, "Satellite", {"weatherFactor": 0.25, "visibility": 3}]], [0, 0]])");
    EXPECT_EQ(sat.links[0].link_type, LinkType::Satellite);
    EXPECT_TRUE(sat.links[0].satellite_conditions.has_value());
    EXPECT_EQ(sat.links[0].satellite_conditions->visibility, 3.0);
    EXPECT_EQ(sat.links[0].satellite_conditions->weather_factor, 0.25);
}

TEST(TopologySnapshot, snapshot_reader_rejections_name_field_or_token) {
    struct Case {
        std::string text;
        std::string message_start;
    };
    const std::string head =
        R"({"metadata": {"name": "n", "version": "1"}, "config": {"alphaLoss": 1, "gammaSwapping": 0}, )";
    const std::string link_head = head + R"("nodes": [], "links": [{"fromNode": "A", "to": "B", "distanceKm": 1, )"
                                         R"("baseFidelity": 1, "generationRateHz": 1, )";
    const Case cases[] = {
        {head + R"("nodes": [{"id": "A"}], "links": []})", "missing field `memoryLifetimeT2`"},
        {head + R"("nodes": [{"id": "A", "id": "B", "memoryLifetimeT2": 1}], "links": []})", "duplicate field `id`"},
        {head + R"("nodes": [{"id": 5, "memoryLifetimeT2": 1}], "links": []})",
         "invalid type: integer `5`, expected a string"},
        {head + R"("nodes": [{"id": "A", "memoryLifetimeT2": "1"}], "links": []})",
         "invalid type: string \"1\", expected f64"},
        {head + R"("nodes": {}, "links": []})", "invalid type: map, expected a sequence"},
        {head + R"("nodes": [["A"]], "links": []})",
         "invalid length 1, expected struct NodeDefinition with 2 elements"},
        {head + R"("nodes": [["A", 1, 2]], "links": []})", "trailing characters"},
        {link_head + R"("linkType": "fiber"}]})", "unknown variant `fiber`, expected `Fiber` or `Satellite`"},
        {link_head + R"("satelliteConditions": {"visibility": 1}}]})", "missing field `weatherFactor`"},
        {link_head + R"("linkType": "Fiber", "linkType": "Fiber"}]})", "duplicate field `linkType`"},
        {head + R"("nodes": []})", "missing field `links`"},
        {R"({"metadata": {"name": "n", "version": "1"}, "nodes": [], "links": []})", "missing field `config`"},
        {"", "EOF while parsing a value"},
        {head + R"("nodes": [], "links": []} x)", "trailing characters"},
    };
    for (const Case& c : cases) {
        const std::string message = parse_failure(c.text);
        EXPECT_TRUE(starts_with(message, c.message_start));
        EXPECT_NE(message.find(" at line "), std::string::npos);
        if (!starts_with(message, c.message_start)) {
            EXPECT_EQ(message, c.message_start);
        }
    }
}

TEST(TopologySnapshot, snapshot_load_failure_keeps_previous_network) {
    TempPath path("broken.json");
    write(path, R"({"metadata": {"name": "n", "version": "1"}, "nodes": [{"id": "A"}], "links": [],
                    "config": {"alphaLoss": 1, "gammaSwapping": 0}})");
    Engine engine = two_node_engine();
    EXPECT_THAT([&] { vorn::load_topology(engine, path.str()); },
                fails_with("Failed to parse topology JSON: missing field `memoryLifetimeT2` at line 1 column 65"));
    EXPECT_EQ(engine.graph()->nodes.size(), std::size_t(2));

    TempPath latin1("latin1.json");
    write(latin1, "{\"x\": \"\xE9\"}");
    EXPECT_THAT([&] { vorn::load_topology(engine, latin1.str()); },
                fails_with("Failed to read topology file: stream did not contain valid UTF-8"));

    // A good file installs a network even on an engine that never had one.
    TempPath good("good.json");
    write(good, kMinimalLinkSnapshot);
    Engine fresh;
    vorn::load_topology(fresh, good.str());
    EXPECT_NE(fresh.graph(), nullptr);
    EXPECT_EQ(fresh.graph()->nodes.size(), 2);
    EXPECT_EQ(fresh.graph()->links.size(), 1);
    EXPECT_EQ(fresh.config().baseline_purify_factor, 0.12);
}

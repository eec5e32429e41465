#include "formats/vorn_reader.h"

#include <string>

#include "formats/marked_places.testing.h"
#include "formats/reader_error_case.testing.h"
#include <gtest/gtest.h>

using namespace vorn;
using vorn::test_support::marked_error;
using vorn::test_support::marked_places;
using vorn::test_support::reader_message;

namespace {

std::string file_error(const std::string& input) {
    return reader_message([](const std::string& t) { return parse_file_text(t); }, input);
}

const std::string kHead = R"({"version":"1.0","metadata":{"name":"n"},)";

std::string with_node(const std::string& node) { return kHead + R"("nodes":[)" + node + R"(],"links":[]})"; }
std::string with_link(const std::string& link) { return kHead + R"("nodes":[],"links":[)" + link + "]}"; }
std::string with_tail(const std::string& members) { return kHead + R"("nodes":[],"links":[],)" + members + "}"; }
const std::string kLinkNumbers = R"("distance_km":1,"base_fidelity":0.9,"generation_rate_hz":1)";

struct SchemaCase {
    std::string marked;
    const char* description;
};

// Every schema message, with the place where the reader reports it marked.
const SchemaCase kSchemaCases[] = {
    {R"({"metadata":{"name":"n"},"nodes":[],"links":[]}§)", "missing field `version`"},
    {R"({"version":"1.0","metadata":{"name":"n"},"nodes":[]}§)", "missing field `links`"},
    {R"({"version":"1.0","metadata":{}§,"nodes":[],"links":[]})", "missing field `name`"},
    {"{\"version\":\"1.0\",\"metadata\":{\n  \"author\": \"a\"\n}§,\"nodes\":[],\"links\":[]}", "missing field `name`"},
    {R"({"version":"1.0","version"§:"2.0","metadata":{"name":"n"},"nodes":[],"links":[]})",
     "duplicate field `version`"},
    {R"({"version":"1.0","version"  §: "2.0"})", "duplicate field `version`"},
    {with_tail(R"("config":null,"config"§:{})"), "duplicate field `config`"},
    {R"({"version":null§,"metadata":{"name":"n"},"nodes":[],"links":[]})", "invalid type: null, expected a string"},
    {R"({"version":5§})", "invalid type: integer `5`, expected a string"},
    {R"({"version":1.5§})", "invalid type: floating point `1.5`, expected a string"},
    {R"({"version":"1.0","metadata":{"name":"n"},"nodes":§{}})", "invalid type: map, expected a sequence"},
    {R"({"version":"1.0","metadata":{"name":"n"},"nodes": §{}})", "invalid type: map, expected a sequence"},
    {R"({"version":"1.0","metadata":{"name":"n"},"nodes":"x"§})", "invalid type: string \"x\", expected a sequence"},
    {R"({"version":"1.0","metadata":[]§})", "invalid length 0, expected struct VornMetadata with 4 elements"},
    {R"({"version":"1.0","metadata":[ "n" ]§})", "invalid length 1, expected struct VornMetadata with 4 elements"},
    {R"({"version":"1.0","metadata":["n",null,null,null,5§]})", "trailing characters"},
    {R"({"version":"1.0","metadata":["n",null,null,null,]§})", "trailing comma"},
    {R"({"version":"1.0","metadata":true§})", "invalid type: boolean `true`, expected struct VornMetadata"},
    {R"({"version":"1.0","metadata":null§})", "invalid type: null, expected struct VornMetadata"},
    {R"({"version":"1.0","metadata":[§[]]})", "invalid type: sequence, expected a string"},
    {with_node(R"({"id":"A","memory_capacity":4.0§})"), "invalid type: floating point `4.0`, expected u32"},
    {with_node(R"({"id":"A","memory_capacity":-1§})"), "invalid value: integer `-1`, expected u32"},
    {with_node(R"({"id":"A","memory_capacity":4294967296§})"), "invalid value: integer `4294967296`, expected u32"},
    {with_node(R"({"id":"A","node_type":"x"§})"),
     "unknown variant `x`, expected one of `ground`, `satellite`, `repeater`"},
    {with_node(R"({"id":"A","node_type":5§})"), "expected value"},
    {with_node(R"({"id":5§})"), "invalid type: integer `5`, expected a string"},
    {with_node(R"({"memory_lifetime_ms":1}§)"), "missing field `id`"},
    {with_node(R"({"id":"A","memoryLifetimeT2":1}, 1§)"), "invalid type: integer `1`, expected struct VornNode"},
    {with_node(R"({"id":"A","memory_lifetime_ms":nul}§)"), "expected ident"},
    {with_node(R"({"id":"A","memory_lifetime_ms":"1"§})"), "invalid type: string \"1\", expected f64"},
    {with_node(R"(["A",250,4,"ground","§extra"])"), "trailing characters"},
    {with_link(R"({"from":"A","to":"B",)" + kLinkNumbers + R"(,"link_type":"Fiber"§})"),
     "unknown variant `Fiber`, expected `fiber` or `satellite`"},
    {with_link(R"({"to":"B",)" + kLinkNumbers + "}§"), "missing field `from`"},
    {with_link(R"({"from":"A","to":"B","distance_km":"abc"§})"), "invalid type: string \"abc\", expected f64"},
    {with_link(R"({"from":"A","to":"B","distance_km":true§})"), "invalid type: boolean `true`, expected f64"},
    {with_link(R"({"from":"A","to":"B",)" + kLinkNumbers + R"(,"satellite":{"visibility":1}§})"),
     "missing field `weather_factor`"},
    {with_link(R"({"from":"A","to":"B",)" + kLinkNumbers + R"(,"satellite":[1]§})"),
     "invalid length 1, expected struct VornSatelliteExtension with 2 elements"},
    {with_link(R"(["L","A","B",1,0.9]§)"), "invalid length 5, expected struct VornLink with 8 elements"},
    {with_tail(R"("extensions":[]§)"), "invalid length 0, expected struct VornExtensions with 1 element"},
    {with_tail(R"("config":{"max_attempts":4294967296§})"), "invalid value: integer `4294967296`, expected u32"},
    {with_tail(R"("constraints":{"fidelity_target":"x"§})"), "invalid type: string \"x\", expected f64"},
    {with_tail(R"("config":[§[]])"), "invalid type: sequence, expected f64"},
    {with_tail(R"("config":[1,2,3,4,5§])"), "trailing characters"},
    {kHead + R"("nodes":[],"links":[]} x§)", "trailing characters"},
    {"5§", "invalid type: integer `5`, expected struct VornFile"},
    {"\"vorn\"§", "invalid type: string \"vorn\", expected struct VornFile"},
    {"§", "EOF while parsing a value"},
    {"[§", "EOF while parsing a list"},
    {R"({"version":"1.0"§)", "EOF while parsing an object"},
    {"{\n  \"version\": \"1.0\",\n  \"metadata\": {\n    \"name\": 7§\n  }\n}",
     "invalid type: integer `7`, expected a string"},
};

}  // namespace

TEST(VornReader, vorn_reader_schema_messages_and_positions) {
    for (const SchemaCase& c : kSchemaCases) {
        const auto expected = marked_error(c.marked, c.description);
        EXPECT_EQ(file_error(expected.input), expected.expected);
    }
}

TEST(VornReader, vorn_reader_reads_every_member) {
    const VornFile file = parse_file_text(R"({
  "version": "1.0",
  "metadata": {"name": "Lab", "description": "d", "author": "me", "created_at": "today"},
  "nodes": [
    {"id": "A", "memory_lifetime_ms": 250, "memory_capacity": 4, "node_type": "ground"},
    {"node_type": "repeater", "id": "B"},
    {"id": "C", "node_type": {"satellite": null}}
  ],
  "links": [
    {"id": "L1", "from": "A", "to": "B", "distance_km": 10, "base_fidelity": 0.95, "generation_rate_hz": 1e3,
     "link_type": "satellite", "satellite": {"visibility": 0.5, "weather_factor": 0.8}},
    {"from": "B", "to": "C", "distance_km": 2.5, "base_fidelity": 1, "generation_rate_hz": 100}
  ],
  "config": {"alpha_loss": 0.2, "max_attempts": 40},
  "constraints": {"fidelity_target": 0.9},
  "extensions": {"custom": {"k": [1, -2, 3.0, "s", true, null]}}
})");
    EXPECT_EQ(file.version, std::string("1.0"));
    EXPECT_EQ(file.metadata, (VornMetadata{"Lab", "d", "me", "today"}));
    EXPECT_EQ(file.nodes.size(), std::size_t{3});
    EXPECT_EQ(file.nodes[0], (VornNode{"A", 250.0, 4u, VornNodeType::Ground}));
    EXPECT_EQ(file.nodes[1], (VornNode{"B", std::nullopt, std::nullopt, VornNodeType::Repeater}));
    EXPECT_EQ(file.nodes[2].node_type, VornNodeType::Satellite);
    EXPECT_EQ(file.links[0], (VornLink{"L1", "A", "B", 10.0, 0.95, 1000.0, VornLinkType::Satellite,
                                       VornSatelliteExtension{0.5, 0.8}}));
    EXPECT_EQ(file.links[1], (VornLink{std::nullopt, "B", "C", 2.5, 1.0, 100.0, std::nullopt, std::nullopt}));
    EXPECT_EQ(file.config, (VornConfig{0.2, std::nullopt, std::nullopt, 40u}));
    EXPECT_EQ(file.constraints, (VornConstraints{0.9, std::nullopt}));
    const JsonValue custom(JsonValue::Object{{"k", JsonValue::Array{1, -2, 3.0, "s", true, nullptr}}});
    EXPECT_EQ(file.extensions->custom, custom);
}

TEST(VornReader, vorn_reader_null_and_absent_mean_not_given) {
    const VornFile file =
        parse_file_text(with_tail(R"("config": null, "constraints": {}, "extensions": {"custom": null})"));
    EXPECT_FALSE(file.config.has_value());
    EXPECT_EQ(file.constraints, VornConstraints{});
    ASSERT_TRUE(file.extensions.has_value());
    EXPECT_FALSE(file.extensions->custom.has_value());
    const VornFile nodes =
        parse_file_text(with_node(R"({"id": "A", "memory_lifetime_ms": null, "memoryLifetimeT2": 5})"));
    EXPECT_EQ(nodes.nodes[0], (VornNode{"A", std::nullopt, std::nullopt, std::nullopt}));
    // Inside "custom" a null is a value.
    const VornFile inner = parse_file_text(with_tail(R"("extensions": {"custom": {"a": null}})"));
    EXPECT_EQ(inner.extensions->custom, JsonValue(JsonValue::Object{{"a", nullptr}}));
}

TEST(VornReader, vorn_reader_records_given_as_arrays) {
    const VornFile as_arrays = parse_file_text(R"(["1.0", ["Lab", null, "me", null],
        [["A", 250, 4, "ground"], ["B", null, null, null]],
        [[null, "A", "B", 10, 0.95, 1000, "satellite", [0.5, 0.8]]],
        [0.2, null, null, 40], [0.9, null], [{"k": 1}]])");
    const VornFile as_objects = parse_file_text(R"({"version": "1.0", "metadata": {"name": "Lab", "author": "me"},
        "nodes": [{"id": "A", "memory_lifetime_ms": 250, "memory_capacity": 4, "node_type": "ground"}, {"id": "B"}],
        "links": [{"from": "A", "to": "B", "distance_km": 10, "base_fidelity": 0.95, "generation_rate_hz": 1000,
                   "link_type": "satellite", "satellite": {"visibility": 0.5, "weather_factor": 0.8}}],
        "config": {"alpha_loss": 0.2, "max_attempts": 40}, "constraints": {"fidelity_target": 0.9},
        "extensions": {"custom": {"k": 1}}})");
    EXPECT_EQ(as_arrays, as_objects);
    EXPECT_EQ(as_arrays.nodes.size(), std::size_t{2});
}

TEST(VornReader, vorn_reader_skips_unknown_members_with_nested_values) {
    const VornFile file = parse_file_text(R"({
        "x": {"deep": [1, {"y": [null, true, "s\"}"]}, -1.5e400, "\uDC00"]},
        "version": "1.0", "metadata": {"name": "n", "extra": [[], {}]},
        "nodes": [{"id": "A", "unknown": {"id": "shadow"}}], "links": [], "tail": "t"})");
    EXPECT_EQ(file.nodes.size(), std::size_t{1});
    EXPECT_EQ(file.nodes[0].id, std::string("A"));
    EXPECT_EQ(file.metadata.name, std::string("n"));
    // Keys are matched after their escapes are decoded.
    EXPECT_EQ(parse_file_text(R"({"ver\u0073ion": "2", "metadata": ["n", null, null, null], "nodes": [], "links": []})")
                  .version,
              std::string("2"));
    // Case matters: "Version" is an unknown member.
    const auto capital =
        marked_error(R"({"Version":"1.0","metadata":{"name":"n"},"nodes":[],"links":[]}§)", "missing field `version`");
    EXPECT_EQ(file_error(capital.input), capital.expected);
}

TEST(VornReader, vorn_reader_nesting_limit_counts_the_document) {
    // The document is level 1, "extensions" level 2, so "custom" may open
    // 126 more levels and skipped members 127.
    const auto custom = [](std::size_t levels) {
        return with_tail(R"("extensions":{"custom":)" + std::string(levels, '[') + std::string(levels, ']') + "}");
    };
    EXPECT_EQ(file_error(custom(126)), std::string("no error"));
    const auto too_deep =
        marked_error(with_tail(R"("extensions":{"custom":)" + std::string(127, '[') + "§"), "recursion limit exceeded");
    EXPECT_EQ(file_error(custom(127)), too_deep.expected);
    const auto skipped = [](std::size_t levels) {
        return with_tail(R"("skipped":)" + std::string(levels, '[') + std::string(levels, ']'));
    };
    EXPECT_EQ(file_error(skipped(127)), std::string("no error"));
    EXPECT_EQ(file_error(skipped(128)).substr(0, 24), std::string("recursion limit exceeded"));
}

namespace {

const std::string kLinkAB =
    R"({"from": "A", "to": "B", "distance_km": 1, "base_fidelity": 0.9, "generation_rate_hz": 1})";

std::string with_crlf(std::string text) {
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) text.insert(at, "\r");
    return text;
}

const std::string kPretty = R"({
  "version": ⟨v⟩"1.0",
  "metadata": {"name": "lab", "description": "[{\"nodes\": [1]}]", "author": "me"},
  "nodes": ⟨N⟩[
    ⟨n⟩{"id": "A"},
    ⟨n⟩{"id": "B", "node_type": {"satellite": null}}
  ],
  "links": [
    ⟨l⟩)" + kLinkAB + R"(,
    ⟨l⟩{"from": "B", "to": "A", "distance_km": 1, "base_fidelity": 0.9, "generation_rate_hz": 1,
     "satellite": {"visibility": 1, "weather_factor": 0.5}}
  ]
})";

// Every record form and layout the reader accepts, with the places marked.
const std::string kMarkedDocuments[] = {
    kPretty,
    with_crlf(kPretty),
    // The document and its records as arrays, nested arrays inside them.
    R"([⟨v⟩"1.0", ["n", null, null, null],
 ⟨N⟩[⟨n⟩["A", null, null, null], ⟨n⟩["B", 1, 2, "ground"]],
 [⟨l⟩[null, "A", "B", 1, 0.9, 1, "satellite", [1, 0.5]],
  ⟨l⟩)" +
        kLinkAB + R"(],
 null, null, {"custom": [[1], {"nodes": [{"id": "X"}]}]}])",
    // Members in another order; unknown members and "custom" holding lists of records.
    R"({"extra": [{"id": "Z"}, [1, 2]], "links": [
	⟨l⟩)" +
        kLinkAB + R"(], "metadata": ["m", null, "x", null],
"nodes": ⟨N⟩[	⟨n⟩{"id": "A"},⟨n⟩["B", null, null, null]   ], "version":
⟨v⟩"1.0", "extensions": {"custom": {"nodes": [{"id": 1}], "links": [[]]}}})",
    // One line, with characters of several bytes before the records.
    R"({"version":⟨v⟩"1.0","metadata":{"name":"é漢😀"},"nodes":⟨N⟩[⟨n⟩{"id":"ü"},⟨n⟩{"id":"B"}],"links":[⟨l⟩{"id":"ä","from":"ü","to":"B","distance_km":1,"base_fidelity":1,"generation_rate_hz":1}]})",
    // Empty lists.
    "{\"version\": ⟨v⟩\"1.0\", \"metadata\": {\"name\": \"e\"},\n\"nodes\":\n\n  ⟨N⟩[], \"links\": []}",
};

}  // namespace

TEST(VornReader, vorn_reader_places_of_the_records) {
    for (const std::string& marked : kMarkedDocuments) {
        const auto expected = marked_places(marked);
        VornFilePlaces places;
        const VornFile file = parse_file_text(expected.text, places);
        EXPECT_EQ(file, parse_file_text(expected.text)) << expected.text;
        EXPECT_EQ(places.version, expected.places.version) << expected.text;
        EXPECT_EQ(places.nodes, expected.places.nodes) << expected.text;
        EXPECT_EQ(places.node_records, expected.places.node_records) << expected.text;
        EXPECT_EQ(places.link_records, expected.places.link_records) << expected.text;
        EXPECT_EQ(places.node_records.size(), file.nodes.size());
        EXPECT_EQ(places.link_records.size(), file.links.size());
    }
}

TEST(VornReader, vorn_reader_places_count_lines_and_columns_from_one) {
    // Counted by hand in kPretty: the first node's brace is the fifth
    // character of line 5, the second link's the fifth of line 10.
    VornFilePlaces places;
    parse_file_text(marked_places(kPretty).text, places);
    EXPECT_EQ(places.version, (TextPosition{2, 14}));
    EXPECT_EQ(places.nodes, (TextPosition{4, 12}));
    EXPECT_EQ(places.node_records, (std::vector<TextPosition>{{5, 5}, {6, 5}}));
    EXPECT_EQ(places.link_records, (std::vector<TextPosition>{{9, 5}, {10, 5}}));
    // A carriage return ends no line and stands at the end of one: columns stay.
    VornFilePlaces crlf;
    parse_file_text(with_crlf(marked_places(kPretty).text), crlf);
    EXPECT_EQ(crlf.link_records, places.link_records);
}

TEST(VornReader, vorn_reader_with_places_fails_like_without) {
    for (const SchemaCase& c : kSchemaCases) {
        const auto expected = marked_error(c.marked, c.description);
        VornFilePlaces places;
        EXPECT_EQ(reader_message([&](const std::string& t) { return parse_file_text(t, places); }, expected.input),
                  expected.expected);
    }
}

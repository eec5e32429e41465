#include "formats/vorn_writer.h"

#include <cmath>
#include <limits>
#include <string>

#include "formats/chain_file.testing.h"
#include "formats/non_finite_number.h"
#include "formats/vorn_reader.h"
#include "common/stopping_check.testing.h"
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vorn;

namespace {

VornFile minimal_file() {
    VornFile file;
    file.version = "1.0";
    file.metadata.name = "Lab";
    return file;
}

VornFile full_file() {
    VornFile file = minimal_file();
    file.metadata.description = "Line\n\"quoted\" \xc3\xa9 / tab\t";
    file.nodes.push_back({"A", 2.0, 4u, VornNodeType::Ground});
    file.nodes.push_back({"B", std::nullopt, std::nullopt, std::nullopt});
    file.links.push_back(
        {"L1", "A", "B", 10.0, 0.95, 1.5e-7, VornLinkType::Satellite, VornSatelliteExtension{0.5, 1.0}});
    file.links.push_back({std::nullopt, "B", "A", 1e16, 1.0, 0.00001, std::nullopt, std::nullopt});
    file.config = VornConfig{};
    file.constraints = VornConstraints{0.9, std::nullopt};
    file.extensions = VornExtensions{JsonValue(JsonValue::Object{
        {"n", 2},
        {"f", 2.0},
        {"neg", -3},
        {"arr", JsonValue::Array{}},
        {"obj", JsonValue::Object{}},
        {"nested", JsonValue::Array{nullptr, true, "\x01"}},
    })};
    return file;
}

}  // namespace

TEST(VornWriter, vorn_writer_minimal_document_bytes) {
    EXPECT_EQ(write_file_text(minimal_file()), std::string(R"({
  "version": "1.0",
  "metadata": {
    "name": "Lab"
  },
  "nodes": [],
  "links": []
})"));
}

TEST(VornWriter, vorn_writer_full_document_bytes) {
    EXPECT_EQ(write_file_text(full_file()), std::string(R"({
  "version": "1.0",
  "metadata": {
    "name": "Lab",
    "description": "Line\n\"quoted\" é / tab\t"
  },
  "nodes": [
    {
      "id": "A",
      "memory_lifetime_ms": 2.0,
      "memory_capacity": 4,
      "node_type": "ground"
    },
    {
      "id": "B"
    }
  ],
  "links": [
    {
      "id": "L1",
      "from": "A",
      "to": "B",
      "distance_km": 10.0,
      "base_fidelity": 0.95,
      "generation_rate_hz": 1.5e-7,
      "link_type": "satellite",
      "satellite": {
        "visibility": 0.5,
        "weather_factor": 1.0
      }
    },
    {
      "from": "B",
      "to": "A",
      "distance_km": 1e16,
      "base_fidelity": 1.0,
      "generation_rate_hz": 0.00001
    }
  ],
  "config": {},
  "constraints": {
    "fidelity_target": 0.9
  },
  "extensions": {
    "custom": {
      "n": 2,
      "f": 2.0,
      "neg": -3,
      "arr": [],
      "obj": {},
      "nested": [
        null,
        true,
        "\u0001"
      ]
    }
  }
})"));
}

TEST(VornWriter, vorn_writer_output_reads_back_equal) {
    for (const VornFile& file : {minimal_file(), full_file()}) {
        EXPECT_EQ(parse_file_text(write_file_text(file)), file);
    }
    // Read -> write -> read of a hand-written document, with records given
    // as arrays, nulls for optional members and unknown members.
    const std::string text = R"(["1.0", {"name": "n", "author": null, "junk": 1},
        [["A", 0.1, 4294967295, "repeater"], {"id": "B", "memory_lifetime_ms": 1e300}],
        [["L", "A", "B", 1e-300, 0.30000000000000004, 5e-324, "fiber", null]],
        {"alpha_loss": -0.0, "max_attempts": 0}, null,
        {"custom": [18446744073709551615, -9223372036854775808, 1.0, -0, "\uD83D\uDE00", {"b": {}, "a": []}]}])";
    const VornFile first = parse_file_text(text);
    const std::string written = write_file_text(first);
    const VornFile second = parse_file_text(written);
    EXPECT_EQ(second, first);
    EXPECT_EQ(write_file_text(second), written);
}

TEST(VornWriter, vorn_writer_leaves_out_what_is_not_given) {
    VornFile file = parse_file_text(R"({"version": "1.0", "metadata": {"name": "n"}, "config": null,
        "nodes": [{"id": "A", "memory_lifetime_ms": null}], "links": [], "extensions": {}})");
    const std::string text = write_file_text(file);
    EXPECT_EQ(text.find("config"), std::string::npos);
    EXPECT_EQ(text.find("null"), std::string::npos);
    EXPECT_NE(text.find("\"nodes\": [\n    {\n      \"id\": \"A\"\n    }\n  ]"), std::string::npos);
    EXPECT_NE(text.find("\"extensions\": {}"), std::string::npos);
}

TEST(VornWriter, vorn_writer_refuses_non_finite_reals_naming_the_innermost_record) {
    // JSON has no form for them; null would not read back as what was saved.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        void (*place)(VornFile&, double);
        const char* record;
        const char* member;
    };
    const Case cases[] = {
        {[](VornFile& f, double x) { f.links.push_back({"L", "A", "B", x, 0.5, 1.0, std::nullopt, std::nullopt}); },
         "VornLink", "distance_km"},
        {[](VornFile& f, double x) {
             f.links.push_back({"L", "A", "B", 1.0, 0.5, 1.0, std::nullopt, VornSatelliteExtension{1.0, x}});
         },
         "VornSatelliteExtension", "weather_factor"},
        {[](VornFile& f, double x) { f.nodes.push_back({"A", x, std::nullopt, std::nullopt}); }, "VornNode",
         "memory_lifetime_ms"},
        {[](VornFile& f, double x) { f.config = VornConfig{std::nullopt, x, std::nullopt, std::nullopt}; },
         "VornConfig", "beta_fidelity_decay"},
    };
    for (const Case& c : cases) {
        for (const double value : {nan, inf, -inf}) {
            VornFile file;
            c.place(file, value);
            const std::string head = std::string("cannot write ") + c.record + " member `" + c.member + "`";
            EXPECT_THAT([&] { write_file_text(file); },
                        ::testing::ThrowsMessage<vorn::NonFiniteMemberError>(
                            ::testing::AnyOf(::testing::StrEq(head), ::testing::StartsWith(head + ":"))));
        }
    }
}

TEST(VornWriter, vorn_writer_and_reader_of_a_large_document_end_when_their_stop_check_asks) {
    const VornFile file = test_support::chain_file(test_support::kManyUnits);
    EXPECT_THROW(write_file_text(file, test_support::StoppingCheck()), Stopped);
    const std::string text = write_file_text(file);
    EXPECT_THROW(parse_file_text(text, test_support::StoppingCheck()), Stopped);
    // Unknown members are skipped value by value, and that loop polls too.
    std::string unknown = R"({"skipped": [)";
    for (std::size_t i = 0; i < test_support::kManyUnits; ++i) unknown.append(i == 0 ? "{}" : ", {}");
    unknown.append(R"(], )").append(text.substr(1));
    EXPECT_THROW(parse_file_text(unknown, test_support::StoppingCheck()), Stopped);
    EXPECT_EQ(parse_file_text(unknown).nodes.size(), test_support::kManyUnits);
    EXPECT_EQ(write_file_text(parse_file_text(text)), text);
}

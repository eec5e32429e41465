#include "files/load_file.h"

#include <cerrno>
#include <string>

#include "files/file_io.h"
#include "files/temp_path.testing.h"
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using vorn::LoadError;
using vorn::LoadErrorKind;
using vorn::test_support::TempPath;

const char* const kValidDocument = R"({
  "version": "1.0",
  "metadata": {"name": "Lab"},
  "nodes": [{"id": "A"}, {"id": "B", "memory_lifetime_ms": 250}],
  "links": [{"id": "L1", "from": "A", "to": "B", "distance_km": 10, "base_fidelity": 0.95, "generation_rate_hz": 1000}]
})";

// The document with the version text and the node list replaced.
std::string document(std::string_view version, std::string_view nodes) {
    std::string text = "{\"version\": \"";
    text.append(version).append("\", \"metadata\": {\"name\": \"x\"}, \"nodes\": ").append(nodes);
    text.append(", \"links\": []}");
    return text;
}

struct Failure {
    LoadErrorKind kind;
    std::string text;
};

Failure load_failure(const std::string& path,
                     vorn::VornFile (*load)(std::string_view, const vorn::StopCheck&) = vorn::load_file) {
    try {
        load(path, vorn::never_stop());
    } catch (const LoadError& error) {
        return {error.kind(), error.what()};
    }
    return {LoadErrorKind::Io, "<loaded>"};
}

Failure load_text_failure(std::string_view text) {
    TempPath path("doc.vorn");
    vorn::write_bytes_file(path.str(), text);
    return load_failure(path.str());
}

}  // namespace

TEST(LoadFile, load_file_returns_the_record_of_a_valid_file) {
    TempPath path("valid.vorn");
    vorn::write_bytes_file(path.str(), kValidDocument);
    const vorn::VornFile file = vorn::load_file(path.str());
    EXPECT_EQ(file.metadata.name, std::string("Lab"));
    EXPECT_EQ(file.nodes.size(), std::size_t(2));
    EXPECT_EQ(*file.nodes[1].memory_lifetime_ms, 250.0);
}

TEST(LoadFile, load_file_failure_kinds_and_precedence) {
    // Unreadable beats unparsable: a missing path and a directory.
    const Failure missing = load_failure("/tmp/vorn_missing_dir/none.vorn");
    EXPECT_EQ(missing.kind, LoadErrorKind::Io);
    EXPECT_EQ(missing.text, "IO error: " + vorn::system_error_text(ENOENT));
    EXPECT_EQ(load_failure("/tmp").text, "IO error: " + vorn::system_error_text(EISDIR));
    EXPECT_EQ(load_failure(std::string("/tmp/a\0b", 8)).text,
              std::string("IO error: file name contained an unexpected NUL byte"));
    // Not UTF-8 is an IO failure even though it would not parse either.
    const Failure latin1 = load_text_failure("{\xE9");
    EXPECT_EQ(latin1.kind, LoadErrorKind::Io);
    EXPECT_EQ(latin1.text, std::string("IO error: stream did not contain valid UTF-8"));

    // A parse failure hides a wrong version and broken rules.
    const Failure parse = load_text_failure(document("2.0", "[{\"id\": \"A\"}, {\"id\": \"A\"}]") + "x");
    EXPECT_EQ(parse.kind, LoadErrorKind::Json);
    EXPECT_EQ(parse.text.rfind("JSON parse error: trailing characters at line 1 column ", 0), std::size_t(0));

    // A wrong version hides broken rules; the version must be exactly "1.0".
    const Failure version = load_text_failure(document("1.00", "[{\"id\": \"A\"}, {\"id\": \"A\"}]"));
    EXPECT_EQ(version.kind, LoadErrorKind::UnsupportedVersion);
    EXPECT_EQ(version.text, std::string("Unsupported vorn version: 1.00"));
    EXPECT_EQ(load_text_failure(document("", "[]")).text, std::string("Unsupported vorn version: "));

    const Failure invalid = load_text_failure(document("1.0", "[{\"id\": \"A\"}, {\"id\": \"A\"}]"));
    EXPECT_EQ(invalid.kind, LoadErrorKind::Validation);
    EXPECT_EQ(invalid.text, std::string("Validation failed:\nValidation failed.\n\nErrors:\n"
                                        "   - Duplicate node ID: A\n"
                                        "   - Graph is disconnected with 2 components\n"));
}

TEST(LoadFile, load_file_validation_error_carries_report) {
    TempPath path("invalid.vorn");
    vorn::write_bytes_file(path.str(), document("1.0", "[{\"id\": \"A\"}, {\"id\": \"B\"}, {\"id\": \"C\"}]"));
    using ::testing::Field;
    // One issue, three components; the report is part of the load message.
    const auto one_split_into_three = ::testing::Pointee(
        Field(&vorn::ValidationReport::errors, ::testing::ElementsAre(Field(&vorn::ValidationIssue::components, 3u))));
    const auto load_message = [&](const LoadError& error) { return vorn::failed_to_load_message(path.str(), error); };
    EXPECT_THAT([&] { vorn::load_file(path.str()); },
                ::testing::Throws<LoadError>(::testing::AllOf(
                    ::testing::Property(&LoadError::report, one_split_into_three),
                    ::testing::ResultOf(load_message, "Failed to load " + path.str() +
                                                          ": Validation failed:\nValidation failed.\n\nErrors:\n"
                                                          "   - Graph is disconnected with 3 components\n"))));
}

TEST(LoadFile, read_vorn_file_fails_like_load_file_but_applies_no_rules) {
    const std::string texts[] = {"{\xE9", document("2.0", "[]") + "x", document("1.00", "[]")};
    for (const std::string& text : texts) {
        TempPath path("doc.vorn");
        vorn::write_bytes_file(path.str(), text);
        const Failure read = load_failure(path.str(), vorn::read_vorn_file);
        const Failure loaded = load_failure(path.str());
        EXPECT_EQ(read.kind, loaded.kind);
        EXPECT_EQ(read.text, loaded.text);
    }
    EXPECT_EQ(load_failure("/tmp/vorn_missing_dir/none.vorn", vorn::read_vorn_file).kind, LoadErrorKind::Io);
    // Duplicate ids and a disconnected graph are for the rules to find.
    TempPath path("rules.vorn");
    vorn::write_bytes_file(path.str(), document("1.0", "[{\"id\": \"A\"}, {\"id\": \"A\"}]"));
    EXPECT_EQ(vorn::read_vorn_file(path.str()).nodes.size(), std::size_t(2));
}

// Fuzz target for the .vorn reader and the JSON value reader. Any input must
// either fail with a JsonError or read into a record whose written text reads
// back to an equal record and writes the same bytes again. Crashes, hangs,
// out-of-bounds reads, undefined behaviour and any other exception are
// findings.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "api/json_reader.h"
#include "api/json_writer.h"
#include "api/vorn_reader.h"
#include "api/vorn_writer.h"

namespace {

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

void check_file_reader(std::string_view text) {
    vorn::VornFile file;
    try {
        file = vorn::parse_file_text(text);
    } catch (const vorn::JsonError&) {
        return;
    }
    const std::string written = vorn::write_file_text(file);
    vorn::VornFile again;
    try {
        again = vorn::parse_file_text(written);
    } catch (const vorn::JsonError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        finding("written document does not read back");
    }
    if (!(again == file)) finding("written document reads back different");
    if (vorn::write_file_text(again) != written) finding("second write differs");
}

void check_value_reader(std::string_view text) {
    vorn::JsonValue value;
    try {
        value = vorn::parse_json_value(text);
    } catch (const vorn::JsonError&) {
        return;
    }
    const std::string written = vorn::write_json_value_text(value);
    try {
        if (!(vorn::parse_json_value(written) == value)) finding("written value reads back different");
    } catch (const vorn::JsonError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        finding("written value does not read back");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    check_file_reader(text);
    check_value_reader(text);
    return 0;
}

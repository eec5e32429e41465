// Fuzz target for the .vorn reader and the JSON value reader. Any input must
// either fail with a JsonError or read into a record whose written text reads
// back to an equal record and writes the same bytes again. Crashes, hangs,
// out-of-bounds reads, undefined behaviour and any other exception are
// findings.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/json_reader.h"
#include "formats/json_writer.h"
#include "formats/vorn_reader.h"
#include "formats/vorn_writer.h"
#include "round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto equal = [](const auto& a, const auto& b) { return a == b; };
    // The readers' and writers' stop checks are left at their defaults.
    fuzz::check_round_trip(
        text, "document", [](std::string_view t) { return vorn::parse_file_text(t); },
        [](const vorn::VornFile& f) { return vorn::write_file_text(f); }, equal);
    fuzz::check_round_trip(
        text, "value", [](std::string_view t) { return vorn::parse_json_value(t); },
        [](const vorn::JsonValue& v) { return vorn::write_json_value_text(v); }, equal);
    return 0;
}

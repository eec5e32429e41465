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
    fuzz::check_round_trip(text, "document", vorn::parse_file_text, vorn::write_file_text, equal);
    fuzz::check_round_trip(text, "value", vorn::parse_json_value, vorn::write_json_value_text, equal);
    return 0;
}

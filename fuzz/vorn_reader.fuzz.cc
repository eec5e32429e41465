// Fuzz target for the .vorn reader and the JSON value reader. Any input must
// either fail with a JsonError or read into a record whose written text reads
// back to an equal record and writes the same bytes again; reading that also
// places the records must read the same record (or fail with the same
// message) and place each node and link inside the text. Crashes, hangs,
// out-of-bounds reads, undefined behaviour and any other exception are
// findings.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "formats/json_reader.h"
#include "formats/json_writer.h"
#include "formats/vorn_reader.h"
#include "formats/vorn_writer.h"
#include "round_trip.h"

namespace {

// The outcome of one reading: the record, or the reader's message.
template <class Read>
std::pair<vorn::VornFile, std::string> outcome(Read read) {
    try {
        return {read(), ""};
    } catch (const vorn::JsonError& error) {
        return {vorn::VornFile{}, error.what()};
    }
}

void check_places(std::string_view text) {
    vorn::VornFilePlaces places;
    const auto plain = outcome([&] { return vorn::parse_file_text(text); });
    const auto placed = outcome([&] { return vorn::parse_file_text(text, places); });
    // A NaN cannot be read, so records that read compare equal to themselves.
    if (plain.second != placed.second || !(plain.first == placed.first)) fuzz::finding("places change the reading");
    if (!plain.second.empty()) return;
    const vorn::VornFile& file = plain.first;
    if (places.node_records.size() != file.nodes.size() || places.link_records.size() != file.links.size()) {
        fuzz::finding("a record without a place");
    }
    const std::size_t lines = 1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    for (const auto* list : {&places.node_records, &places.link_records}) {
        for (const vorn::TextPosition& place : *list) {
            if (place.line > lines || place.column == 0) fuzz::finding("a place outside the text");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto equal = [](const auto& a, const auto& b) { return a == b; };
    // The readers' and writers' stop checks are left at their defaults.
    fuzz::check_round_trip(
        text, "document", [](std::string_view t) { return vorn::parse_file_text(t); },
        [](const vorn::VornFile& f) { return vorn::write_file_text(f); }, equal);
    check_places(text);
    fuzz::check_round_trip(
        text, "value", [](std::string_view t) { return vorn::parse_json_value(t); },
        [](const vorn::JsonValue& v) { return vorn::write_json_value_text(v); }, equal);
    return 0;
}

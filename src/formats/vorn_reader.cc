#include "formats/vorn_reader.h"

#include <algorithm>

#include "formats/record_starts.h"
#include "formats/vorn_format.h"

namespace vorn {

VornFile parse_file_text(std::string_view text, const StopCheck& stop) {
    return json::parse_record_text(text, json::kVornFileFormat, stop);
}

VornFile parse_file_text(std::string_view text, VornFilePlaces& places, const StopCheck& stop) {
    static constexpr std::size_t kVersion = json::member_index(json::kVornFileFormat, "version");
    static constexpr std::size_t kNodes = json::member_index(json::kVornFileFormat, "nodes");
    static constexpr std::size_t kLinks = json::member_index(json::kVornFileFormat, "links");
    static_assert(std::max({kVersion, kNodes, kLinks}) < json::kVornFileFields.size(), "members of the document");
    json::RecordStarts starts;
    VornFile file = json::parse_record_text(text, json::kVornFileFormat, stop, &starts);
    json::RecordPositions positions = json::positions_of(text, starts, stop);
    // The three are required members: a document read whole has them.
    places.version = positions.members[kVersion].value();
    places.nodes = positions.members[kNodes].value();
    places.node_records = std::move(positions.elements[kNodes]);
    places.link_records = std::move(positions.elements[kLinks]);
    return file;
}

}  // namespace vorn

// Test helper for the places of a .vorn document's records. A document is
// written with markers right before the characters whose places are
// expected: "⟨v⟩" before the version's value, "⟨N⟩" before the "nodes" list,
// "⟨n⟩" before each node record and "⟨l⟩" before each link record. The helper
// removes the markers and works the places out with its own count: the line
// is one more than the newlines before the character, the column counts the
// characters (UTF-8 code points) from the line's start through it.
#pragma once

#include <algorithm>
#include <array>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "formats/vorn_reader.h"

namespace vorn {

// Lets failed expectations print places as "line:column".
inline void PrintTo(const TextPosition& place, std::ostream* out) { *out << place.line << ":" << place.column; }

}  // namespace vorn

namespace vorn::test_support {

struct MarkedPlaces {
    std::string text;
    VornFilePlaces places;
};

inline TextPosition place_of_character(std::string_view text, std::size_t offset) {
    const std::size_t newline = offset == 0 ? std::string_view::npos : text.rfind('\n', offset - 1);
    const std::size_t line_start = newline == std::string_view::npos ? 0 : newline + 1;
    TextPosition place;
    place.line = 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + line_start, '\n'));
    place.column = static_cast<std::size_t>(
        std::count_if(text.begin() + line_start, text.begin() + offset + 1, [](char c) { return (c & 0xC0) != 0x80; }));
    return place;
}

inline MarkedPlaces marked_places(std::string_view marked) {
    static constexpr std::array<std::string_view, 4> kMarkers{"⟨v⟩", "⟨N⟩", "⟨n⟩", "⟨l⟩"};
    MarkedPlaces result;
    std::size_t version_at = 0, nodes_at = 0;
    std::vector<std::size_t> node_at, link_at;
    std::size_t from = 0;
    while (true) {
        std::size_t next = std::string_view::npos, which = 0;
        for (std::size_t m = 0; m < kMarkers.size(); ++m) {
            const std::size_t found = marked.find(kMarkers[m], from);
            if (found < next) next = found, which = m;
        }
        result.text.append(marked.substr(from, next - from));
        if (next == std::string_view::npos) break;
        const std::size_t offset = result.text.size();
        if (which == 0) {
            version_at = offset;
        } else if (which == 1) {
            nodes_at = offset;
        } else {
            (which == 2 ? node_at : link_at).push_back(offset);
        }
        from = next + kMarkers[which].size();
    }
    result.places.version = place_of_character(result.text, version_at);
    result.places.nodes = place_of_character(result.text, nodes_at);
    for (const std::size_t at : node_at) result.places.node_records.push_back(place_of_character(result.text, at));
    for (const std::size_t at : link_at) result.places.link_records.push_back(place_of_character(result.text, at));
    return result;
}

}  // namespace vorn::test_support

// Where the members of a document's outermost record start in its text. The
// record reader (json_records.h) notes them on a reader that was given a
// RecordStarts (JsonReader::note_starts): the offset of the first character
// of each member's value, and of each element of the members that are
// sequences. Deeper values are not noted, so the cost is one offset per
// member and per element.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "common/stop_check.h"
#include "formats/json_error.h"

namespace vorn::json {

struct RecordStarts {
    static constexpr std::size_t kNotRead = static_cast<std::size_t>(-1);

    // By index in the record's member table; kNotRead for members not given.
    std::vector<std::size_t> members;
    // By member index: the elements' offsets when the member is a sequence.
    std::vector<std::vector<std::size_t>> elements;
    // The member whose value is being read.
    std::size_t member_being_read = kNotRead;

    void begin_record(std::size_t member_count);
    void begin_member(std::size_t member, std::size_t offset);
    // An element of the member being read; ignored outside any member.
    void add_element(std::size_t offset);
};

// The same places as lines and columns: the place of each first character,
// so the column counts from 1.
struct RecordPositions {
    std::vector<std::optional<TextPosition>> members;
    std::vector<std::vector<TextPosition>> elements;
};

// One pass over `text`; polls the stop check once per member and element.
RecordPositions positions_of(std::string_view text, const RecordStarts& starts, const StopCheck& stop = never_stop());

}  // namespace vorn::json

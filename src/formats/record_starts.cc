#include "formats/record_starts.h"

#include <algorithm>
#include <numeric>

#include "formats/text_position_cursor.h"

namespace vorn::json {

void RecordStarts::begin_record(std::size_t member_count) {
    members.assign(member_count, kNotRead);
    elements.assign(member_count, {});
    member_being_read = kNotRead;
}

void RecordStarts::begin_member(std::size_t member, std::size_t offset) {
    members[member] = offset;
    member_being_read = member;
}

void RecordStarts::add_element(std::size_t offset) {
    if (member_being_read != kNotRead) elements[member_being_read].push_back(offset);
}

RecordPositions positions_of(std::string_view text, const RecordStarts& starts, const StopCheck& stop) {
    // Members in text order: a member's elements lie between its own start
    // and the next member's, so every offset is asked in ascending order.
    std::vector<std::size_t> order(starts.members.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::ranges::sort(order, {}, [&](std::size_t member) { return starts.members[member]; });
    RecordPositions positions;
    positions.members.resize(starts.members.size());
    positions.elements.resize(starts.members.size());
    TextPositionCursor cursor(text);
    for (const std::size_t member : order) {
        stop.poll();
        if (starts.members[member] == RecordStarts::kNotRead) break;  // the absent ones sort last
        positions.members[member] = cursor.after(starts.members[member] + 1);
        std::vector<TextPosition>& elements = positions.elements[member];
        elements.reserve(starts.elements[member].size());
        for (const std::size_t offset : starts.elements[member]) {
            stop.poll();
            elements.push_back(cursor.after(offset + 1));
        }
    }
    return positions;
}

}  // namespace vorn::json

#include "formats/text_position_cursor.h"

#include <string>

#include <gtest/gtest.h>

#include "formats/marked_places.testing.h"

using vorn::TextPosition;
using vorn::TextPositionCursor;

TEST(TextPositionCursor, ascending_places_match_places_counted_afresh) {
    const std::string texts[] = {
        "", "a", "\n", "ab\ncd\n\nef", "\r\n{\r\n  [\r\n", "é\n漢字x\n😀é\nz", std::string("a\0b\n\xC3", 6),
    };
    for (const std::string& text : texts) {
        TextPositionCursor walking(text);
        for (std::size_t end = 0; end <= text.size(); ++end) {
            const TextPosition expected =
                end == 0 ? TextPosition{} : vorn::test_support::place_of_character(text, end - 1);
            const TextPosition counted = TextPositionCursor(text).after(end);
            EXPECT_EQ(walking.after(end), counted) << text << " up to " << end;
            // The reference places characters that start a character and
            // are not newlines (whose place is column 0 of the next line).
            const auto last = end == 0 ? 'x' : static_cast<unsigned char>(text[end - 1]);
            if (last != '\n' && (last & 0xC0) != 0x80) {
                EXPECT_EQ(counted, expected) << text << " up to " << end;
            }
        }
    }
}

#include "formats/text_position_cursor.h"

namespace vorn {

TextPosition TextPositionCursor::after(std::size_t end) {
    for (; offset_ < end; ++offset_) {
        const auto byte = static_cast<unsigned char>(text_[offset_]);
        if (byte == '\n') {
            ++position_.line;
            position_.column = 0;
        } else if ((byte & 0xC0) != 0x80) {  // continuation bytes belong to the character before
            ++position_.column;
        }
    }
    return position_;
}

}  // namespace vorn
